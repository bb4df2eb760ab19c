#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ForwardStage.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OSGZELCoreFieldContainers/TestingStage.h"
#include "OffscreenRenderer.h"

#include <gtest/gtest.h>

namespace {

constexpr int Middle = OffscreenRenderer::Size / 2;
constexpr int Corner = 4;
constexpr int FarCorner = OffscreenRenderer::Size - 5;

class StageRenderingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!renderer.isValid())
            FAIL() << "No graphics context: rendering tests need an X display (xvfb-run).";
    }

    OffscreenRenderer renderer;
    osg::ref_ptr<osg::Node> redBox = makeBox(osg::Vec3(), 2.0f, osg::Vec4(1, 0, 0, 1));
};

TEST_F(StageRenderingTest, NestedForwardStageClearsWithItsBackgroundAndDrawsItsSubtree)
{
    osg::ref_ptr<OSG::Background> background = new OSG::Background(osg::Vec4(0, 0, 1, 1));
    osg::ref_ptr<OSG::ForwardStage> stage = new OSG::ForwardStage;
    stage->setBackground(background.get());
    stage->addChild(redBox.get());

    osg::ref_ptr<osg::Image> frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Blue));
    EXPECT_TRUE(pixelIs(*frame, FarCorner, FarCorner, Blue));
    keepImageOnFailure(*frame, "NestedForwardStageBlue");

    // The background is read every frame.
    background->setClearColor(osg::Vec4(0, 1, 0, 1));
    frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Corner, FarCorner, Green));
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    keepImageOnFailure(*frame, "NestedForwardStageGreen");

    // Without a background the frame keeps what the camera above cleared it to.
    stage->setBackground(nullptr);
    frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Black));
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    keepImageOnFailure(*frame, "NestedForwardStageNoBackground");
}

TEST_F(StageRenderingTest, TestingStageDrawsItsSubtreeOverTheFrame)
{
    osg::ref_ptr<OSG::TestingStage> stage = new OSG::TestingStage;
    stage->addChild(redBox.get());

    osg::ref_ptr<osg::Image> frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Black));
    keepImageOnFailure(*frame, "TestingStage");
}

TEST_F(StageRenderingTest, StageWithRenderTargetDrawsIntoItsAttachmentNotTheWindow)
{
    constexpr int TargetSize = 64;
    osg::ref_ptr<osg::Image> color = new osg::Image;
    color->allocateImage(TargetSize, TargetSize, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    osg::ref_ptr<OSG::RenderTarget> target = new OSG::RenderTarget(TargetSize, TargetSize);
    target->attach(osg::Camera::COLOR_BUFFER, color.get());

    osg::ref_ptr<OSG::ForwardStage> stage = new OSG::ForwardStage;
    stage->setBackground(new OSG::Background(osg::Vec4(0, 0, 1, 1)));
    stage->addChild(redBox.get());
    stage->setRenderTarget(target.get());
    EXPECT_EQ(stage->getRenderTarget(), target.get());

    osg::ref_ptr<osg::Image> frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*color, TargetSize / 2, TargetSize / 2, Red));
    EXPECT_TRUE(pixelIs(*color, 1, 1, Blue));
    EXPECT_TRUE(pixelIs(*color, TargetSize - 2, TargetSize - 2, Blue));
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Black));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Black));
    keepImageOnFailure(*color, "RenderTargetAttachment");
    keepImageOnFailure(*frame, "RenderTargetWindow");

    // Without a target the stage draws into the window again.
    stage->setRenderTarget(nullptr);
    frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Blue));
    keepImageOnFailure(*frame, "RenderTargetRemoved");
}

} // namespace
