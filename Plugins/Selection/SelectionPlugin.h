#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/ISelectionPlugin.h"
#include "QtOSGPluginBase/SetOfNodes.h"

#include <QPointer>
#include <memory>
#include <vector>

class IOSGModel;
class KdTreeBuilder;
class QTabWidget;
class SceneTreeDock;
class ViewerSelection;

// Picks and selects objects in the registered viewers and shows the scene as a tree. Each
// viewer gets a ViewerSelection, the action handler of its input mapper (configuration
// location "Selection"); a click selects the object under the pointer, with Control it toggles
// it, and Escape clears the selection. The "Scene" dock shows the model of the viewer used last.
class SelectionPlugin : public PluginSDK::Plugin<SelectionPlugin>,
                        public ISelectionPlugin,
                        public IQtInteraction
{
public:
    enum Change
    {
        Replace,
        Toggle,
        Clear
    };

    SelectionPlugin(IKernel* kernel, const PluginInstanceInfo& info);
    ~SelectionPlugin() override;
    static PluginDescriptor& descriptor();

    void registerViewer(osgViewer::View* scene, IOSGViewer* viewer,
                        const osg::ref_ptr<osg::Referenced>& context,
                        const ConfigLocation& location) override;
    // Clears the selections and forgets every viewer, saving their bindings (the window calls
    // it when it closes).
    void reset() override;

    std::list<QWidget*> getDockWidgets() override;
    std::list<bool> getDockWidgetFlags() override { return {false, false}; }
    std::list<QToolBar*> getToolBars() override { return {}; }
    std::list<QMenu*> getMenus() override { return {}; }
    QStatusBar* getStatusBar() override { return nullptr; }

    // Replace with a null node clears the selection; Toggle needs a node.
    void changeSelection(const std::shared_ptr<IOSGModel>& model, osg::Node* node, Change change);
    // A loaded scene gets its k-d trees in the background (KdTreeBuilder).
    void sceneChanged(const std::shared_ptr<IOSGModel>& model, bool loaded);

private:
    struct Registered
    {
        std::unique_ptr<ViewerSelection> selection;
        QPointer<QWidget> bindingsFrame;
    };

    void setSelectedNodes(const std::shared_ptr<IOSGModel>& model, const SetOfNodes& nodes);
    void showSelection(const std::shared_ptr<IOSGModel>& model);
    void release(Registered& registered);

    std::unique_ptr<KdTreeBuilder> m_trees;
    std::vector<Registered> m_registered;
    // Owned here until a host window docks them.
    QPointer<SceneTreeDock> m_sceneDock;
    QPointer<QTabWidget> m_bindingsDock;
};
