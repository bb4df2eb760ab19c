#include "SceneTreeModel.h"

#include "QtOSGPluginBase/GraphQueries.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/ModelCommands/NodeReparent.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QVector>
#include <algorithm>
#include <osg/Drawable>
#include <osg/Geode>

namespace {

const char* const nodesMimeType = "application/x-zelvista-scene-nodes";

} // namespace

struct SceneTreeModel::Item
{
    osg::ref_ptr<osg::Node> node;
    Item* parent = nullptr;
    int row = 0;
    bool populated = false;
    std::vector<std::unique_ptr<Item>> children;
};

SceneTreeModel::SceneTreeModel(QObject* parent)
    : QAbstractItemModel(parent), m_top(std::make_unique<Item>())
{}

SceneTreeModel::~SceneTreeModel() = default;

void SceneTreeModel::setSceneModel(const std::shared_ptr<IOSGModel>& model)
{
    m_model = model;
    refresh();
}

void SceneTreeModel::refresh()
{
    beginResetModel();
    m_top = std::make_unique<Item>();
    endResetModel();
}

SceneTreeModel::Item* SceneTreeModel::item(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Item*>(index.internalPointer()) : m_top.get();
}

// Only reads the graph: the view asks while it lays out, so no signal may be sent here.
void SceneTreeModel::populate(Item& item) const
{
    if (item.populated)
        return;
    item.populated = true;
    std::vector<osg::Node*> nodes;
    if (&item == m_top.get()) {
        if (std::shared_ptr<IOSGModel> model = m_model.lock(); model && model->getRoot())
            nodes.push_back(model->getRoot().get());
    } else if (osg::Group* group = item.node->asGroup()) {
        for (unsigned i = 0; i < group->getNumChildren(); ++i)
            nodes.push_back(group->getChild(i));
    }
    for (osg::Node* node : nodes) {
        auto child = std::make_unique<Item>();
        child->node = node;
        child->parent = &item;
        child->row = int(item.children.size());
        item.children.push_back(std::move(child));
    }
}

osg::Node* SceneTreeModel::node(const QModelIndex& index) const
{
    return index.isValid() ? item(index)->node.get() : nullptr;
}

QModelIndex SceneTreeModel::indexOf(const osg::Node* node) const
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    if (!node || !model || !model->getRoot() || !isBelow(*node, *model->getRoot()))
        return {};
    // One path up through the first parents that lead to ROOT, then down through the items.
    const osg::Group* root = model->getRoot().get();
    osg::NodePath path{const_cast<osg::Node*>(node)};
    while (path.front() != root) {
        osg::Node* at = path.front();
        osg::Group* up = nullptr;
        for (unsigned int i = 0; !up && i < at->getNumParents(); ++i)
            if (std::find(path.begin(), path.end(), at->getParent(i)) == path.end() &&
                isBelow(*at->getParent(i), *root))
                up = at->getParent(i);
        if (!up)
            return {};
        path.insert(path.begin(), up);
    }
    QModelIndex index = this->index(0, 0);
    for (std::size_t depth = 1; depth < path.size() && index.isValid(); ++depth) {
        Item* parent = item(index);
        populate(*parent);
        auto child = std::find_if(parent->children.begin(), parent->children.end(),
                                  [&](const auto& c) { return c->node == path[depth]; });
        index = child == parent->children.end() ? QModelIndex()
                                                : createIndex((*child)->row, 0, child->get());
    }
    return index;
}

QModelIndex SceneTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    Item* parentItem = item(parent);
    populate(*parentItem);
    if (row < 0 || row >= int(parentItem->children.size()) || column < 0 || column > 1)
        return {};
    return createIndex(row, column, parentItem->children[row].get());
}

QModelIndex SceneTreeModel::parent(const QModelIndex& index) const
{
    if (!index.isValid())
        return {};
    Item* parentItem = item(index)->parent;
    if (!parentItem || parentItem == m_top.get())
        return {};
    return createIndex(parentItem->row, 0, parentItem);
}

int SceneTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    Item* parentItem = item(parent);
    populate(*parentItem);
    return int(parentItem->children.size());
}

int SceneTreeModel::columnCount(const QModelIndex&) const
{
    return 2;
}

bool SceneTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return rowCount(parent) > 0;
    const osg::Group* group = parent.column() == 0 ? item(parent)->node->asGroup() : nullptr;
    return group && group->getNumChildren() > 0;
}

QVariant SceneTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const osg::Node& node = *item(index)->node;
    return index.column() == 0 ? QString::fromStdString(node.getName())
                               : QString::fromLatin1(node.className());
}

QVariant SceneTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? tr("Name") : tr("Class");
}

