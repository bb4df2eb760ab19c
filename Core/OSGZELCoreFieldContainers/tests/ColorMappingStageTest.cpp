#include "OSGZELCoreFieldContainers/ColorMappingStage.h"

#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OffscreenRenderer.h"

#include <gtest/gtest.h>
#include <osg/Geometry>
#include <osg/Texture2D>
#include <set>

namespace {

constexpr int Middle = OffscreenRenderer::Size / 2;
// The ramp's bottom and top rows in the frame, a little inside its edges.
constexpr int Bottom = 38;
constexpr int Top = OffscreenRenderer::Size - Bottom;

// A 4 by 4 quad facing the camera, z from -2 to 2, green, with texture coordinates 0 only.
osg::ref_ptr<osg::Geometry> makeRamp()
{
    osg::ref_ptr<osg::Geometry> ramp = osg::createTexturedQuadGeometry(
        osg::Vec3(-2.0f, 0.0f, -2.0f), osg::Vec3(4.0f, 0.0f, 0.0f), osg::Vec3(0.0f, 0.0f, 4.0f));
    osg::ref_ptr<osg::Vec4Array> colors = new osg::Vec4Array(osg::Array::BIND_OVERALL);
    colors->push_back(osg::Vec4(0.0f, 1.0f, 0.0f, 1.0f));
    ramp->setColorArray(colors.get());
    ramp->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return ramp;
}

// 256 entries from red over black to blue: the ends are easy to tell apart.
osg::ref_ptr<osg::Texture2D> makeMap()
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(256, 1, 1, GL_RGBA, GL_FLOAT);
    auto* entries = reinterpret_cast<osg::Vec4f*>(image->data());
    for (int i = 0; i < 256; ++i) {
        const float t = i / 255.0f;
        entries[i] = osg::Vec4f(1.0f - t, 0.0f, t, 1.0f);
    }
    entries[0] = osg::Vec4f(1.0f, 0.0f, 0.0f, 1.0f);
    entries[255] = osg::Vec4f(0.0f, 0.0f, 1.0f, 1.0f);
    osg::ref_ptr<osg::Texture2D> texture = new osg::Texture2D(image.get());
    texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::NEAREST);
    texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::NEAREST);
    texture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    texture->setResizeNonPowerOfTwoHint(false);
    return texture;
}

const float* pixel(const osg::Image& image, int x, int y)
{
    return reinterpret_cast<const float*>(image.data(x, y));
}

class ColorMappingStageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!renderer.isValid())
            FAIL() << "No graphics context: rendering tests need an X display (xvfb-run).";
        stage->setShaderPath(ZELVISTA_SHADER_DIR);
        ASSERT_TRUE(stage->hasShaders());
        stage->setColorMapTexture(makeMap().get());
        stage->setBackground(new OSG::Background(osg::Vec4(1, 1, 1, 1)));
        stage->setColorMappedAttribute("Position");
        stage->setColorMappedComponent("z");
        stage->setColorMappingMin(-2.0f);
        stage->setInvColorMappingSpan(0.25f);
        stage->addChild(makeRamp());
    }

    OffscreenRenderer renderer;
    osg::ref_ptr<OSG::ColorMappingStage> stage = new OSG::ColorMappingStage;
};

TEST_F(ColorMappingStageTest, RampRunsFromTheMapsFirstColourToItsLast)
{
    osg::ref_ptr<osg::Image> frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Bottom, Red, 24));
    EXPECT_TRUE(pixelIs(*frame, Middle, Top, Blue, 24));
    EXPECT_TRUE(pixelIs(*frame, 2, 2, osg::Vec4ub(255, 255, 255, 255)));
    keepImageOnFailure(*frame, "ColorMappingRamp");

    // Without the colour-mapping pass the scene colour shows; without the final pass nothing.
    stage->setDoColorMappingPass(false);
    frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Green));
    stage->setDoColorMappingPass(true);
    stage->setDoFinalRenderPass(false);
    frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, osg::Vec4ub(255, 255, 255, 255)));
    keepImageOnFailure(*frame, "ColorMappingWithoutFinalPass");
}

