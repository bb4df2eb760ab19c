#include "OSGZELCoreFieldContainers/VisitSubTree.h"

#include <algorithm>
#include <osg/NodeVisitor>

namespace OSG {

VisitSubTree::VisitSubTree() : m_subTreeMask(0xffffffff), m_maskMode(VisitorMask)
{
    // Update traversals must reach us to follow the subtree's bound.
    setNumChildrenRequiringUpdateTraversal(getNumChildrenRequiringUpdateTraversal() + 1);
}

VisitSubTree::VisitSubTree(const VisitSubTree& other, const osg::CopyOp& copyOp)
    : osg::Group(other, copyOp), m_subTreeRoot(other.m_subTreeRoot),
      m_subTreeMask(other.m_subTreeMask), m_maskMode(other.m_maskMode)
{
    setNumChildrenRequiringUpdateTraversal(getNumChildrenRequiringUpdateTraversal() + 1);
}

VisitSubTree::~VisitSubTree() = default;

void VisitSubTree::setSubTreeRoot(osg::Node* root)
{
    m_subTreeRoot = root;
    dirtyBound();
}

osg::ref_ptr<osg::Node> VisitSubTree::getSubTreeRoot() const
{
    osg::ref_ptr<osg::Node> root;
    m_subTreeRoot.lock(root);
    return root;
}

osg::Node::NodeMask VisitSubTree::subTreeMaskFor(osg::Node::NodeMask visitorMask) const
{
    switch (m_maskMode) {
    case SubTreeMask:
        return m_subTreeMask;
    case VisitorOrSubTreeMask:
        return visitorMask | m_subTreeMask;
    case VisitorAndSubTreeMask:
        return visitorMask & m_subTreeMask;
    default:
        return visitorMask;
    }
}

void VisitSubTree::traverse(osg::NodeVisitor& nv)
{
    osg::Group::traverse(nv);

    osg::ref_ptr<osg::Node> root = getSubTreeRoot();
    if (!root)
        return;
    // A subtree holding this node would be visited without end.
    const osg::NodePath& path = nv.getNodePath();
    if (std::find(path.begin(), path.end(), root.get()) != path.end())
        return;

    if (nv.getVisitorType() == osg::NodeVisitor::UPDATE_VISITOR &&
        root->getBound() != m_subTreeBound)
        dirtyBound();

    const osg::Node::NodeMask visitorMask = nv.getTraversalMask();
    nv.setTraversalMask(subTreeMaskFor(visitorMask));
    root->accept(nv);
    nv.setTraversalMask(visitorMask);
}

osg::BoundingSphere VisitSubTree::computeBound() const
{
    osg::BoundingSphere bound = osg::Group::computeBound();
    osg::ref_ptr<osg::Node> root = getSubTreeRoot();
    // A subtree holding this node asks for our bound while we compute it: it gets our own
    // children's, like the traversal that skips the subtree then.
    if (!root || m_computingBound)
        return bound;
    m_computingBound = true;
    m_subTreeBound = root->getBound();
    m_computingBound = false;
    bound.expandBy(m_subTreeBound);
    return bound;
}

} // namespace OSG
