#include "RenderManager/RenderPipeline.h"

#include "EventSystem/EventHandler.h"
#include "EventSystem/EventSystem.h"
#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ForwardStage.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OSGZELCoreFieldContainers/TestingStage.h"
#include "OSGZELCoreFieldContainers/VisitSubTree.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "RenderManager/RenderPipelineForward.h"
#include "RenderManager/RenderPipelineTesting.h"

#include <gtest/gtest.h>
#include <osg/Group>
#include <sstream>

namespace {

std::string address(const osg::Object* object)
{
    std::ostringstream text;
    text << static_cast<const void*>(object);
    return text.str();
}

TEST(RenderPipelineReleaseTest, CallbackRunsOnceWithTheMaskOnlyWhenSet)
{
    std::vector<std::uint32_t> released;
    {
        RenderPipelineTesting pipeline(nullptr, new osg::Group, nullptr, nullptr);
        pipeline.setTraversalMask(4, [&released](std::uint32_t mask) { released.push_back(mask); });
        // An empty callback keeps the one already stored.
        pipeline.setTraversalMask(4, TraversalMaskReleaseCallback());
    }
    EXPECT_EQ(released, std::vector<std::uint32_t>{4});
    {
        RenderPipelineTesting pipeline(nullptr, new osg::Group, nullptr, nullptr);
        pipeline.setTraversalMask(8, TraversalMaskReleaseCallback());
    }
    EXPECT_EQ(released, std::vector<std::uint32_t>{4});
}

TEST(RenderPipelineBufferTest, DuplicatesReplaceNullRemovesAndPrintListsByName)
{
    LogCapture log;
    RenderPipelineTesting pipeline(nullptr, new osg::Group, nullptr, nullptr);
    pipeline.printRenderBuffers();
    EXPECT_EQ(log.count("No renderbufers registered\n"), 1);

    osg::ref_ptr<osg::Object> first = new osg::Group;
    osg::ref_ptr<osg::Object> second = new osg::Group;
    osg::ref_ptr<osg::Object> other = new osg::Group;
    pipeline.registerRenderBuffer("depth", first);
    pipeline.registerRenderBuffer("color", other);
    pipeline.registerRenderBuffer("depth", second);
    EXPECT_EQ(pipeline.getRenderBuffer("depth"), nullptr);

    log.clear();
    pipeline.printRenderBuffers();
    const std::vector<std::string> expected{"color : " + address(other.get()) + "\n",
                                            "depth : " + address(second.get()) + "\n"};
    ASSERT_EQ(log.records().size(), 2u);
    EXPECT_NE(log.records()[0].find(expected[0]), std::string::npos) << log.records()[0];
    EXPECT_NE(log.records()[1].find(expected[1]), std::string::npos) << log.records()[1];

    pipeline.registerRenderBuffer("depth", nullptr);
    pipeline.registerRenderBuffer("color", nullptr);
    pipeline.registerRenderBuffer("absent", nullptr);
    log.clear();
    pipeline.printRenderBuffers();
    EXPECT_EQ(log.count("No renderbufers registered\n"), 1);
}

TEST(RenderPipelineStructureTest, TestingPipelineIsItsStageAboveTheRestrictedVisit)
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    osg::ref_ptr<OSG::Background> background = new OSG::Background;
    RenderPipelineTesting pipeline(nullptr, scene, nullptr, background);
    pipeline.setTraversalMask(2, nullptr);

    auto* stage = dynamic_cast<OSG::TestingStage*>(pipeline.getRootNode().get());
    ASSERT_NE(stage, nullptr);
    ASSERT_EQ(stage->getNumChildren(), 1u);
    auto* visit = dynamic_cast<OSG::VisitSubTree*>(stage->getChild(0));
    ASSERT_NE(visit, nullptr);
    EXPECT_EQ(visit->getSubTreeRoot(), scene);
    EXPECT_EQ(visit->getTraversalMaskMode(), OSG::VisitSubTree::VisitorAndSubTreeMask);
    EXPECT_EQ(visit->getSubTreeTraversalMask(), 2u);
    EXPECT_EQ(pipeline.getSettingsWidget(), nullptr);
    EXPECT_EQ(pipeline.getBackground(), background);