TEST_F(ColorMappingStageTest, BandingShowsTheBandCountAndMissingAttributesTheFirstColour)
{
    stage->setColorMappingNumBands(5);
    stage->setColorMappingBanding(true);
    osg::ref_ptr<osg::Image> frame = renderer.render(stage.get());
    std::set<std::tuple<int, int, int>> colours;
    for (int y = Bottom; y <= Top; ++y) {
        const unsigned char* p = frame->data(Middle, y);
        colours.emplace(p[0], p[1], p[2]);
    }
    EXPECT_EQ(colours.size(), 5u);
    EXPECT_TRUE(pixelIs(*frame, Middle, Bottom, Red));
    EXPECT_TRUE(pixelIs(*frame, Middle, Top, Blue));
    keepImageOnFailure(*frame, "ColorMappingBands");

    // The ramp has no fifth texture coordinates, and no value left over from the ones it has.
    stage->setColorMappingBanding(false);
    stage->setColorMappedAttribute("TexCoord5");
    frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Top, Red));
    EXPECT_TRUE(pixelIs(*frame, Middle, Bottom, Red));
    // Texture coordinates 0 do exist: t runs 0 to 1 up the ramp.
    stage->setColorMappedAttribute("TexCoord0");
    stage->setColorMappedComponent("y");
    stage->setColorMappingMin(0.0f);
    stage->setInvColorMappingSpan(1.0f);
    frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Top, Blue, 24));
    EXPECT_TRUE(pixelIs(*frame, Middle, Bottom, Red, 24));
    keepImageOnFailure(*frame, "ColorMappingTexCoords");
}

TEST_F(ColorMappingStageTest, ReadBackHoldsTheFrameInMainMemoryAtTheTargetSize)
{
    const unsigned int before = stage->getReadBackCount();
    renderer.render(stage.get());
    EXPECT_EQ(stage->getReadBackCount(), before); // off by default

    // Drawn into a target of its own the G-buffer takes the target's size.
    constexpr int Width = 64;
    constexpr int Height = 48;
    osg::ref_ptr<osg::Image> color = new osg::Image;
    color->allocateImage(Width, Height, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    osg::ref_ptr<OSG::RenderTarget> target = new OSG::RenderTarget(Width, Height);
    target->attach(osg::Camera::COLOR_BUFFER, color.get());
    stage->setRenderTarget(target.get());
    stage->setEnableReadBack(true);
    renderer.render(stage.get());
    EXPECT_EQ(stage->getReadBackCount(), before + 1);

    const osg::Image& positions = *stage->getPositionsGBufferTexture()->getImage();
    const osg::Image& values = *stage->getColorMappedAttributeGBufferTexture()->getImage();
    const osg::Image& scene = *stage->getSceneTexture()->getImage();
    for (const osg::Image* image : {&positions, &values, &scene}) {
        EXPECT_EQ(image->s(), Width);
        EXPECT_EQ(image->t(), Height);
        EXPECT_EQ(image->getDataType(), GLenum(GL_FLOAT));
    }
    ASSERT_EQ(positions.getPixelFormat(), GLenum(GL_RGBA));
    ASSERT_EQ(values.getPixelFormat(), GLenum(GL_RED));
    ASSERT_EQ(scene.getPixelFormat(), GLenum(GL_RGB));
    // No surface in the corner: exactly 1. The centre is the ramp's middle, world origin.
    EXPECT_EQ(pixel(positions, 0, 0)[3], 1.0f);
    const float* centre = pixel(positions, Width / 2, Height / 2);
    EXPECT_EQ(centre[3], 0.0f);
    EXPECT_NEAR(centre[0], 0.0f, 0.1f);
    EXPECT_NEAR(centre[1], 0.0f, 1e-3f);
    EXPECT_NEAR(centre[2], 0.0f, 0.1f);
    EXPECT_NEAR(pixel(values, Width / 2, Height / 2)[0], centre[2], 1e-4f);
    EXPECT_NEAR(pixel(scene, Width / 2, Height / 2)[1], 1.0f, 1e-6f);
    EXPECT_NEAR(pixel(scene, Width / 2, Height / 2)[0], 0.0f, 1e-6f);
    EXPECT_TRUE(pixelIs(*color, 1, 1, osg::Vec4ub(255, 255, 255, 255)));
    keepImageOnFailure(*color, "ColorMappingTarget");

    // Back in the window: the images follow the new size and still hold the frame.
    stage->setRenderTarget(nullptr);
    renderer.render(stage.get());
    EXPECT_EQ(stage->getReadBackCount(), before + 2);
    EXPECT_EQ(positions.s(), OffscreenRenderer::Size);
    EXPECT_EQ(pixel(positions, Middle, Middle)[3], 0.0f);
    EXPECT_NEAR(pixel(positions, Middle, Top)[2], 1.89f, 0.05f);
    EXPECT_EQ(pixel(positions, 1, Middle)[3], 1.0f);
}

TEST_F(ColorMappingStageTest, MissingShadersAreReportedAndOnlyTheBackgroundIsDrawn)
{
    LogCapture log;
    stage->setShaderPath("/nonexistent/shaders");
    EXPECT_FALSE(stage->hasShaders());
    EXPECT_TRUE(log.contains("Cannot open the shader /nonexistent/shaders/"));
    osg::ref_ptr<osg::Image> frame = renderer.render(stage.get());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, osg::Vec4ub(255, 255, 255, 255)));
}

} // namespace
