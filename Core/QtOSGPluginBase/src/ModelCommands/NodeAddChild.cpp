#include "QtOSGPluginBase/ModelCommands/NodeAddChild.h"

namespace MODCMD {

NodeAddChild::NodeAddChild()
{
    setText(tr("Add Child"));
}

NodeAddChild::NodeAddChild(const osg::ref_ptr<osg::Group>& parent,
                           const osg::ref_ptr<osg::Node>& child)
    : m_child(child), m_parent(parent)
{
    setText(tr("Add Child"));
}

NodeAddChild::~NodeAddChild() = default;

void NodeAddChild::applyRedoChanges()
{
    if (m_parent && m_child)
        m_parent->addChild(m_child);
}

bool NodeAddChild::sendRedoEvents()
{
    return sendChangeEvents(false);
}

void NodeAddChild::applyUndoChanges()
{
    if (m_parent && m_child)
        m_parent->removeChild(m_child);
}

bool NodeAddChild::sendUndoEvents()
{
    return sendChangeEvents(false);
}

} // namespace MODCMD
