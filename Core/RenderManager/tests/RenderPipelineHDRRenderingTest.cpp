#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/HDRWithPostprocessingStage.h"
#include "OffscreenRenderer.h"
#include "RenderManager/RenderManager.h"
#include "RenderManager/RenderPipelineHDR.h"

#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/LightSource>
#include <osg/ShapeDrawable>

namespace {

osg::ref_ptr<osg::Geode> litBlock(const osg::Vec3& center, const osg::Vec3& size)
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(new osg::ShapeDrawable(new osg::Box(center, size.x(), size.y(), size.z())));
    return geode;
}

int brightness(const osg::Image& image, const osg::Vec3& world, osgViewer::Viewer& viewer)
{
    const osg::Camera& camera = *viewer.getCamera();
    const osg::Vec3 window = world * camera.getViewMatrix() * camera.getProjectionMatrix() *
                             camera.getViewport()->computeWindowMatrix();
    const unsigned char* pixel = image.data(int(window.x()), int(window.y()));
    return pixel[0] + pixel[1] + pixel[2];
}

TEST(RenderPipelineHDRRenderingTest, DirectionalLightCastsTheShadowOfABoxWhileOcclusionIsOn)
{
    OffscreenRenderer renderer;
    ASSERT_TRUE(renderer.isValid()) << "rendering tests need an X display (xvfb-run)";
    renderer.viewer().getCamera()->setViewMatrixAsLookAt(osg::Vec3(0, -8, 7), osg::Vec3(),
                                                         osg::Vec3(0, 0, 1));
    // A floor and a box floating above it, lit from the upper right.
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(litBlock(osg::Vec3(0, 0, -0.05f), osg::Vec3(6, 6, 0.1f)));
    scene->addChild(litBlock(osg::Vec3(0, 0, 1.0f), osg::Vec3(1, 1, 1)));
    osg::ref_ptr<osg::LightSource> sun = new osg::LightSource;
    sun->getLight()->setPosition(osg::Vec4(1, 0, 1, 0));
    sun->getLight()->setAmbient(osg::Vec4(0.1f, 0.1f, 0.1f, 1));
    sun->getLight()->setDiffuse(osg::Vec4(0.9f, 0.9f, 0.9f, 1));
    scene->addChild(sun);
    scene->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::ON);
    scene->getOrCreateStateSet()->setMode(GL_LIGHT0, osg::StateAttribute::ON);

    RenderManager manager;
    std::unique_ptr<IRenderPipeline> created = manager.createRenderPipeline(
        "HDR", nullptr, scene, nullptr, new OSG::Background(osg::Vec4(0, 0, 0, 1)));
    auto& pipeline = dynamic_cast<RenderPipelineHDR&>(*created);
    pipeline.getStage()->setShaderPath(ZELVISTA_SHADER_DIR);

    // The box's shadow falls to the left of the point below it; the right side is lit.
    const osg::Vec3 shadowed(-1.0f, 0, 0);
    const osg::Vec3 beside(1.8f, 0, 0);
    osg::ref_ptr<osg::Image> plain = renderer.render(pipeline.getRootNode().get());
    EXPECT_TRUE(pipeline.getStage()->isPostProcessing());
    EXPECT_NEAR(brightness(*plain, shadowed, renderer.viewer()),
                brightness(*plain, beside, renderer.viewer()), 6);
    EXPECT_GT(brightness(*plain, beside, renderer.viewer()), 150);
    keepImageOnFailure(*plain, "HDRShadowOff");

    pipeline.setAmbientOcclusion(1);
    osg::ref_ptr<osg::Image> shadow = renderer.render(pipeline.getRootNode().get());
    const int dark = brightness(*shadow, shadowed, renderer.viewer());
    const int lit = brightness(*shadow, beside, renderer.viewer());
    EXPECT_LT(dark, lit / 2);
    EXPECT_NEAR(lit, brightness(*plain, beside, renderer.viewer()), 6);
    // The scene's light is left as the scene had it.
    EXPECT_EQ(sun->getLight()->getAmbient(), osg::Vec4(0.1f, 0.1f, 0.1f, 1));
    keepImageOnFailure(*shadow, "HDRShadowOn");

    pipeline.setAmbientOcclusion(0);
    osg::ref_ptr<osg::Image> off = renderer.render(pipeline.getRootNode().get());
    EXPECT_NEAR(brightness(*off, shadowed, renderer.viewer()),
                brightness(*off, beside, renderer.viewer()), 6);
    keepImageOnFailure(*off, "HDRShadowOffAgain");
}

} // namespace
