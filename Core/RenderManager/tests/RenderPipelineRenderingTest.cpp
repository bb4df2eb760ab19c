#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OffscreenRenderer.h"
#include "RenderManager/IRenderPipeline.h"
#include "RenderManager/RenderManager.h"

#include <gtest/gtest.h>
#include <osg/Group>

namespace {

constexpr int Middle = OffscreenRenderer::Size / 2;
constexpr int Corner = 4;
constexpr int FarCorner = OffscreenRenderer::Size - 5;
// Where the left and right boxes of the two-subset scene land in the frame.
constexpr int Left = 56;
constexpr int Right = OffscreenRenderer::Size - Left;

class RenderPipelineRenderingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!renderer.isValid())
            FAIL() << "No graphics context: rendering tests need an X display (xvfb-run).";
    }

    std::unique_ptr<IRenderPipeline> create(const std::string& mode, osg::Node* scene,
                                            const osg::Vec4& background)
    {
        return manager.createRenderPipeline(mode, nullptr, scene, nullptr,
                                            new OSG::Background(background));
    }

    osg::ref_ptr<osg::Image> render(IRenderPipeline& pipeline)
    {
        return renderer.render(pipeline.getRootNode().get());
    }

    OffscreenRenderer renderer;
    RenderManager manager;
};

TEST_F(RenderPipelineRenderingTest, ForwardPipelineDrawsTheSceneOnItsBackground)
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(makeBox(osg::Vec3(), 2.0f, osg::Vec4(1, 0, 0, 1)));
    std::unique_ptr<IRenderPipeline> pipeline = create("FORWARD", scene.get(), {0, 0, 1, 1});

    osg::ref_ptr<osg::Image> frame = render(*pipeline);
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    for (int x : {Corner, FarCorner})
        for (int y : {Corner, FarCorner})
            EXPECT_TRUE(pixelIs(*frame, x, y, Blue));
    keepImageOnFailure(*frame, "ForwardPipelineBlue");

    pipeline->setBackground(new OSG::Background(osg::Vec4(0, 1, 0, 1)));
    frame = render(*pipeline);
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Green));
    EXPECT_TRUE(pixelIs(*frame, FarCorner, Corner, Green));
    keepImageOnFailure(*frame, "ForwardPipelineGreen");
}

TEST_F(RenderPipelineRenderingTest, PipelinesDrawOnlyTheNodesOfTheirOwnBit)
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    osg::ref_ptr<osg::Node> left = makeBox(osg::Vec3(-1.5f, 0, 0), 1.0f, osg::Vec4(1, 0, 0, 1));
    osg::ref_ptr<osg::Node> right = makeBox(osg::Vec3(1.5f, 0, 0), 1.0f, osg::Vec4(0, 1, 0, 1));
    scene->addChild(left.get());
    scene->addChild(right.get());

    std::unique_ptr<IRenderPipeline> first = create("FORWARD", scene.get(), {0, 0, 1, 1});
    std::unique_ptr<IRenderPipeline> second = create("FORWARD", scene.get(), {0, 0, 1, 1});
    left->setNodeMask(first->getTraversalMask());
    right->setNodeMask(second->getTraversalMask());
    ASSERT_NE(first->getTraversalMask(), second->getTraversalMask());

    osg::ref_ptr<osg::Image> frame = render(*first);
    EXPECT_TRUE(pixelIs(*frame, Left, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Right, Middle, Blue));
    keepImageOnFailure(*frame, "FirstPipelineSubset");

    frame = render(*second);
    EXPECT_TRUE(pixelIs(*frame, Left, Middle, Blue));
    EXPECT_TRUE(pixelIs(*frame, Right, Middle, Green));
    keepImageOnFailure(*frame, "SecondPipelineSubset");

    // The first pipeline's bit goes back exactly once and the next pipeline draws its subset.
    LogCapture log;
    const std::uint32_t firstMask = first->getTraversalMask();
    first.reset();
    const std::string released = "Traversal mask " + std::to_string(firstMask) + " deregistered.";
    EXPECT_EQ(log.count(released), 1);
    std::unique_ptr<IRenderPipeline> third = create("TESTING", scene.get(), {0, 0, 1, 1});
    EXPECT_EQ(third->getTraversalMask(), firstMask);
    frame = render(*third);
    EXPECT_TRUE(pixelIs(*frame, Left, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Right, Middle, Black));
    keepImageOnFailure(*frame, "ThirdPipelineSubset");
    third.reset();
    second.reset();
    EXPECT_EQ(log.count(released), 2); // once per pipeline that held the bit
}

TEST_F(RenderPipelineRenderingTest, TestingPipelineDrawsThroughTheTestingStage)
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(makeBox(osg::Vec3(), 2.0f, osg::Vec4(1, 0, 0, 1)));
    // The testing stage does not take the background: the frame keeps the viewer's black.
    std::unique_ptr<IRenderPipeline> pipeline = create("TESTING", scene.get(), {0, 0, 1, 1});

    osg::ref_ptr<osg::Image> frame = render(*pipeline);
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Black));
    keepImageOnFailure(*frame, "TestingPipeline");
}

} // namespace
