#pragma once

#include "ZelApi.h"

#include <utility>

namespace osg {
class Camera;
class Node;
} // namespace osg

namespace OSGU {

// The mouse side of a manipulator handle. x and y are the pixel column and row in the camera's
// viewport, counted from its bottom left. node, when given, is picked against instead of the
// handle alone, so that other objects in front of the handle hide it.
class ZEL_API IConstrainedInteractionMethods
{
public:
    virtual ~IConstrainedInteractionMethods();

    // (hit, highlight changed)
    virtual std::pair<bool, bool> mouseMove(int x, int y, const osg::Camera& camera,
                                            osg::Node* node = nullptr) = 0;
    // True when the press grabbed the handle: the interaction is active.
    virtual bool mousePress(int x, int y, const osg::Camera& camera, osg::Node* node = nullptr) = 0;
    // True when the drag was taken; a refused drag ends the interaction.
    virtual bool mouseDrag(int x, int y, const osg::Camera& camera, osg::Node* node = nullptr) = 0;
    virtual bool mouseRelease() = 0;
};

} // namespace OSGU
