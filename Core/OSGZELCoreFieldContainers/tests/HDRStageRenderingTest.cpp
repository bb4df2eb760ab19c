#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/HDRWithPostprocessingStage.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OffscreenRenderer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/ShapeDrawable>

namespace {

constexpr int Middle = OffscreenRenderer::Size / 2;
constexpr int Corner = 4;

// What the tone curve makes of a linear value at an exposure and gamma, as an 8-bit level.
int toneMapped(float value, float exposure, float gamma = 1.0f)
{
    return int(std::lround(255.0 * std::pow(1.0 - std::exp(-exposure * value), 1.0 / gamma)));
}

int red(const osg::Image& image, int x, int y)
{
    if (!image.data() || x < 0 || y < 0 || x >= image.s() || y >= image.t()) {
        ADD_FAILURE() << "no pixel (" << x << ", " << y << ") in the frame";
        return -1;
    }
    return image.data(x, y)[0];
}

// An unlit block; colours above 1 are light brighter than white.
osg::ref_ptr<osg::Node> block(const osg::Vec3& center, const osg::Vec3& size, float value)
{
    osg::ref_ptr<osg::ShapeDrawable> shape =
        new osg::ShapeDrawable(new osg::Box(center, size.x(), size.y(), size.z()));
    shape->setColor(osg::Vec4(value, value, value, 1.0f));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(shape.get());
    geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return geode;
}

// Where a world point lands in the frame, counted from the bottom left.
osg::Vec2 windowPoint(osgViewer::Viewer& viewer, const osg::Vec3& world)
{
    const osg::Camera& camera = *viewer.getCamera();
    const osg::Vec3 window = world * camera.getViewMatrix() * camera.getProjectionMatrix() *
                             camera.getViewport()->computeWindowMatrix();
    return osg::Vec2(window.x(), window.y());
}

class HDRStageRenderingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!renderer.isValid())
            FAIL() << "No graphics context: rendering tests need an X display (xvfb-run).";
        stage->setShaderPath(ZELVISTA_SHADER_DIR);
        stage->setBackground(new OSG::Background(osg::Vec4(0, 0, 0, 1)));
    }

    osg::ref_ptr<osg::Image> render() { return renderer.render(stage.get()); }

    OffscreenRenderer renderer;
    osg::ref_ptr<OSG::HDRWithPostprocessingStage> stage = new OSG::HDRWithPostprocessingStage;
};

TEST_F(HDRStageRenderingTest, ExposureAndGammaFollowTheToneCurve)
{
    // A mid-grey patch on the left, one far brighter than white on the right, black around.
    stage->addChild(block(osg::Vec3(-1.5f, 0, 0), osg::Vec3(1.2f, 1.2f, 1.2f), 0.5f));
    stage->addChild(block(osg::Vec3(1.5f, 0, 0), osg::Vec3(1.2f, 1.2f, 1.2f), 50.0f));
    const int grey = int(windowPoint(renderer.viewer(), osg::Vec3(-1.5f, -0.6f, 0)).x());
    const int white = int(windowPoint(renderer.viewer(), osg::Vec3(1.5f, -0.6f, 0)).x());

    osg::ref_ptr<osg::Image> frame = render();
    ASSERT_TRUE(stage->isPostProcessing());
    const int atExposure1 = red(*frame, grey, Middle);
    EXPECT_NEAR(atExposure1, toneMapped(0.5f, 1.0f), 3);
    EXPECT_NEAR(red(*frame, white, Middle), 255, 1);
    EXPECT_NEAR(red(*frame, Corner, Corner), 0, 1);
    keepImageOnFailure(*frame, "HDRExposure1");

    // Each setter shows on the next frame.
    stage->setExposure(2.0f);
    frame = render();
    const int atExposure2 = red(*frame, grey, Middle);
    EXPECT_NEAR(atExposure2, toneMapped(0.5f, 2.0f), 3);
    // 1 - e^-2x over 1 - e^-x is 1 + e^-x.
    EXPECT_NEAR(double(atExposure2) / atExposure1, 1.0 + std::exp(-0.5), 0.05);
    keepImageOnFailure(*frame, "HDRExposure2");

    stage->setExposure(1.0f);
    stage->setGamma(2.2f);
    frame = render();
    EXPECT_NEAR(red(*frame, grey, Middle), toneMapped(0.5f, 1.0f, 2.2f), 3);
    EXPECT_GT(red(*frame, grey, Middle), atExposure1 + 40);
    EXPECT_NEAR(red(*frame, white, Middle), 255, 1);
    EXPECT_NEAR(red(*frame, Corner, Corner), 0, 1);
    keepImageOnFailure(*frame, "HDRGamma");

    // Absolute colour shows the rendered values as they are.
    stage->setAbsColor(true);
    frame = render();
    EXPECT_NEAR(red(*frame, grey, Middle), 128, 2);
    keepImageOnFailure(*frame, "HDRAbsColor");
}

