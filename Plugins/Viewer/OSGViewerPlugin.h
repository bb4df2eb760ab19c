#pragma once

#include "EventSystem/EventHandler.h"
#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"

#include <QPointer>
#include <QString>
#include <memory>
#include <osg/Group>
#include <string>

class BatchScreenshot;
class IRenderPipeline;
class QAction;
class QToolBar;
class RenderWidget;
class ViewerDock;
namespace OSG {
class Background;
}

// The default viewer: draws a scene model in an OpenGL widget through a render pipeline of the
// kernel's render manager and carries out the window's display modes. Its stage hangs under
// the model's STAGES and visits RENDER_ROOT with the pipeline's own traversal-mask bit, so
// several viewers can show one model.
class OSGViewerPlugin : public PluginSDK::Plugin<OSGViewerPlugin>,
                        public IOSGViewer,
                        public IQtInteraction,
                        public EventHandler
{
public:
    OSGViewerPlugin(IKernel* kernel, const PluginInstanceInfo& info);
    ~OSGViewerPlugin() override;
    static PluginDescriptor& descriptor();

    QWidget* getWidget() override;
    osgViewer::View* getScene() override;
    void setRenderWindowFullScreen(bool on, const std::list<int>& screens) override;
    void setModel(const std::shared_ptr<IOSGModel>& model) override;
    std::shared_ptr<IOSGModel> getModel() const override { return m_model; }
    void getSelectionContext(osg::ref_ptr<osg::Referenced>& context) override;
    void onSceneLoaded() override;
    void onSceneLoadFailed() override;
    bool isNavigationDisabled() const override { return false; }
    void setSideBySideStereo(bool on) override;
    void setHeadMountedDisplay(bool enable, bool settings) override;
    void requestRedraw() override;

    std::list<QWidget*> getDockWidgets() override;
    std::list<bool> getDockWidgetFlags() override { return {false}; }
    std::list<QToolBar*> getToolBars() override;
    std::list<QMenu*> getMenus() override { return {}; }
    QStatusBar* getStatusBar() override { return nullptr; }

    // Asks for a frame on every event of the shown model; consumes none.
    bool handleEvent(Event& event) override;

    // Rebuilds the pipeline for the mode; the camera stays where it is.
    void setRenderMode(const std::string& mode);
    const std::string& getRenderMode() const { return m_renderMode; }
    IRenderPipeline* getPipeline() const { return m_pipeline.get(); }

    // "Save Screenshot...": asks for a size and a file, renders with a progress dialog that can
    // be cancelled, and writes the image.
    void saveScreenshot();

private:
    void createPipeline();
    void releasePipeline();
    // Follows a model whose graph was replaced: the stage moves to the current STAGES and
    // visits the current RENDER_ROOT.
    void followModelLayout();
    void prepareVisitedScene();
    void frameScene();
    void runBatchScreenshot();

    std::string m_renderMode = "FORWARD";
    osg::ref_ptr<OSG::Background> m_background;
    std::shared_ptr<IOSGModel> m_model;
    std::unique_ptr<IRenderPipeline> m_pipeline;
    osg::ref_ptr<osg::Group> m_stages;
    osg::ref_ptr<osg::Group> m_visited;
    // Owned here; a host window parents them and may delete them first.
    QPointer<RenderWidget> m_widget;
    QPointer<ViewerDock> m_dock;
    QPointer<QToolBar> m_toolBar;
    std::unique_ptr<QAction> m_screenshotAction;
    std::unique_ptr<BatchScreenshot> m_batchScreenshot;
    QString m_screenshotFolder;
};
