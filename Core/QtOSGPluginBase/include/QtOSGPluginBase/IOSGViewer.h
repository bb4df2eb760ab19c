#pragma once

#include "ZelApi.h"

#include <list>
#include <memory>
#include <osg/Referenced>
#include <osg/ref_ptr>

class IOSGModel;
class QWidget;

namespace osgViewer {
class View;
}

// A viewer plug-in: shows a scene model in a widget and carries out the display modes.
class ZEL_API IOSGViewer
{
public:
    virtual ~IOSGViewer();

    virtual QWidget* getWidget() = 0;
    // The view whose camera navigation moves and through which selection picks.
    virtual osgViewer::View* getScene() = 0;
    virtual void setRenderWindowFullScreen(bool on, const std::list<int>& screens) = 0;
    virtual void setModel(const std::shared_ptr<IOSGModel>& model) = 0;
    virtual std::shared_ptr<IOSGModel> getModel() const = 0;
    // A per-viewer object the viewer hands to the selection plug-in; opaque to the program.
    virtual void getSelectionContext(osg::ref_ptr<osg::Referenced>& context) = 0;
    virtual void onSceneLoaded() = 0;
    virtual bool isNavigationDisabled() const = 0;
    virtual void setSideBySideStereo(bool on) = 0;
    virtual void setHeadMountedDisplay(bool enable, bool settings) = 0;
    // Asks for a new frame; viewers draw only when something changed.
    virtual void requestRedraw() = 0;
    // The load that onSceneLoaded would have ended failed or was cancelled (loads are read in the
    // background, so a viewer waiting for the scene learns that none comes).
    virtual void onSceneLoadFailed() {}
};
