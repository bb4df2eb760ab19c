#pragma once

#include "EventSystem/EventHandler.h"
#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IQtInteraction.h"

#include <QPointer>
#include <map>
#include <memory>
#include <vector>

class IOSGModel;
class IOSGViewer;
class ObjectHandles;
class QTabWidget;
class ViewerManipulator;

// Handles on the selected object in every viewer: rings turn it, arrows and squares move it,
// and each finished drag is one undoable command. The plug-in finds the viewers among the
// plug-in instances, at its start and whenever input comes from a viewer it does not know
// yet. Each viewer gets an input mapper (configuration "Manipulator") in front of the other
// mappers, so that it sees a press first and takes it only when it lands on a handle. The
// handles of a viewer's model are made once the window has handed it the model, and again
// after any model event, so that a selection made in a dock shows them too.
class ManipulatorPlugin : public PluginSDK::Plugin<ManipulatorPlugin>,
                          public IQtInteraction,
                          public EventHandler
{
public:
    ManipulatorPlugin(IKernel* kernel, const PluginInstanceInfo& info);
    // Saves the viewers' bindings and takes the handles out of the models.
    ~ManipulatorPlugin() override;
    static PluginDescriptor& descriptor();

    std::list<QWidget*> getDockWidgets() override;
    std::list<bool> getDockWidgetFlags() override { return {false}; }
    std::list<QToolBar*> getToolBars() override { return {}; }
    std::list<QMenu*> getMenus() override { return {}; }
    QStatusBar* getStatusBar() override { return nullptr; }

    // Notices input from viewers it does not handle yet and models without handles; consumes
    // nothing.
    bool handleEvent(Event& event) override;

private:
    struct Attached
    {
        std::unique_ptr<ViewerManipulator> manipulator;
        QPointer<QWidget> bindingsFrame;
    };

    void attachKnownViewers();
    void attach(IOSGViewer& viewer);
    bool isAttached(const QWidget* widget) const;
    void followModels();
    ObjectHandles* handlesOf(const std::shared_ptr<IOSGModel>& model);

    std::vector<Attached> m_attached;
    std::map<const IOSGModel*, std::unique_ptr<ObjectHandles>> m_handles;
    // Owned here until a host window docks it.
    QPointer<QTabWidget> m_dock;
    bool m_attachScheduled = false;
};
