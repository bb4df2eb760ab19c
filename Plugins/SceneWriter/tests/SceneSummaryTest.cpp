#include "SceneSummary.h"

#include "WriterTestScenes.h"

#include <chrono>
#include <gtest/gtest.h>
#include <osg/MatrixTransform>

// 40 levels of groups that list their child twice make 2^40 paths over 41 nodes; a summary
// walking paths would never end. A cycle must not hang it either.
TEST(SceneSummary, SharedSubgraphsAndCyclesCostTheirSize)
{
    osg::ref_ptr<osg::Node> below = meshScene(400);
    for (int level = 0; level < 40; ++level) {
        osg::ref_ptr<osg::Group> group = new osg::Group;
        group->addChild(below);
        group->addChild(below);
        below = group;
    }
    const auto start = std::chrono::steady_clock::now();
    const SceneSummary summary(*below);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(summary.triangles(), 2u * 99 * 3);

    osg::ref_ptr<osg::Group> loop = new osg::Group;
    osg::ref_ptr<osg::Group> inner = new osg::Group;
    loop->addChild(inner);
    inner->addChild(loop);
    EXPECT_EQ(SceneSummary(*loop).differenceFrom(SceneSummary(*loop)), "");
    inner->removeChild(loop.get());
}

TEST(SceneSummary, TellsAHiddenNodeLostValuesAndAMovedPart)
{
    const SceneSummary original(*layoutScene(true));
    osg::ref_ptr<osg::Node> changed = layoutScene(false);
    EXPECT_EQ(SceneSummary(*changed).differenceFrom(original),
              "it keeps 0 of the 2 user values (plug-in data)");
    changed = layoutScene(true);
    osg::Group* scene = changed->asGroup()->getChild(0)->asGroup();
    scene->getChild(1)->setNodeMask(0);
    EXPECT_EQ(SceneSummary(*changed).differenceFrom(original),
              "it changes the node mask of the node \"Terrain\"");
    scene->getChild(1)->setNodeMask(~0u);
    // A 100000th of the scene's size is the tolerance.
    osg::MatrixTransform* moved = scene->getChild(0)->asTransform()->asMatrixTransform();
    moved->postMult(osg::Matrix::translate(0, 0, 1e-7));
    EXPECT_EQ(SceneSummary(*changed).differenceFrom(original), "");
    moved->postMult(osg::Matrix::translate(0, 0, 0.01));
    EXPECT_EQ(SceneSummary(*changed).differenceFrom(original), "its bounding box differs");
}
