#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/INavigationPlugin.h"
#include "QtOSGPluginBase/IQtInteraction.h"

#include <QPointer>
#include <memory>
#include <vector>

class CameraController;
class QTabWidget;

// Moves the cameras of the attached viewers. Each viewer gets a camera controller of its own,
// which is the action handler of the viewer's input mapper (named "Navigation", so a second
// viewer keeps its bindings apart as "Navigation_2"); the dock shows each mapper's bindings.
class NavigationPlugin : public PluginSDK::Plugin<NavigationPlugin>,
                         public Navigation::INavigationPlugin,
                         public IQtInteraction
{
public:
    NavigationPlugin(IKernel* kernel, const PluginInstanceInfo& info);
    // Detaches the remaining viewers, which saves their bindings.
    ~NavigationPlugin() override;
    static PluginDescriptor& descriptor();

    void attachViewer(const std::string& viewerName, osgViewer::View* scene,
                      IOSGViewer* viewer) override;
    void detachViewer(osgViewer::View* scene) override;

    std::list<QWidget*> getDockWidgets() override;
    std::list<bool> getDockWidgetFlags() override { return {false}; }
    std::list<QToolBar*> getToolBars() override { return {}; }
    std::list<QMenu*> getMenus() override { return {}; }
    QStatusBar* getStatusBar() override { return nullptr; }

private:
    struct Attached
    {
        std::unique_ptr<CameraController> controller;
        QPointer<QWidget> bindingsFrame;
    };

    // Saves the viewer's bindings and forgets the viewer.
    void release(std::vector<Attached>::iterator attached);

    std::vector<Attached> m_attached;
    // Owned here until a host window docks it.
    QPointer<QTabWidget> m_dock;
};
