#include "OSGZELCoreFieldContainers/VisitSubTree.h"

#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>
#include <osgUtil/UpdateVisitor>

namespace {

using Names = std::vector<std::string>;

// Records the names of the geodes it reaches.
class GeodeCollector : public osg::NodeVisitor
{
public:
    explicit GeodeCollector(unsigned int mask) : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN)
    {
        setTraversalMask(mask);
    }
    void apply(osg::Geode& geode) override { names.push_back(geode.getName()); }

    Names names;
};

osg::ref_ptr<osg::Geode> box(const std::string& name, unsigned int mask, const osg::Vec3& center)
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName(name);
    geode->setNodeMask(mask);
    geode->addDrawable(new osg::ShapeDrawable(new osg::Box(center, 1.0f)));
    return geode;
}

// A scene of three boxes: "a" for bit 1, "b" for bit 2, "ab" for both.
osg::ref_ptr<osg::Group> maskedScene()
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(box("a", 1, osg::Vec3(-2, 0, 0)));
    scene->addChild(box("b", 2, osg::Vec3(2, 0, 0)));
    scene->addChild(box("ab", 3, osg::Vec3(0, 0, 2)));
    return scene;
}

Names visit(osg::Node& node, unsigned int visitorMask)
{
    GeodeCollector collector(visitorMask);
    node.accept(collector);
    EXPECT_EQ(collector.getTraversalMask(), visitorMask) << "the visitor's mask was not restored";
    return collector.names;
}

TEST(VisitSubTreeMaskTest, VisitorMaskIsRestrictedToTheSubTreeMaskAndRestored)
{
    osg::ref_ptr<osg::Group> scene = maskedScene();
    osg::ref_ptr<OSG::VisitSubTree> visitNode = new OSG::VisitSubTree;
    visitNode->setSubTreeRoot(scene.get());

    EXPECT_EQ(visit(*visitNode, 0xffffffff), (Names{"a", "b", "ab"}));

    visitNode->setTraversalMaskMode(OSG::VisitSubTree::VisitorAndSubTreeMask);
    visitNode->setSubTreeTraversalMask(1);
    EXPECT_EQ(visit(*visitNode, 0xffffffff), (Names{"a", "ab"}));
    visitNode->setSubTreeTraversalMask(2);
    EXPECT_EQ(visit(*visitNode, 0xffffffff), (Names{"b", "ab"}));
    // The visitor's own restriction still holds inside the subtree.
    EXPECT_EQ(visit(*visitNode, 1), Names{});
    visitNode->setSubTreeTraversalMask(0);
    EXPECT_EQ(visit(*visitNode, 0xffffffff), Names{});

    // Nodes after the visit node see the visitor's mask again.
    osg::ref_ptr<osg::Group> parent = new osg::Group;
    visitNode->setSubTreeTraversalMask(1);
    parent->addChild(visitNode.get());
    parent->addChild(box("after", 2, osg::Vec3()));
    EXPECT_EQ(visit(*parent, 0xffffffff), (Names{"a", "ab", "after"}));
}

TEST(VisitSubTreeMaskTest, SubTreeIsReferencedNeitherOwnedNorAChild)
{
    osg::ref_ptr<osg::Group> scene = maskedScene();
    osg::ref_ptr<OSG::VisitSubTree> visitNode = new OSG::VisitSubTree;
    visitNode->setSubTreeRoot(scene.get());
    EXPECT_EQ(visitNode->getNumChildren(), 0u);
    EXPECT_EQ(scene->getNumParents(), 0u);

    scene = nullptr;
    EXPECT_FALSE(visitNode->getSubTreeRoot());
    EXPECT_EQ(visit(*visitNode, 0xffffffff), Names{});
}

TEST(VisitSubTreeMaskTest, SubTreeHoldingTheVisitNodeIsVisitedOnceAndBoundedOnce)
{
    osg::ref_ptr<osg::Group> scene = maskedScene();
    const osg::BoundingSphere alone = scene->getBound();
    osg::ref_ptr<OSG::VisitSubTree> visitNode = new OSG::VisitSubTree;
    visitNode->setSubTreeRoot(scene.get());
    // Below a group of its own, as a stage dragged into the scene it draws would be.
    osg::ref_ptr<osg::Group> stage = new osg::Group;
    stage->addChild(visitNode.get());
    scene->addChild(stage.get());

    EXPECT_EQ(visit(*scene, 0xffffffff), (Names{"a", "b", "ab"}));
    // The bound of a cycle ends too, and is the subtree's own.
    scene->dirtyBound();
    EXPECT_EQ(scene->getBound().center(), alone.center());
    EXPECT_FLOAT_EQ(scene->getBound().radius(), alone.radius());
    EXPECT_FLOAT_EQ(stage->getBound().radius(), alone.radius());
}

TEST(VisitSubTreeBoundTest, BoundFollowsTheSubTreeAfterAnUpdate)
{
    osg::ref_ptr<osg::MatrixTransform> scene = new osg::MatrixTransform;
    scene->addChild(box("a", 1, osg::Vec3()));
    osg::ref_ptr<OSG::VisitSubTree> visitNode = new OSG::VisitSubTree;
    visitNode->setSubTreeRoot(scene.get());
    osg::ref_ptr<osg::Group> stage = new osg::Group;
    stage->addChild(visitNode.get());

    EXPECT_EQ(stage->getBound().center(), scene->getBound().center());
    EXPECT_FLOAT_EQ(stage->getBound().radius(), scene->getBound().radius());

    scene->setMatrix(osg::Matrix::translate(5, 0, 0));
    osgUtil::UpdateVisitor update;
    stage->accept(update);
    EXPECT_FLOAT_EQ(stage->getBound().center().x(), 5.0f);
}

bool hits(osg::Node& node, unsigned int visitorMask)
{
    osg::ref_ptr<osgUtil::LineSegmentIntersector> intersector =
        new osgUtil::LineSegmentIntersector(osg::Vec3(-2, -10, 0), osg::Vec3(-2, 10, 0));
    osgUtil::IntersectionVisitor intersections(intersector.get());
    intersections.setTraversalMask(visitorMask);
    node.accept(intersections);
    return intersector->containsIntersections();
}

TEST(VisitSubTreeBoundTest, IntersectionsPassThroughTheVisitWithItsMask)
{
    osg::ref_ptr<osg::Group> scene = maskedScene();
    osg::ref_ptr<OSG::VisitSubTree> visitNode = new OSG::VisitSubTree;
    visitNode->setSubTreeRoot(scene.get());
    visitNode->setTraversalMaskMode(OSG::VisitSubTree::VisitorAndSubTreeMask);
    osg::ref_ptr<osg::Group> stage = new osg::Group;
    stage->addChild(visitNode.get());

    visitNode->setSubTreeTraversalMask(1);
    EXPECT_TRUE(hits(*stage, 0xffffffff)); // box "a" lies on the line
    visitNode->setSubTreeTraversalMask(2);
    EXPECT_FALSE(hits(*stage, 0xffffffff));
}

} // namespace