TEST_F(HDRStageRenderingTest, AmbientOcclusionDarkensAnInsideCornerOnly)
{
    // A floor meeting a wall, seen from the front and above.
    renderer.viewer().getCamera()->setViewMatrixAsLookAt(osg::Vec3(0, -7, 5), osg::Vec3(0, 1, 0),
                                                         osg::Vec3(0, 0, 1));
    stage->addChild(block(osg::Vec3(0, 0, -0.05f), osg::Vec3(4, 4, 0.1f), 0.8f));
    stage->addChild(block(osg::Vec3(0, 2.05f, 2), osg::Vec3(4, 0.1f, 4), 0.8f));
    stage->setAmbientOcclusionRadius(0.1f);
    const osg::Vec2 corner = windowPoint(renderer.viewer(), osg::Vec3(0, 1.93f, 0));
    const osg::Vec2 wallNearCorner = windowPoint(renderer.viewer(), osg::Vec3(0.5f, 2, 0.07f));
    const osg::Vec2 openFloor = windowPoint(renderer.viewer(), osg::Vec3(0, -1, 0));
    const osg::Vec2 openWall = windowPoint(renderer.viewer(), osg::Vec3(0, 2, 1.5f));

    osg::ref_ptr<osg::Image> plain = render();
    stage->setAmbientOcclusion(true);
    osg::ref_ptr<osg::Image> occluded = render();
    keepImageOnFailure(*plain, "HDRWithoutOcclusion");

    auto at = [](const osg::Image& image, const osg::Vec2& point) {
        return red(image, int(point.x()), int(point.y()));
    };
    EXPECT_NEAR(at(*plain, corner), toneMapped(0.8f, 1.0f), 3);
    EXPECT_LT(at(*occluded, corner), at(*plain, corner) - 15);
    EXPECT_LT(at(*occluded, wallNearCorner), at(*plain, wallNearCorner) - 15);
    EXPECT_NEAR(at(*occluded, openFloor), at(*plain, openFloor), 3);
    EXPECT_NEAR(at(*occluded, openWall), at(*plain, openWall), 3);
    keepImageOnFailure(*occluded, "HDRWithOcclusion");
}

TEST_F(HDRStageRenderingTest, BloomSpreadsABrightPatchFurtherTheMoreItIsBlurred)
{
    stage->addChild(block(osg::Vec3(), osg::Vec3(0.4f, 0.4f, 0.4f), 40.0f));
    const int edge = int(windowPoint(renderer.viewer(), osg::Vec3(0.2f, -0.2f, 0)).x());
    const int near = edge + 5;
    const int far = edge + 30;

    osg::ref_ptr<osg::Image> frame = render();
    EXPECT_NEAR(red(*frame, near, Middle), 0, 1);
    EXPECT_NEAR(red(*frame, Middle, Middle), 255, 1);
    keepImageOnFailure(*frame, "HDRNoBloom");

    stage->setEffectAmount(1.0f);
    stage->setBlurAmount(1.0f);
    frame = render();
    const int narrowNear = red(*frame, near, Middle);
    const int narrowFar = red(*frame, far, Middle);
    EXPECT_GT(narrowNear, 20);
    keepImageOnFailure(*frame, "HDRNarrowBloom");

    stage->setBlurAmount(5.0f);
    frame = render();
    const int wideFar = red(*frame, far, Middle);
    EXPECT_GT(wideFar, narrowFar + 15);
    EXPECT_GT(red(*frame, near, Middle), 20);
    // The light spreads the same way in every direction.
    EXPECT_NEAR(red(*frame, far, Middle), red(*frame, Middle, 2 * Middle - 1 - far), 4);
    keepImageOnFailure(*frame, "HDRWideBloom");

    // Blended in instead of added, the bloom gives its surroundings less (near the patch both
    // are white).
    stage->setCombineBlend(true);
    frame = render();
    EXPECT_GT(red(*frame, far, Middle), 10);
    EXPECT_LT(red(*frame, far, Middle), wideFar - 10);
    keepImageOnFailure(*frame, "HDRBlendedBloom");
}

