#include "QtOSGPluginBase/ModelCommands/NodeReparent.h"

#include "Logger/Log.h"

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

NodeReparent::~NodeReparent() = default;

void NodeReparent::setNodes(const NodeList& nodes)
{
    m_nodes = nodes;
    m_oldParents.assign(m_nodes.size(), nullptr);
}

void NodeReparent::applyRedoChanges()
{
    if (!m_newParent)
        return;
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        osg::Node* node = m_nodes[i].get();
        osg::Group* parent = node && node->getNumParents() > 0 ? node->getParent(0) : nullptr;
        if (!parent) {
            ZEL_WARN << "NodeReparent::applyRedoChanges: Getting ParentNode during Drag and Drop "
                        "failed\n";
            m_oldParents[i] = nullptr;
            continue;
        }
        m_oldParents[i] = parent;
        parent->removeChild(node);
        m_newParent->addChild(node);
    }
}

// A node that had no parent at redo was not moved, so there is nothing to take back.
void NodeReparent::applyUndoChanges()
{
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        osg::Node* node = m_nodes[i].get();
        if (!node) {
            ZEL_WARN << "NodeReparent::applyUndoChanges: Getting currentNode failed during "
                        "undo()-command (DragDrop)\n";
            continue;
        }
        if (!m_oldParents[i])
            continue;
        m_newParent->removeChild(node);
        m_oldParents[i]->addChild(node);
    }
}

} // namespace MODCMD
