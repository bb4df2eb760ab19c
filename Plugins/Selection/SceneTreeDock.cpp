#include "SceneTreeDock.h"

#include "QtOSGPluginBase/IOSGModel.h"
#include "SceneTreeModel.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

SceneTreeDock::SceneTreeDock(QWidget* parent)
    : QWidget(parent), m_view(new QTreeView(this)), m_treeModel(new SceneTreeModel(this))
{
    setWindowTitle("Scene");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_view->setModel(m_treeModel);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setDragDropMode(QAbstractItemView::DragDrop);
    m_view->setDefaultDropAction(Qt::MoveAction);
    m_view->setDropIndicatorShown(true);
    m_view->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SceneTreeDock::reportSelection);
}

SceneTreeDock::~SceneTreeDock() = default;

void SceneTreeDock::setSceneModel(const std::shared_ptr<IOSGModel>& model)
{
    m_treeModel->setSceneModel(model);
    m_view->expandToDepth(0);
    showModelSelection();
}

std::shared_ptr<IOSGModel> SceneTreeDock::getSceneModel() const
{
    return m_treeModel->getSceneModel();
}

void SceneTreeDock::setSelectionHandler(std::function<void(const SetOfNodes&)> handler)
{
    m_selectionHandler = std::move(handler);
}

void SceneTreeDock::scheduleRefresh()
{
    if (std::exchange(m_refreshScheduled, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_refreshScheduled = false;
        refresh();
    });
}

void SceneTreeDock::refresh()
{
    // Expanded places are remembered by their paths of nodes, which outlive the items.
    std::vector<osg::NodePath> expanded;
    std::vector<QModelIndex> pending{QModelIndex()};
    while (!pending.empty()) {
        const QModelIndex parent = pending.back();
        pending.pop_back();
        for (int row = 0; row < m_treeModel->rowCount(parent); ++row) {
            const QModelIndex child = m_treeModel->index(row, 0, parent);
            if (!m_view->isExpanded(child))
                continue;
            osg::NodePath path;
            for (QModelIndex at = child; at.isValid(); at = at.parent())
                path.insert(path.begin(), m_treeModel->node(at));
            expanded.push_back(path);
            pending.push_back(child);
        }
    }
    const int scroll = m_view->verticalScrollBar()->value();

    m_treeModel->refresh();
    for (const osg::NodePath& path : expanded) {
        QModelIndex at;
        for (osg::Node* node : path) {
            QModelIndex found;
            for (int row = 0; row < m_treeModel->rowCount(at) && !found.isValid(); ++row)
                if (m_treeModel->node(m_treeModel->index(row, 0, at)) == node)
                    found = m_treeModel->index(row, 0, at);
            at = found;
            if (!at.isValid())
                break;
        }
        if (at.isValid())
            m_view->expand(at);
    }
    showModelSelection();
    m_view->verticalScrollBar()->setValue(scroll);
}

void SceneTreeDock::showModelSelection()
{
    std::shared_ptr<IOSGModel> model = getSceneModel();
    QItemSelection selection;
    if (model)
        for (const osg::ref_ptr<osg::Node>& node : model->getSelectedNodes()) {
            const QModelIndex index = m_treeModel->indexOf(node.get());
            if (!index.isValid())
                continue;
            selection.select(index, index.siblingAtColumn(1));
            for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
                m_view->expand(above);
        }
    m_showingModelSelection = true;
    m_view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_showingModelSelection = false;
    if (!selection.isEmpty())
        m_view->scrollTo(selection.indexes().front());
}

void SceneTreeDock::reportSelection()
{
    if (m_showingModelSelection || !m_selectionHandler)
        return;
    SetOfNodes nodes;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        if (osg::Node* node = m_treeModel->node(index))
            nodes.add(node);
    m_selectionHandler(nodes);
}
