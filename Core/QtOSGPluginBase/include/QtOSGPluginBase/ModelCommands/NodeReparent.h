#pragma once

#include "QtOSGPluginBase/ModelCommands/ModelCommand.h"

#include <osg/Group>

namespace MODCMD {

// Moves nodes from their parents to a new parent (drag and drop in a scene tree). Undo puts each
// node back where it was: the same parent, the same index and, under a switch, the same value.
class ZEL_API NodeReparent : public ModelCommand
{
    Q_OBJECT

public:
    NodeReparent();
    NodeReparent(const osg::ref_ptr<osg::Group>& newParent, const NodeList& nodes);
    // fromParents[i] is the parent nodes[i] is taken from; a node may have several.
    NodeReparent(const osg::ref_ptr<osg::Group>& newParent, const NodeList& nodes,
                 const std::vector<osg::ref_ptr<osg::Group>>& fromParents);
    ~NodeReparent() override;

    bool isUndoable() const override { return true; }

    void setNewParent(const osg::ref_ptr<osg::Group>& newParent) { m_newParent = newParent; }
    osg::ref_ptr<osg::Group> getNewParent() const { return m_newParent; }
    // Each node is taken from its first parent.
    void setNodes(const NodeList& nodes);
    NodeList getNodes() const;

protected:
    void applyRedoChanges() override;
    void applyUndoChanges() override;

private:
    // Where one node came from and where it went, recorded when it moved.
    struct Move
    {
        osg::ref_ptr<osg::Node> node;
        osg::ref_ptr<osg::Group> from;
        unsigned int fromIndex = 0;
        bool switchValue = true;
        unsigned int toIndex = 0;
        bool moved = false;
    };

    osg::ref_ptr<osg::Group> m_newParent;
    std::vector<Move> m_moves;
};

} // namespace MODCMD