TEST_F(HDRStageRenderingTest, EveryTargetFollowsTheSizeOfTheOneDrawnInto)
{
    stage->setBackground(new OSG::Background(osg::Vec4(0, 0, 1, 1)));
    stage->addChild(makeBox(osg::Vec3(), 2.0f, osg::Vec4(1, 0, 0, 1)));
    const osg::Vec4ub toneRed(toneMapped(1.0f, 1.0f), 0, 0, 255);
    const osg::Vec4ub toneBlue(0, 0, toneMapped(1.0f, 1.0f), 255);
    for (const auto& [width, height] :
         {std::pair{64, 64}, std::pair{150, 150}, std::pair{40, 40}}) {
        osg::ref_ptr<osg::Image> color = new osg::Image;
        color->allocateImage(width, height, 1, GL_RGBA, GL_UNSIGNED_BYTE);
        osg::ref_ptr<OSG::RenderTarget> target = new OSG::RenderTarget(width, height);
        target->attach(osg::Camera::COLOR_BUFFER, color.get());
        stage->setRenderTarget(target.get());
        render();
        const std::string name = "HDRTarget" + std::to_string(width);
        EXPECT_TRUE(pixelIs(*color, width / 2, height / 2, toneRed, 3)) << name;
        EXPECT_TRUE(pixelIs(*color, 1, 1, toneBlue, 3)) << name;
        EXPECT_TRUE(pixelIs(*color, width - 2, height - 2, toneBlue, 3)) << name;
        keepImageOnFailure(*color, name);
    }
}

// Copies the shipped shaders into a folder of the test's own, one of them replaced.
void copyShaders(const QString& into, const QString& replaced, const QByteArray& text)
{
    for (const QString& name : QDir(ZELVISTA_SHADER_DIR).entryList(QDir::Files)) {
        if (name == replaced) {
            QFile file(into + "/" + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        } else {
            ASSERT_TRUE(QFile::copy(QString(ZELVISTA_SHADER_DIR) + name, into + "/" + name));
        }
    }
}

TEST_F(HDRStageRenderingTest, BrokenOrMissingShaderIsReportedAndTheSceneStillDrawn)
{
    stage->setBackground(new OSG::Background(osg::Vec4(0, 0, 1, 1)));
    stage->addChild(makeBox(osg::Vec3(), 2.0f, osg::Vec4(1, 0, 0, 1)));
    QTemporaryDir broken;
    copyShaders(broken.path(), "HDRCombine.frag", "#version 130\nvoid main() { not glsl }\n");

    LogCapture log;
    stage->setShaderPath(broken.path().toStdString());
    osg::ref_ptr<osg::Image> frame = render();
    EXPECT_FALSE(stage->isPostProcessing());
    const int report = log.indexOf("HDRCombine.frag does not compile");
    ASSERT_GE(report, 0);
    const std::string record = log.records()[report];
    EXPECT_NE(record.find(broken.path().toStdString()), std::string::npos) << record;
    EXPECT_NE(record.find("ERROR"), std::string::npos) << record;
    // The compiler's own words follow.
    EXPECT_GT(record.size(), record.find("Compiler log:") + 20) << record;
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Blue));
    keepImageOnFailure(*frame, "HDRBrokenShader");
    // Reported once, not on every frame.
    render();
    EXPECT_EQ(log.count("does not compile"), 1);

    log.clear();
    QTemporaryDir empty;
    stage->setShaderPath(empty.path().toStdString());
    EXPECT_TRUE(log.contains("Cannot open the shader file " + empty.path().toStdString() +
                             "/HDRFullScreen.vert"));
    frame = render();
    EXPECT_FALSE(stage->isPostProcessing());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, Red));
    EXPECT_TRUE(pixelIs(*frame, Corner, Corner, Blue));
    keepImageOnFailure(*frame, "HDRMissingShader");

    // Good shaders again: post-processed again.
    stage->setShaderPath(ZELVISTA_SHADER_DIR);
    frame = render();
    EXPECT_TRUE(stage->isPostProcessing());
    EXPECT_TRUE(pixelIs(*frame, Middle, Middle, osg::Vec4ub(toneMapped(1, 1), 0, 0, 255), 3));
}

} // namespace
