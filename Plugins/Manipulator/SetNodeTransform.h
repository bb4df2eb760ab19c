#pragma once

#include "QtOSGPluginBase/ModelCommands/ModelCommand.h"

#include <osg/Group>
#include <osg/MatrixTransform>

// Sets the matrix of the transform that places an object; undo sets the previous one. For an
// object that had no transform of its own, the command also puts the new transform in the
// object's place under its parent (keeping the index and a switch's value) and takes it out
// again on undo.
class SetNodeTransform : public MODCMD::ModelCommand
{
public:
    SetNodeTransform(osg::MatrixTransform* transform, const osg::Matrixd& from,
                     const osg::Matrixd& to, const QString& text);
    ~SetNodeTransform() override;

    // The transform is new: redo puts it between node and parent.
    void insertAbove(osg::Node* node, osg::Group* parent);

    bool isUndoable() const override { return true; }
    bool prepare() override;
    MODCMD::NodeList heldNodes() const override;

protected:
    void applyRedoChanges() override;
    void applyUndoChanges() override;

private:
    osg::ref_ptr<osg::MatrixTransform> m_transform;
    osg::Matrixd m_from;
    osg::Matrixd m_to;
    osg::ref_ptr<osg::Node> m_node;
    osg::ref_ptr<osg::Group> m_parent;
};
