#include "OSGUtility/Screenshot.h"

#include "LogCapture.h"
#include "OSGUtility/ScreenshotProgress.h"
#include "OffscreenRenderer.h"

#include <climits>
#include <gtest/gtest.h>
#include <osg/Geometry>
#include <osg/MatrixTransform>

namespace {

// Counts the calls and cancels the shot at the given one.
struct ProgressRecorder : OSGU::ScreenshotProgress
{
    bool progress(unsigned int percent) override
    {
        calls.push_back(percent);
        return calls.size() < cancelAt;
    }

    std::vector<unsigned int> calls;
    std::size_t cancelAt = SIZE_MAX;
};

osg::ref_ptr<osg::Geometry> quad(float left, float bottom, float right, float top,
                                 const std::vector<osg::Vec4>& colours)
{
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    corners->push_back({left, bottom, 0});
    corners->push_back({right, bottom, 0});
    corners->push_back({right, top, 0});
    corners->push_back({left, top, 0});
    geometry->setVertexArray(corners);
    osg::ref_ptr<osg::Vec4Array> colourArray = new osg::Vec4Array(colours.begin(), colours.end());
    geometry->setColorArray(colourArray, colours.size() == 1 ? osg::Array::BIND_OVERALL
                                                             : osg::Array::BIND_PER_VERTEX);
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_QUADS, 0, 4));
    geometry->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return geometry;
}

// Flat shapes whose corners lie on exact binary fractions of the view, so that every tile's
// projection lands them on the same pixels as one render of the whole: colour gradients
// across the tile borders, and something different in each quarter.
osg::ref_ptr<osg::Group> knownScene()
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(
        quad(-6.5f, -7.25f, 5.75f, 6.5f, {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}}));
    osg::ref_ptr<osg::MatrixTransform> front =
        new osg::MatrixTransform(osg::Matrixd::translate(0, 0, 1));
    front->addChild(quad(-2.0f, -1.5f, 3.25f, 0.75f, {{1, 1, 0, 1}}));
    front->addChild(
        quad(-7.5f, 4.0f, -4.5f, 7.5f, {{0, 1, 1, 1}, {1, 0, 1, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}}));
    front->addChild(quad(4.5f, -7.75f, 7.75f, -3.0f, {{0.5f, 0.25f, 0.75f, 1}}));
    scene->addChild(front);
    return scene;
}

// Orthographic, 16 units tall, looking down z without any turn.
osg::Matrixd projectionOfAspect(double aspect)
{
    return osg::Matrixd::ortho(-8.0 * aspect, 8.0 * aspect, -8.0, 8.0, 1.0, 100.0);
}

class ScreenshotTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_renderer.isValid()) << "no X display";
        osg::Camera* camera = m_renderer.viewer().getCamera();
        camera->setProjectionMatrix(projectionOfAspect(1.0));
        camera->setViewMatrixAsLookAt({0, 0, 10}, {0, 0, 0}, {0, 1, 0});
        camera->setClearColor(osg::Vec4(0.2f, 0.2f, 0.4f, 1.0f));
        m_scene = knownScene();
        m_renderer.render(m_scene.get());
    }

    osg::GraphicsContext* window() { return m_renderer.viewer().getCamera()->getGraphicsContext(); }
    osgViewer::Viewer* viewer() { return &m_renderer.viewer(); }

    // One render of the whole shot into a buffer of its size.
    osg::ref_ptr<osg::Image> renderOnce(int width, int height, const osg::Matrixd& projection)
    {
        osg::Camera* main = viewer()->getCamera();
        osg::ref_ptr<osg::Image> image = new osg::Image;
        image->allocateImage(width, height, 1, GL_BGRA, GL_UNSIGNED_BYTE);
        image->setInternalTextureFormat(GL_RGBA8);
        osg::ref_ptr<osg::Camera> whole = new osg::Camera;
        whole->setRenderOrder(osg::Camera::PRE_RENDER);
        whole->setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
        whole->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
        whole->setViewport(0, 0, width, height);
        whole->setClearColor(main->getClearColor());
        whole->setViewMatrix(main->getViewMatrix());
        whole->setProjectionMatrix(projection);
        whole->attach(osg::Camera::COLOR_BUFFER0, image.get());
        whole->attach(osg::Camera::PACKED_DEPTH_STENCIL_BUFFER, GL_DEPTH24_STENCIL8_EXT);
        whole->addChild(m_scene.get());
        main->setChild(0, whole.get());
        viewer()->frame();
        main->setChild(0, m_scene.get());
        return image;
    }

    // The largest difference of any channel of any pixel.
    static int largestDifference(const osg::Image& a, const osg::Image& b)
    {
        if (a.s() != b.s() || a.t() != b.t())
            return INT_MAX;
        int largest = 0;
        const std::size_t bytes = std::size_t(a.s()) * a.t() * 4;
        for (std::size_t i = 0; i < bytes; ++i)
            largest = std::max(largest, std::abs(int(a.data()[i]) - int(b.data()[i])));
        return largest;
    }

    void expectCameraAsBefore()
    {
        osg::Camera* camera = viewer()->getCamera();
        ASSERT_EQ(camera->getNumChildren(), 1u);
        EXPECT_EQ(camera->getChild(0), m_scene.get());
        EXPECT_EQ(camera->getClearMask(), GLbitfield(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT));
    }

    OffscreenRenderer m_renderer;
    osg::ref_ptr<osg::Group> m_scene;
    LogCapture m_log;
};

