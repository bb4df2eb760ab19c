#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventSystem.h"
#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "RenderManager/RenderManager.h"
#include "RenderManager/RenderPipelineForward.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <osg/Group>

namespace {

TEST(KernelRenderManagerTest, KernelPipelinesTakePartInTheKernelsEventSystem)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    LogCapture log;
    KernelAPI kernel(root + "/bin", root + "/data", root + "/Plugins/", false);
    ASSERT_NE(kernel.getRenderManager(), nullptr);

    std::unique_ptr<IRenderPipeline> pipeline = kernel.getRenderManager()->createRenderPipeline(
        "FORWARD", &kernel, new osg::Group, nullptr, nullptr);
    EXPECT_TRUE(
        log.contains("Created new render pipeline for mode FORWARD with traversal mask 1\n"));
    EXPECT_EQ(kernel.getEventSystem()->findHandler("RenderPipelineForward"),
              dynamic_cast<EventHandler*>(pipeline.get()));
    pipeline.reset();
    EXPECT_EQ(kernel.getEventSystem()->findHandler("RenderPipelineForward"), nullptr);
    EXPECT_EQ(log.count("Traversal mask 1 deregistered.\n"), 1);
}

} // namespace
