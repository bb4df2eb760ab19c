#include "RenderManager/RenderManager.h"

#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "RenderManager/RenderPipelineForward.h"
#include "RenderManager/RenderPipelineHDR.h"
#include "RenderManager/RenderPipelineTesting.h"

#include <gtest/gtest.h>
#include <osg/Group>

namespace {

using Pipelines = std::vector<std::unique_ptr<IRenderPipeline>>;
using Names = std::vector<std::string>;

std::unique_ptr<IRenderPipeline> create(RenderManager& manager, const std::string& mode)
{
    return manager.createRenderPipeline(mode, nullptr, new osg::Group, nullptr, nullptr);
}

TEST(TraversalMaskPoolTest, BitsGoLowestFreeFirstAndComeBackOnDestruction)
{
    LogCapture log;
    RenderManager manager;
    std::unique_ptr<IRenderPipeline> first = create(manager, "FORWARD");
    std::unique_ptr<IRenderPipeline> second = create(manager, "TESTING");
    std::unique_ptr<IRenderPipeline> third = create(manager, "FORWARD");
    EXPECT_EQ(first->getTraversalMask(), 1u);
    EXPECT_EQ(second->getTraversalMask(), 2u);
    EXPECT_EQ(third->getTraversalMask(), 4u);
    EXPECT_TRUE(
        log.contains("Created new render pipeline for mode FORWARD with traversal mask 1\n"));
    EXPECT_TRUE(
        log.contains("Created new render pipeline for mode TESTING with traversal mask 2\n"));

    second.reset();
    EXPECT_EQ(log.count("Traversal mask 2 deregistered.\n"), 1);
    first.reset();
    EXPECT_EQ(log.count("Traversal mask 1 deregistered.\n"), 1);

    // The lowest freed bit is reused first, then the next freed one, before any new one.
    EXPECT_EQ(create(manager, "TESTING")->getTraversalMask(), 1u);
    std::unique_ptr<IRenderPipeline> reused = create(manager, "FORWARD");
    std::unique_ptr<IRenderPipeline> again = create(manager, "FORWARD");
    EXPECT_EQ(reused->getTraversalMask(), 1u);
    EXPECT_EQ(again->getTraversalMask(), 2u);
    EXPECT_EQ(create(manager, "FORWARD")->getTraversalMask(), 8u);
}

TEST(TraversalMaskPoolTest, ThirtyThirdLivePipelineGetsNoBit)
{
    LogCapture log;
    RenderManager manager;
    Pipelines pipelines;
    for (int i = 0; i < 32; ++i) {
        pipelines.push_back(create(manager, i % 2 ? "TESTING" : "FORWARD"));
        EXPECT_EQ(pipelines.back()->getTraversalMask(), std::uint32_t{1} << i);
    }
    EXPECT_FALSE(log.contains("No more free traversal mask available!"));

    std::unique_ptr<IRenderPipeline> extra = create(manager, "FORWARD");
    ASSERT_TRUE(extra);
    EXPECT_EQ(extra->getTraversalMask(), 0u);
    EXPECT_EQ(log.count("No more free traversal mask available!\n"), 1);
    EXPECT_TRUE(
        log.contains("Created new render pipeline for mode FORWARD with traversal mask 0\n"));

    // Giving back "no bit" frees nothing.
    extra.reset();
    EXPECT_EQ(create(manager, "TESTING")->getTraversalMask(), 0u);
    EXPECT_EQ(log.count("No more free traversal mask available!\n"), 2);

    // The highest bit comes back like any other.
    pipelines[31].reset();
    EXPECT_EQ(log.count("Traversal mask 2147483648 deregistered.\n"), 1);
    EXPECT_EQ(create(manager, "FORWARD")->getTraversalMask(), 0x80000000u);
}

TEST(TraversalMaskPoolTest, PipelineOutlivingItsManagerReleasesNothing)
{
    LogCapture log;
    auto manager = std::make_unique<RenderManager>();
    std::unique_ptr<IRenderPipeline> pipeline = create(*manager, "FORWARD");
    manager.reset();
    pipeline.reset();
    EXPECT_FALSE(log.contains("deregistered"));
}

TEST(RenderManagerFactoryTest, ModesAreSortedAndTakenNamesAreRefused)
{
    RenderManager manager;
    EXPECT_EQ(manager.getRenderPipelineModes(),
              (Names{"COLOR_MAPPING", "FORWARD", "HDR", "TESTING"}));

    int customCalls = 0;
    auto custom =
        [&customCalls](
            IKernel* host, EventSystem*, osg::ref_ptr<osg::Node> root,
            osg::ref_ptr<osg::Object> auxiliary,
            osg::ref_ptr<OSG::Background> background) -> std::unique_ptr<IRenderPipeline> {
        ++customCalls;
        return std::make_unique<RenderPipelineTesting>(host, root, auxiliary, background);
    };
    EXPECT_FALSE(manager.registerRenderPipelineFactory("FORWARD", custom));
    EXPECT_FALSE(manager.registerRenderPipelineFactory("HDR", custom));
    EXPECT_TRUE(manager.registerRenderPipelineFactory("AMBIENT", custom));
    EXPECT_FALSE(manager.registerRenderPipelineFactory("AMBIENT", custom));
    EXPECT_EQ(manager.getRenderPipelineModes(),
              (Names{"AMBIENT", "COLOR_MAPPING", "FORWARD", "HDR", "TESTING"}));

    // The built-in factory stays in place.
    std::unique_ptr<IRenderPipeline> forward = create(manager, "FORWARD");
    EXPECT_NE(dynamic_cast<RenderPipelineForward*>(forward.get()), nullptr);
    EXPECT_NE(dynamic_cast<RenderPipelineHDR*>(create(manager, "HDR").get()), nullptr);
    EXPECT_EQ(customCalls, 0);

    std::unique_ptr<IRenderPipeline> ambient = create(manager, "AMBIENT");
    EXPECT_EQ(customCalls, 1);
    EXPECT_NE(dynamic_cast<RenderPipelineTesting*>(ambient.get()), nullptr);
    EXPECT_EQ(ambient->getTraversalMask(), 2u);
}

TEST(RenderManagerFactoryTest, FactoryMakingNothingIsReportedAndUsesNoBit)
{
    LogCapture log;
    RenderManager manager;
    manager.registerRenderPipelineFactory(
        "BROKEN", [](IKernel*, EventSystem*, osg::ref_ptr<osg::Node>, osg::ref_ptr<osg::Object>,
                     osg::ref_ptr<OSG::Background>) { return std::unique_ptr<IRenderPipeline>(); });
    EXPECT_EQ(create(manager, "BROKEN"), nullptr);
    EXPECT_TRUE(log.contains("RenderManager::createRenderPipeline: The factory of mode BROKEN"));
    EXPECT_EQ(create(manager, "FORWARD")->getTraversalMask(), 1u);
}

TEST(RenderManagerDeathTest, UnknownModeEndsTheProcessWithStatusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RenderManager manager;
    EXPECT_EXIT(create(manager, "forward"), ::testing::ExitedWithCode(1),
                "RenderManager::createRenderPipeline: Failed to create render pipeline forward");
    EXPECT_EXIT(create(manager, ""), ::testing::ExitedWithCode(1),
                "Failed to create render pipeline");
}

} // namespace
