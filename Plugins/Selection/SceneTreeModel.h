#pragma once

#include <QAbstractItemModel>
#include <memory>
#include <osg/Group>
#include <vector>

class IOSGModel;

// The graph of a scene model as a tree of names and node classes, from ROOT down. A node with
// several parents shows up under each. Children are read from the graph when first shown and
// kept until refresh(), which the owner calls when the model announces a change. Dragging
// nodes of the loaded content (below FILE_ROOT) onto a group of it moves them there with an
// undoable NodeReparent.
class SceneTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit SceneTreeModel(QObject* parent = nullptr);
    ~SceneTreeModel() override;

    void setSceneModel(const std::shared_ptr<IOSGModel>& model);
    std::shared_ptr<IOSGModel> getSceneModel() const { return m_model.lock(); }
    void refresh();

    osg::Node* node(const QModelIndex& index) const;
    // The first place of the node in the tree (along its first path from ROOT); invalid if the
    // node does not hang under ROOT.
    QModelIndex indexOf(const osg::Node* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    struct Item;

    Item* item(const QModelIndex& index) const;
    void populate(Item& item) const;
    bool isLayoutNode(const osg::Node* node) const;
    bool isBelowFileRoot(const Item& item) const;
    bool isMovable(const Item& item) const;
    bool isDropTarget(const Item& item) const;

    // The nodes a drop carries with the parents they are taken from.
    struct Moves
    {
        std::vector<osg::ref_ptr<osg::Node>> nodes;
        std::vector<osg::ref_ptr<osg::Group>> parents;
    };
    // None when the drop would move what may not move or break the graph.
    Moves nodesToMove(const QMimeData* data, const QModelIndex& target) const;

    std::weak_ptr<IOSGModel> m_model;
    // Holds ROOT as its only child; never shown.
    std::unique_ptr<Item> m_top;
};