Qt::ItemFlags SceneTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Item& it = *item(index);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isMovable(it))
        flags |= Qt::ItemIsDragEnabled;
    if (isDropTarget(it))
        flags |= Qt::ItemIsDropEnabled;
    return flags;
}

// The user's content: what hangs below FILE_ROOT (along this place in the tree), apart from the
// layout's own groups. Pipelines, tools and the layout stay where they are.
bool SceneTreeModel::isMovable(const Item& it) const
{
    return it.node && !isLayoutNode(it.node.get()) && isBelowFileRoot(it);
}

bool SceneTreeModel::isDropTarget(const Item& it) const
{
    return it.node && it.node->asGroup() && isBelowFileRoot(it);
}

bool SceneTreeModel::isBelowFileRoot(const Item& it) const
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    const osg::Node* fileRoot = model ? model->getFileRoot().get() : nullptr;
    for (const Item* above = it.parent; fileRoot && above; above = above->parent)
        if (above->node == fileRoot)
            return true;
    return false;
}

// The fixed layout of the model stays where it is.
bool SceneTreeModel::isLayoutNode(const osg::Node* node) const
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    if (!model)
        return false;
    const osg::Node* layout[] = {
        model->getRoot().get(),       model->getStages().get(),     model->getRenderRoot().get(),
        model->getAppearance().get(), model->getTools().get(),      model->getFileRoot().get(),
        model->getScene().get(),      model->getPluginData().get(), model->getBeacons().get()};
    if (std::find(std::begin(layout), std::end(layout), node) != std::end(layout))
        return true;
    // CAMERAS has no getter; it is the SCENE child of that name.
    const osg::Group* scene = model->getScene().get();
    return scene && node->getName() == model->getCamerasName() && node->getNumParents() > 0 &&
           node->getParent(0) == scene;
}

QStringList SceneTreeModel::mimeTypes() const
{
    return {nodesMimeType};
}

// Each item is written as its row numbers from the top.
QMimeData* SceneTreeModel::mimeData(const QModelIndexList& indexes) const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    for (const QModelIndex& index : indexes) {
        if (index.column() != 0)
            continue;
        QVector<int> rows;
        for (const Item* it = item(index); it && it != m_top.get(); it = it->parent)
            rows.prepend(it->row);
        stream << rows;
    }
    auto* data = new QMimeData;
    data->setData(nodesMimeType, bytes);
    return data;
}

SceneTreeModel::Moves SceneTreeModel::nodesToMove(const QMimeData* data,
                                                  const QModelIndex& target) const
{
    const Item* targetItem = target.isValid() ? item(target) : nullptr;
    osg::Group* group = targetItem && targetItem->node ? targetItem->node->asGroup() : nullptr;
    if (!data || !group || !isDropTarget(*targetItem) || !data->hasFormat(nodesMimeType))
        return {};
    const bool targetIsGeode = group->asGeode() != nullptr;

    Moves moves;
    QDataStream stream(data->data(nodesMimeType));
    while (!stream.atEnd()) {
        QVector<int> rows;
        stream >> rows;
        if (stream.status() != QDataStream::Ok)
            return {};
        Item* it = m_top.get();
        for (int row : rows) {
            populate(*it);
            if (row < 0 || row >= int(it->children.size()))
                return {};
            it = it->children[row].get();
        }
        osg::Node* moved = it->node.get();
        osg::Group* from = it->parent && it->parent->node ? it->parent->node->asGroup() : nullptr;
        // A node dropped into itself or below itself would make the graph a cycle.
        if (!moved || !from || !isMovable(*it) || moved == group || isBelow(*group, *moved) ||
            (targetIsGeode && !moved->asDrawable()))
            return {};
        const bool alreadyThere = from == group;
        const bool listed =
            std::find(moves.nodes.begin(), moves.nodes.end(), moved) != moves.nodes.end();
        if (!alreadyThere && !listed) {
            moves.nodes.push_back(moved);
            moves.parents.push_back(from);
        }
    }
    return moves;
}

bool SceneTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                     const QModelIndex& parent) const
{
    return action == Qt::MoveAction && !nodesToMove(data, parent).nodes.empty();
}

// The move goes through the model's undo stack; the tree follows when the model announces it.
bool SceneTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                  const QModelIndex& parent)
{
    std::shared_ptr<IOSGModel> model = m_model.lock();
    if (!model || action != Qt::MoveAction)
        return false;
    const Moves moves = nodesToMove(data, parent);
    if (moves.nodes.empty())
        return false;
    return bool(model->executeCommand(std::make_unique<MODCMD::NodeReparent>(
        node(parent)->asGroup(), moves.nodes, moves.parents)));
}