    osg::ref_ptr<OSG::RenderTarget> target = new OSG::RenderTarget(32, 32);
    pipeline.setRenderTarget(target.get());
    EXPECT_EQ(pipeline.getRenderTarget(), target);
    EXPECT_EQ(stage->getRenderTarget(), target.get());

    osg::ref_ptr<osg::Group> otherScene = new osg::Group;
    pipeline.setSceneRoot(otherScene);
    EXPECT_EQ(visit->getSubTreeRoot(), otherScene);
}

TEST(RenderPipelineStructureTest, NullSceneRootLeavesNoStage)
{
    RenderPipelineForward forward(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(forward.getRootNode(), nullptr);
    EXPECT_EQ(forward.getRenderTarget(), nullptr);
    forward.setSceneRoot(new osg::Group);
    EXPECT_EQ(forward.getRootNode(), nullptr);

    RenderPipelineTesting testing(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(testing.getRootNode(), nullptr);
    testing.setTraversalMask(1, nullptr);
    EXPECT_EQ(testing.getTraversalMask(), 1u);
}

TEST(RenderPipelineForwardTest, BackgroundReachesTheStageAndAuxiliaryContainerIsKept)
{
    osg::ref_ptr<osg::Object> auxiliary = new osg::Group;
    osg::ref_ptr<OSG::Background> blue = new OSG::Background(osg::Vec4(0, 0, 1, 1));
    RenderPipelineForward pipeline(nullptr, nullptr, new osg::Group, auxiliary, blue);
    auto* stage = dynamic_cast<OSG::ForwardStage*>(pipeline.getRootNode().get());
    ASSERT_NE(stage, nullptr);
    EXPECT_EQ(stage->getBackground(), blue.get());

    osg::ref_ptr<OSG::Background> green = new OSG::Background(osg::Vec4(0, 1, 0, 1));
    pipeline.setBackground(green);
    EXPECT_EQ(stage->getBackground(), green.get());
    EXPECT_EQ(pipeline.getBackground(), green);

    pipeline.setAuxiliaryContainer(new osg::Group);
    EXPECT_EQ(pipeline.getAuxiliaryContainer(), auxiliary);
    EXPECT_EQ(pipeline.getName(), "RenderPipelineForward");
    EXPECT_EQ(pipeline.getSettingsWidget(), nullptr);
}

class CountingHandler : public EventHandler
{
public:
    CountingHandler(EventSystem& system, std::uint32_t mask)
        : EventHandler(&system, "Counting", mask)
    {}
    bool handleEvent(Event&) override
    {
        ++seen;
        return false;
    }
    int seen = 0;
};

TEST(RenderPipelineForwardTest, ClaimsModelEventsWhileItLives)
{
    EventSystem events;
    auto pipeline =
        std::make_unique<RenderPipelineForward>(nullptr, &events, new osg::Group, nullptr, nullptr);
    ASSERT_EQ(events.findHandler("RenderPipelineForward"),
              static_cast<EventHandler*>(pipeline.get()));
    CountingHandler later(events, EventType::Model | EventType::InputMapperRegistry);

    ModelEvent sceneLoaded(ModelEvent::SceneLoaded);
    EXPECT_TRUE(events.dispatch(sceneLoaded));
    EXPECT_EQ(later.seen, 0);

    Event other{EventType::InputMapperRegistry};
    EXPECT_FALSE(events.dispatch(other));
    EXPECT_EQ(later.seen, 1);

    pipeline.reset();
    EXPECT_EQ(events.findHandler("RenderPipelineForward"), nullptr);
    EXPECT_FALSE(events.dispatch(sceneLoaded));
    EXPECT_EQ(later.seen, 2);
}

} // namespace
