#include "QtOSGPluginBase/ModelCommands/NodeReparent.h"

#include "Logger/Log.h"

#include <osg/Switch>

namespace MODCMD {

NodeReparent::NodeReparent()
{
    setText(tr("Reparent Node"));
}

NodeReparent::NodeReparent(const osg::ref_ptr<osg::Group>& newParent, const NodeList& nodes)
    : m_newParent(newParent)
{
    setText(tr("Reparent Node"));
    setNodes(nodes);
}

NodeReparent::NodeReparent(const osg::ref_ptr<osg::Group>& newParent, const NodeList& nodes,
                           const std::vector<osg::ref_ptr<osg::Group>>& fromParents)
    : NodeReparent(newParent, nodes)
{
    for (std::size_t i = 0; i < m_moves.size() && i < fromParents.size(); ++i)
        if (fromParents[i])
            m_moves[i].from = fromParents[i];
}

NodeReparent::~NodeReparent() = default;

void NodeReparent::setNodes(const NodeList& nodes)
{
    m_moves.clear();
    for (const osg::ref_ptr<osg::Node>& node : nodes) {
        Move move;
        move.node = node;
        if (node && node->getNumParents() > 0)
            move.from = node->getParent(0);
        m_moves.push_back(move);
    }
}

NodeList NodeReparent::getNodes() const
{
    NodeList nodes;
    for (const Move& move : m_moves)
        nodes.push_back(move.node);
    return nodes;
}

void NodeReparent::applyRedoChanges()
{
    if (!m_newParent)
        return;
    for (Move& move : m_moves) {
        osg::Node* node = move.node.get();
        const unsigned int index = move.from && node ? move.from->getChildIndex(node) : 0;
        move.moved = move.from && node && index < move.from->getNumChildren();
        if (!move.moved) {
            ZEL_WARN << "NodeReparent::applyRedoChanges: Getting ParentNode during Drag and Drop "
                        "failed\n";
            continue;
        }
        move.fromIndex = index;
        if (const osg::Switch* fromSwitch = move.from->asSwitch())
            move.switchValue = fromSwitch->getValue(index);
        move.from->removeChildren(index, 1);
        move.toIndex = m_newParent->getNumChildren();
        m_newParent->addChild(node);
    }
}

// In reverse order, so that every index is the one recorded when its node moved.
void NodeReparent::applyUndoChanges()
{
    for (auto move = m_moves.rbegin(); move != m_moves.rend(); ++move) {
        osg::Node* node = move->node.get();
        if (!node) {
            ZEL_WARN << "NodeReparent::applyUndoChanges: Getting currentNode failed during "
                        "undo()-command (DragDrop)\n";
            continue;
        }
        if (!move->moved)
            continue;
        if (move->toIndex < m_newParent->getNumChildren() &&
            m_newParent->getChild(move->toIndex) == node)
            m_newParent->removeChildren(move->toIndex, 1);
        else
            m_newParent->removeChild(node);
        if (osg::Switch* fromSwitch = move->from->asSwitch())
            fromSwitch->insertChild(move->fromIndex, node, move->switchValue);
        else
            move->from->insertChild(move->fromIndex, node);
    }
}

} // namespace MODCMD
