#pragma once

#include "QtOSGPluginBase/SetOfNodes.h"

#include <QWidget>
#include <functional>
#include <memory>

class IOSGModel;
class QTreeView;
class SceneTreeModel;

// The "Scene" dock: the graph of one scene model as a tree. It shows the model's selection and
// reports the nodes the user selects in the tree; it is rebuilt when the model changes, keeping
// what was expanded.
class SceneTreeDock : public QWidget
{
    Q_OBJECT

public:
    explicit SceneTreeDock(QWidget* parent = nullptr);
    ~SceneTreeDock() override;

    void setSceneModel(const std::shared_ptr<IOSGModel>& model);
    std::shared_ptr<IOSGModel> getSceneModel() const;
    // Called with the nodes the user selected in the tree.
    void setSelectionHandler(std::function<void(const SetOfNodes&)> handler);

    // Rebuilds the tree on the next turn of the event loop; several calls give one rebuild, and
    // a drop in progress is never pulled from under the view.
    void scheduleRefresh();
    void refresh();
    void showModelSelection();

    QTreeView* getView() const { return m_view; }
    SceneTreeModel* getTreeModel() const { return m_treeModel; }

private:
    void reportSelection();

    QTreeView* m_view;
    SceneTreeModel* m_treeModel;
    std::function<void(const SetOfNodes&)> m_selectionHandler;
    bool m_showingModelSelection = false;
    bool m_refreshScheduled = false;
};
