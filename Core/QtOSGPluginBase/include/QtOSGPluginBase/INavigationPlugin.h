#pragma once

#include "ZelApi.h"

#include <string>

class IOSGViewer;

namespace osgViewer {
class View;
}

namespace Navigation {

// The plug-in that moves the viewers' cameras.
class ZEL_API INavigationPlugin
{
public:
    virtual ~INavigationPlugin();

    virtual void attachViewer(const std::string& viewerName, osgViewer::View* scene,
                              IOSGViewer* viewer) = 0;
    virtual void detachViewer(osgViewer::View* scene) = 0;
};

} // namespace Navigation
