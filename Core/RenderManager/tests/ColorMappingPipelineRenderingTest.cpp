#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventHandler.h"
#include "FrameDrawer.h"
#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ColorMappingStage.h"
#include "OffscreenRenderer.h"
#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "RenderManager/IWebServerPlugin.h"
#include "RenderManager/RenderManager.h"
#include "RenderManager/RenderParameters.h"
#include "RenderManager/RenderPipelineColorMapping.h"

#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <osg/Geometry>
#include <osg/Group>
#include <osg/Texture2D>
#include <osgDB/ReadFile>
#include <set>

namespace {

constexpr int Middle = OffscreenRenderer::Size / 2;
constexpr int Bottom = 38;
constexpr int Top = OffscreenRenderer::Size - Bottom;

// Records the frames it is sent, as the web server plug-in would pass them on.
class RecordingWebServer : public PluginSDK::Plugin<RecordingWebServer>, public IWebServerPlugin
{
public:
    using Plugin::Plugin;
    static PluginDescriptor& descriptor();

    void send(const std::string& frame) override { frames.push_back(frame); }
    void setStreamReceiver(QObject* object) override { receiver = object; }

    static inline std::vector<std::string> frames;
    static inline QObject* receiver = nullptr;
};

ZEL_PLUGIN_DESCRIPTOR(RecordingWebServer,
                      PluginSDK::describe<RecordingWebServer>("RecordingWebServer",
                                                              IWebServerPlugin::TypeUuid, 100)
                          .autoCreate(false))

// A 4 by 4 quad facing the camera, z from -2 to 2, green.
osg::ref_ptr<osg::Group> makeRampScene()
{
    osg::ref_ptr<osg::Geometry> ramp = osg::createTexturedQuadGeometry(
        osg::Vec3(-2.0f, 0.0f, -2.0f), osg::Vec3(4.0f, 0.0f, 0.0f), osg::Vec3(0.0f, 0.0f, 4.0f));
    osg::ref_ptr<osg::Vec4Array> colors = new osg::Vec4Array(osg::Array::BIND_OVERALL);
    colors->push_back(osg::Vec4(0.0f, 1.0f, 0.0f, 1.0f));
    ramp->setColorArray(colors.get());
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(ramp.get());
    return scene;
}

class ColorMappingPipelineRenderingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!renderer.isValid())
            FAIL() << "No graphics context: rendering tests need an X display (xvfb-run).";
        kernel.getPluginRegistry().push_back(&RecordingWebServer::descriptor());
        RecordingWebServer::frames.clear();
        RecordingWebServer::receiver = nullptr;
        std::unique_ptr<IRenderPipeline> made = kernel.getRenderManager()->createRenderPipeline(
            "COLOR_MAPPING", &kernel, scene, nullptr, new OSG::Background(osg::Vec4(1, 1, 1, 1)));
        pipeline.reset(dynamic_cast<RenderPipelineColorMapping*>(made.release()));
        ASSERT_TRUE(pipeline);
        ASSERT_TRUE(pipeline->getStage()->hasShaders());
        // The ramp's height, through map 12: blue at the bottom, red at the top.
        pipeline->selectColorMappedAttribute(0);
        pipeline->selectColorMappedComponent(2);
        pipeline->applyRenderParameters(RenderParameters(-2.0f, 2.0f, false, 12u, 0u));
        drawer.scene = pipeline->getRootNode().get();
    }

    osg::ref_ptr<osg::Image> render() { return renderer.render(pipeline->getRootNode().get()); }

    QTemporaryDir plugins;
    QTemporaryDir data;
    KernelAPI kernel{std::string(ZELVISTA_BUILD_ROOT) + "/bin", data.path().toStdString(),
                     plugins.path().toStdString(), false};
    OffscreenRenderer renderer;
    FrameDrawer drawer{kernel.getEventSystem(), renderer};
    osg::ref_ptr<osg::Group> scene = makeRampScene();
    std::unique_ptr<RenderPipelineColorMapping> pipeline;
};