TEST_F(ScreenshotTest, TwoByTwoTilesMatchOneRenderOfTheWholeView)
{
    ProgressRecorder progress;
    osg::ref_ptr<osg::Image> shot;
    ASSERT_TRUE(
        OSGU::takeScreenshot(window(), viewer(), 2048, 2048, shot, &progress, m_scene.get()));
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->getPixelFormat(), GLenum(GL_BGRA));
    EXPECT_EQ(progress.calls, (std::vector<unsigned int>{0, 25, 50, 75, 100}));
    expectCameraAsBefore();

    // Blue, green, red: the yellow square in the middle, the background in a corner.
    EXPECT_TRUE(pixelIs(*shot, 1088, 960, osg::Vec4ub(0, 255, 255, 255)));
    EXPECT_TRUE(pixelIs(*shot, 2040, 2040, osg::Vec4ub(102, 51, 51, 255)));
    osg::ref_ptr<osg::Image> whole = renderOnce(2048, 2048, projectionOfAspect(1.0));
    EXPECT_LE(largestDifference(*shot, *whole), 1);
    keepImageOnFailure(*shot, "Screenshot2048");
}

TEST_F(ScreenshotTest, AWiderShotKeepsTheHeightOfTheViewAndClipsItsLastRow)
{
    ProgressRecorder progress;
    osg::ref_ptr<osg::Image> shot;
    ASSERT_TRUE(
        OSGU::takeScreenshot(window(), viewer(), 2048, 1536, shot, &progress, m_scene.get()));
    EXPECT_EQ(progress.calls, (std::vector<unsigned int>{0, 25, 50, 75, 100}));
    osg::ref_ptr<osg::Image> whole = renderOnce(2048, 1536, projectionOfAspect(2048.0 / 1536.0));
    EXPECT_LE(largestDifference(*shot, *whole), 1);
    keepImageOnFailure(*shot, "Screenshot2048x1536");

    // One tile, copied from its corner.
    progress.calls.clear();
    ASSERT_TRUE(OSGU::takeScreenshot(window(), viewer(), 100, 100, shot, &progress, nullptr));
    EXPECT_EQ(progress.calls, (std::vector<unsigned int>{0, 100}));
    EXPECT_LE(largestDifference(*shot, *renderOnce(100, 100, projectionOfAspect(1.0))), 1);
    expectCameraAsBefore();
}

TEST_F(ScreenshotTest, OversizedShotsAreReducedAndCancelledShotsRestoreTheView)
{
    ProgressRecorder progress;
    progress.cancelAt = 1;
    osg::ref_ptr<osg::Image> shot;
    EXPECT_FALSE(
        OSGU::takeScreenshot(window(), viewer(), 20000, 10000, shot, &progress, m_scene.get()));
    EXPECT_EQ(m_log.count("image resolution (20000 10000) too high, changed to (14832 7416)"), 1);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->s(), 14832);
    EXPECT_EQ(shot->t(), 7416);
    EXPECT_EQ(progress.calls, std::vector<unsigned int>{0});
    expectCameraAsBefore();

    unsigned int width = 100000, height = 3;
    ASSERT_TRUE(OSGU::screenshotSizeFor(width, height));
    EXPECT_EQ(width, OSGU::maxScreenshotSide);
    EXPECT_EQ(height, 1u) << "no side shrinks to nothing";
}

TEST_F(ScreenshotTest, RefusedShotsTouchNothing)
{
    osg::ref_ptr<osg::Image> shot;
    EXPECT_FALSE(OSGU::takeScreenshot(window(), viewer(), 0, 600, shot, nullptr, m_scene.get()));
    EXPECT_TRUE(m_log.contains("zero image resolution not allowed (0 600)"));
    EXPECT_EQ(shot, nullptr);
    EXPECT_FALSE(OSGU::takeScreenshot(nullptr, viewer(), 10, 10, shot, nullptr, m_scene.get()));
    EXPECT_FALSE(OSGU::takeScreenshot(window(), nullptr, 10, 10, shot, nullptr, m_scene.get()));
    expectCameraAsBefore();

    // A second viewport in the same window.
    osg::ref_ptr<osg::Camera> second = new osg::Camera;
    second->setGraphicsContext(window());
    second->setViewport(0, 0, 64, 64);
    osg::ref_ptr<osg::Group> other = new osg::Group;
    second->addChild(other);
    EXPECT_FALSE(OSGU::takeScreenshot(window(), viewer(), 64, 64, shot, nullptr, m_scene.get()));
    EXPECT_TRUE(m_log.contains("Viewport count is != 1, cannot handle that."));
    EXPECT_EQ(shot, nullptr);
    expectCameraAsBefore();
    ASSERT_EQ(second->getNumChildren(), 1u);
    EXPECT_EQ(second->getChild(0), other.get());
    second->setGraphicsContext(nullptr);
}

} // namespace
