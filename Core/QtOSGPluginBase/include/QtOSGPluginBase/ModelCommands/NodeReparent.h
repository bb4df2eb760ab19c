#pragma once

#include "QtOSGPluginBase/ModelCommands/ModelCommand.h"

#include <osg/Group>

namespace MODCMD {

// Moves nodes from their parents to a new parent (drag and drop in a scene tree).
class ZEL_API NodeReparent : public ModelCommand
{
    Q_OBJECT

public:
    NodeReparent();
    NodeReparent(const osg::ref_ptr<osg::Group>& newParent, const NodeList& nodes);
    ~NodeReparent() override;

    bool isUndoable() const override { return true; }

    void setNewParent(const osg::ref_ptr<osg::Group>& newParent) { m_newParent = newParent; }
    osg::ref_ptr<osg::Group> getNewParent() const { return m_newParent; }
    void setNodes(const NodeList& nodes);
    NodeList getNodes() const { return m_nodes; }

protected:
    void applyRedoChanges() override;
    void applyUndoChanges() override;

private:
    osg::ref_ptr<osg::Group> m_newParent;
    // By position in m_nodes; null where a node had no parent and was left alone.
    std::vector<osg::ref_ptr<osg::Group>> m_oldParents;
    NodeList m_nodes;
};

} // namespace MODCMD
