#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventSystem.h"
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
    KernelAPI kernel(root + "/bin", root + "/data", root + "/Plugins/", false);
    ASSERT_NE(kernel.getRenderManager(), nullptr);

    std::unique_ptr<IRenderPipeline> pipeline = kernel.getRenderManager()->createRenderPipeline(
        "FORWARD", &kernel, new osg::Group, nullptr, nullptr);
    EXPECT_EQ(kernel.getEventSystem()->findHandler("RenderPipelineForward"),
              dynamic_cast<EventHandler*>(pipeline.get()));
    pipeline.reset();
    EXPECT_EQ(kernel.getEventSystem()->findHandler("RenderPipelineForward"), nullptr);
}

} // namespace
