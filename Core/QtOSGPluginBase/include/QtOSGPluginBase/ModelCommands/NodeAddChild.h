#pragma once

#include "QtOSGPluginBase/ModelCommands/ModelCommand.h"

#include <osg/Group>

namespace MODCMD {

// Adds a child to a parent node; announces only the change (kind 0).
class ZEL_API NodeAddChild : public ModelCommand
{
    Q_OBJECT

public:
    NodeAddChild();
    NodeAddChild(const osg::ref_ptr<osg::Group>& parent, const osg::ref_ptr<osg::Node>& child);
    ~NodeAddChild() override;

    bool isUndoable() const override { return true; }

    void setParent(const osg::ref_ptr<osg::Group>& parent) { m_parent = parent; }
    void setChild(const osg::ref_ptr<osg::Node>& child) { m_child = child; }

protected:
    void applyRedoChanges() override;
    bool sendRedoEvents() override;
    void applyUndoChanges() override;
    bool sendUndoEvents() override;

private:
    osg::ref_ptr<osg::Node> m_child;
    osg::ref_ptr<osg::Group> m_parent;
};

} // namespace MODCMD
