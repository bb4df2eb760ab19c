#pragma once

#include "ZelApi.h"

#include <osg/Image>
#include <osg/ref_ptr>
#include <string>

namespace osg {
class Camera;
class GraphicsContext;
class Node;
} // namespace osg
namespace osgViewer {
class ViewerBase;
}

namespace OSGU {

class ScreenshotProgress;

// No side of a screenshot is larger; a larger request is reduced keeping its aspect.
constexpr unsigned int maxScreenshotSide = 14832;

// The size a request of width by height is taken at: each side above the limit is brought down
// to it and the other side scaled alike (no side below one pixel). False for a zero side.
ZEL_API bool screenshotSizeFor(unsigned int& width, unsigned int& height);

// Renders what the window's one camera shows at width by height pixels, off screen, tile by
// tile, into a new BGRA image. The window's context must be current (or become current through
// the window). sceneRoot is what the camera shows (its children when null); everything the shot
// changes is restored at the end, also when it fails or is cancelled. A window with several
// cameras is refused untouched. A shot of another aspect than the camera's viewport keeps the
// vertical field of view and widens or narrows the horizontal one, as a resized view does.
ZEL_API bool takeScreenshot(osg::GraphicsContext* window, osgViewer::ViewerBase* renderAction,
                            unsigned int width, unsigned int height,
                            osg::ref_ptr<osg::Image>& image, ScreenshotProgress* progress,
                            osg::Node* sceneRoot);

// The tiles of takeScreenshot, into an image of the screenshot's size.
ZEL_API bool renderScreenshotTiles(osg::GraphicsContext* window,
                                   osgViewer::ViewerBase* renderAction, unsigned int width,
                                   unsigned int height, osg::Image* image,
                                   ScreenshotProgress* progress, osg::Node* sceneRoot);

// Writes the image of colour attachment index of a camera that renders into a frame buffer
// object (its texture's image, or the image it reads back into) to the file, by extension.
ZEL_API void writeFBOColorBuffer(const osg::Camera& fbo, const std::string& fileName,
                                 unsigned int index);

} // namespace OSGU