TEST_F(ColorMappingPipelineRenderingTest, RampShowsTheMapsEndsItsBandsAndOtherMaps)
{
    osg::ref_ptr<osg::Image> frame = render();
    EXPECT_TRUE(pixelIs(*frame, Middle, Bottom, Blue, 40));
    EXPECT_TRUE(pixelIs(*frame, Middle, Top, Red, 40));
    EXPECT_TRUE(pixelIs(*frame, 2, 2, osg::Vec4ub(255, 255, 255, 255)));
    keepImageOnFailure(*frame, "ColorMappingPipelineRamp");

    // A record of another kind changes nothing.
    RenderParameters foreign(0.0f, 0.5f, true, 3u, 4u);
    foreign.kind = 255;
    pipeline->applyRenderParameters(foreign);
    osg::ref_ptr<osg::Image> again = render();
    ASSERT_EQ(again->getTotalSizeInBytes(), frame->getTotalSizeInBytes());
    EXPECT_EQ(std::memcmp(again->data(), frame->data(), frame->getTotalSizeInBytes()), 0);

    pipeline->applyRenderParameters(RenderParameters(-2.0f, 2.0f, true, 6u));
    frame = render();
    std::set<std::tuple<int, int, int>> colours;
    for (int y = Bottom; y <= Top; ++y) {
        const unsigned char* p = frame->data(Middle, y);
        colours.emplace(p[0], p[1], p[2]);
    }
    EXPECT_EQ(colours.size(), 6u);
    keepImageOnFailure(*frame, "ColorMappingPipelineBands");

    pipeline->applyRenderParameters(RenderParameters(-2.0f, 2.0f, false, 16u, 0u));
    frame = render();
    EXPECT_TRUE(pixelIs(*frame, Middle, Bottom, osg::Vec4ub(255, 255, 255, 255), 12));
    EXPECT_TRUE(pixelIs(*frame, Middle, Top, Black, 12));
    keepImageOnFailure(*frame, "ColorMappingPipelineWhiteToBlack");
}

TEST_F(ColorMappingPipelineRenderingTest, StreamTimerSendsARequestedFrameOnceWithItsCoveredPixels)
{
    pipeline->startStreamTimer();
    EXPECT_EQ(RecordingWebServer::receiver, pipeline.get());
    // A tick without a request sends nothing.
    pipeline->setExportStream();
    EXPECT_TRUE(RecordingWebServer::frames.empty());

    pipeline->setStreamRequested(true);
    QTRY_COMPARE_WITH_TIMEOUT(RecordingWebServer::frames.size(), std::size_t(1), 10000);
    EXPECT_FALSE(pipeline->isStreamRequested());
    EXPECT_FALSE(pipeline->getStage()->getEnableReadBack());
    pipeline->setExportStream();
    EXPECT_EQ(RecordingWebServer::frames.size(), 1u);

    const osg::Image& positions = *pipeline->getStage()->getPositionsGBufferTexture()->getImage();
    std::size_t covered = 0;
    const auto* p = reinterpret_cast<const float*>(positions.data());
    for (int i = 0; i < positions.s() * positions.t(); ++i)
        covered += p[4 * i + 3] != 1.0f;
    const std::string& frame = RecordingWebServer::frames.front();
    EXPECT_EQ(frame.size() % 24, 0u);
    EXPECT_EQ(frame.size(), covered * 24);
    EXPECT_GT(covered, 1000u);
    EXPECT_LT(covered, std::size_t(positions.s() * positions.t()));
}

TEST_F(ColorMappingPipelineRenderingTest, TiffExportWritesTheThreeFloatImagesOfTheFrame)
{
    QTemporaryDir exports;
    const QByteArray savedTemp = qgetenv("TEMP");
    qputenv("TEMP", exports.path().toUtf8());
    LogCapture log;
    pipeline->setExportTIF();

    const std::pair<const char*, GLenum> files[] = {{"positionsTex.tif", GL_RGBA},
                                                    {"colorMappedAttribTex.tif", GL_LUMINANCE},
                                                    {"sceneTex.tif", GL_RGB}};
    for (const auto& [name, format] : files) {
        const std::string path = exports.filePath(name).toStdString();
        osg::ref_ptr<osg::Image> image = osgDB::readImageFile(path);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->s(), OffscreenRenderer::Size) << name;
        EXPECT_EQ(image->t(), OffscreenRenderer::Size) << name;
        EXPECT_EQ(image->getDataType(), GLenum(GL_FLOAT)) << name;
        EXPECT_EQ(image->getPixelFormat(), format) << name;
    }
    osg::ref_ptr<osg::Image> positions =
        osgDB::readImageFile(exports.filePath("positionsTex.tif").toStdString());
    ASSERT_TRUE(positions);
    const auto* corner = reinterpret_cast<const float*>(positions->data(0, 0));
    const auto* centre = reinterpret_cast<const float*>(positions->data(Middle, Middle));
    EXPECT_EQ(corner[3], 1.0f);
    EXPECT_EQ(centre[3], 0.0f);
    EXPECT_NEAR(centre[2], 0.0f, 0.05f);

    // A folder that cannot take the files: each failure is an error, none is silent.
    qputenv("TEMP", "/nonexistent/folder");
    pipeline->setExportTIF();
    EXPECT_EQ(log.count("setExportTIF: Cannot write /nonexistent/folder/"), 3);
    if (savedTemp.isNull())
        qunsetenv("TEMP");
    else
        qputenv("TEMP", savedTemp);
}

} // namespace
