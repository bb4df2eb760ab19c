#pragma once

#include "ZelApi.h"

#include <osg/Group>
#include <osg/observer_ptr>

namespace OSG {

// Visits a subtree that lives elsewhere in the graph as if it were a child, with the visitor's
// traversal mask adjusted by the subtree mask. The subtree is referenced, never owned and never
// a child, so the same scene can be drawn by several pipelines with different masks.
class ZEL_API VisitSubTree : public osg::Group
{
public:
    // How the visitor's mask and the subtree mask combine while the subtree is visited.
    enum TraversalMaskMode : unsigned int
    {
        VisitorMask = 0,
        SubTreeMask = 1,
        VisitorOrSubTreeMask = 2,
        VisitorAndSubTreeMask = 3
    };

    VisitSubTree();
    VisitSubTree(const VisitSubTree& other, const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Node(OSG, VisitSubTree)

        void setSubTreeRoot(osg::Node* root);
    osg::ref_ptr<osg::Node> getSubTreeRoot() const;

    void setSubTreeTraversalMask(osg::Node::NodeMask mask) { m_subTreeMask = mask; }
    osg::Node::NodeMask getSubTreeTraversalMask() const { return m_subTreeMask; }

    void setTraversalMaskMode(unsigned int mode) { m_maskMode = mode; }
    unsigned int getTraversalMaskMode() const { return m_maskMode; }

    // The mask a visitor carrying visitorMask uses inside the subtree.
    osg::Node::NodeMask subTreeMaskFor(osg::Node::NodeMask visitorMask) const;

    void traverse(osg::NodeVisitor& nv) override;
    osg::BoundingSphere computeBound() const override;

protected:
    ~VisitSubTree() override;

private:
    osg::observer_ptr<osg::Node> m_subTreeRoot;
    osg::Node::NodeMask m_subTreeMask;
    unsigned int m_maskMode;
    // The subtree's bound when ours was last computed: the subtree does not tell us it changed.
    mutable osg::BoundingSphere m_subTreeBound;
    mutable bool m_computingBound = false;
};

} // namespace OSG
