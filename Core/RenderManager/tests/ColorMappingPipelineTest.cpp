#include "ColorMaps.h"
#include "FrameExport.h"
#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ColorMappingStage.h"
#include "RenderManager/EventWebServer.h"
#include "RenderManager/RenderManager.h"
#include "RenderManager/RenderParameters.h"
#include "RenderManager/RenderPipelineColorMapping.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <cstring>
#include <gtest/gtest.h>
#include <osg/Group>
#include <osg/Image>
#include <osg/Texture2D>

namespace {

std::unique_ptr<RenderPipelineColorMapping> createPipeline()
{
    return std::make_unique<RenderPipelineColorMapping>(nullptr, nullptr, new osg::Group, nullptr,
                                                        nullptr);
}

osg::Vec4f mapEntry(const RenderPipelineColorMapping& pipeline, int i)
{
    const osg::Image* image = pipeline.getColorMapTexture()->getImage();
    return reinterpret_cast<const osg::Vec4f*>(image->data())[i];
}

struct StageState
{
    explicit StageState(const OSG::ColorMappingStage& stage)
        : minimum(stage.getColorMappingMin()), inverseSpan(stage.getInvColorMappingSpan()),
          banding(stage.getColorMappingBanding()), bands(stage.getColorMappingNumBands())
    {}
    bool operator==(const StageState& other) const
    {
        return minimum == other.minimum && inverseSpan == other.inverseSpan &&
               banding == other.banding && bands == other.bands;
    }
    float minimum;
    float inverseSpan;
    bool banding;
    int bands;
};

TEST(ColorMappingPipelineTest, NewPipelineHoldsTheDefaultsAndTheDialogShowsThem)
{
    RenderManager manager;
    std::unique_ptr<IRenderPipeline> made =
        manager.createRenderPipeline("COLOR_MAPPING", nullptr, new osg::Group, nullptr, nullptr);
    auto* pipeline = dynamic_cast<RenderPipelineColorMapping*>(made.get());
    ASSERT_NE(pipeline, nullptr);
    EXPECT_EQ(pipeline->getRootNode().get(), pipeline->getStage());
    const OSG::ColorMappingStage& stage = *pipeline->getStage();
    EXPECT_EQ(stage.getColorMappingMin(), -1.0f);
    EXPECT_EQ(stage.getInvColorMappingSpan(), 0.5f);
    EXPECT_FALSE(stage.getColorMappingBanding());

    QWidget* dialog = pipeline->getSettingsWidget();
    ASSERT_NE(dialog, nullptr);
    auto* minimum = dialog->findChild<QDoubleSpinBox*>("minimumValue");
    auto* maximum = dialog->findChild<QDoubleSpinBox*>("maximumValue");
    ASSERT_TRUE(minimum && maximum);
    EXPECT_EQ(minimum->value(), -1.0);
    EXPECT_EQ(maximum->value(), 1.0);

    // Minimum 0 and maximum 1: span 1. The range is applied once; the boxes do not echo.
    minimum->setValue(0.0);
    EXPECT_EQ(stage.getColorMappingMin(), 0.0f);
    EXPECT_EQ(stage.getInvColorMappingSpan(), 1.0f);
    EXPECT_EQ(minimum->value(), 0.0);
    EXPECT_EQ(maximum->value(), 1.0);

    // The map and the bands are the user's to choose as well.
    auto* maps = dialog->findChild<QComboBox*>("colorMap");
    auto* bands = dialog->findChild<QSpinBox*>("bands");
    ASSERT_TRUE(maps && bands);
    EXPECT_EQ(maps->currentIndex(), 12);
    emit maps->activated(3);
    EXPECT_EQ(mapEntry(*pipeline, 0), osg::Vec4f(0, 0, 0, 1));
    bands->setValue(4);
    EXPECT_TRUE(stage.getColorMappingBanding());
    EXPECT_EQ(stage.getColorMappingNumBands(), 4);
    EXPECT_EQ(stage.getColorMappingMin(), 0.0f);
    pipeline->applyRenderParameters(RenderParameters(-3.0f, 3.0f, false, 16u, 0u));
    EXPECT_EQ(maps->currentIndex(), 16);
    EXPECT_EQ(bands->value(), 0);
    EXPECT_EQ(minimum->value(), -3.0);
}

TEST(ColorMappingPipelineTest, RenderParametersApplyByKindAndFlags)
{
    std::unique_ptr<RenderPipelineColorMapping> pipeline = createPipeline();
    const OSG::ColorMappingStage& stage = *pipeline->getStage();
    pipeline->applyRenderParameters(RenderParameters(2.0f, 6.0f, true, 7u));
    EXPECT_EQ(stage.getColorMappingMin(), 2.0f);
    EXPECT_EQ(stage.getInvColorMappingSpan(), 0.25f);
    EXPECT_TRUE(stage.getColorMappingBanding());
    EXPECT_EQ(stage.getColorMappingNumBands(), 7);

    // Kind 255 is not for this pipeline.
    const StageState before(stage);
    const osg::Vec4f firstEntry = mapEntry(*pipeline, 0);
    RenderParameters foreign(0.0f, 1.0f, false, 3u, 2u);
    foreign.kind = 255;
    pipeline->applyRenderParameters(foreign);
    EXPECT_TRUE(StageState(stage) == before);
    EXPECT_EQ(mapEntry(*pipeline, 0), firstEntry);

    // Banding with no count keeps the count; a map alone keeps the range.
    pipeline->applyRenderParameters(RenderParameters(2.0f, 6.0f, true, 0u));
    EXPECT_EQ(stage.getColorMappingNumBands(), 7);
    pipeline->applyRenderParameters(RenderParameters(16u));
    EXPECT_EQ(mapEntry(*pipeline, 0), osg::Vec4f(1, 1, 1, 1));
    EXPECT_EQ(mapEntry(*pipeline, 255), osg::Vec4f(0, 0, 0, 1));
    EXPECT_EQ(stage.getColorMappingMin(), 2.0f);

    // Equal ends: a finite inverse span, so the map shows one colour instead of nothing.
    pipeline->applyRenderParameters(RenderParameters(5.0f, 5.0f, false, 0u));
    EXPECT_TRUE(std::isfinite(stage.getInvColorMappingSpan()));
    EXPECT_GT(stage.getInvColorMappingSpan(), 1e5f);

    // A map that does not exist leaves the current one.
    pipeline->applyRenderParameters(RenderParameters(18u));
    EXPECT_EQ(mapEntry(*pipeline, 0), osg::Vec4f(1, 1, 1, 1));
}

TEST(ColorMappingPipelineTest, EighteenMapsOf256OpaqueEntriesWithTheToldRows)
{
    for (int map = 0; map < ColorMaps::Count; ++map) {
        const std::vector<osg::Vec4f> entries = ColorMaps::entries(map);
        ASSERT_EQ(entries.size(), 256u) << map;
        for (const osg::Vec4f& entry : entries) {
            EXPECT_EQ(entry.a(), 1.0f) << map;
            for (int c = 0; c < 3; ++c)
                EXPECT_TRUE(entry[c] >= 0.0f && entry[c] <= 1.0f) << map;
        }
        if (map != 7 && map != 11) { // the cyclic ones
            EXPECT_NE(entries.front(), entries.back()) << ColorMaps::name(map);
        }
    }
    EXPECT_TRUE(ColorMaps::entries(18).empty());
    EXPECT_TRUE(ColorMaps::entries(-1).empty());
    EXPECT_EQ(ColorMaps::entries(3).front(), osg::Vec4f(0, 0, 0, 1));
    EXPECT_EQ(ColorMaps::entries(3).back(), osg::Vec4f(1, 1, 1, 1));
    // Cyclic: red, cyan half way, red again.
    const std::vector<osg::Vec4f> cyclic = ColorMaps::entries(11);
    EXPECT_EQ(cyclic.front(), osg::Vec4f(1, 0, 0, 1));
    EXPECT_EQ(cyclic.back(), osg::Vec4f(1, 0, 0, 1));
    EXPECT_LT(cyclic[128].r(), 0.01f);
    EXPECT_GT(cyclic[128].g(), 0.99f);
    EXPECT_GT(cyclic[128].b(), 0.99f);
    // viridis from its published table.
    EXPECT_STREQ(ColorMaps::name(0), "viridis");
    EXPECT_NEAR(ColorMaps::entries(0).front().r(), 0.267004f, 1e-6f);
    EXPECT_NEAR(ColorMaps::entries(0).back().g(), 0.906157f, 1e-6f);
}

TEST(ColorMappingPipelineTest, StreamBytesAreTwentyFourAPointAndSkipPixelsWithoutSurface)
{
    osg::ref_ptr<osg::Image> positions = new osg::Image;
    positions->allocateImage(3, 2, 1, GL_RGBA, GL_FLOAT);
    osg::ref_ptr<osg::Image> scene = new osg::Image;
    scene->allocateImage(3, 2, 1, GL_RGB, GL_FLOAT);
    auto* p = reinterpret_cast<float*>(positions->data());
    auto* c = reinterpret_cast<float*>(scene->data());
    for (int i = 0; i < 6; ++i) {
        const float value = float(i);
        p[4 * i + 0] = value;
        p[4 * i + 1] = -value;
        p[4 * i + 2] = 1000.5f + value;
        // Pixels 1 and 4 have no surface; 0.999 is a surface all the same.
        p[4 * i + 3] = (i == 1 || i == 4) ? 1.0f : (i == 5 ? 0.999f : 0.0f);
        c[3 * i + 0] = value / 10.0f;
        c[3 * i + 1] = 0.5f;
        c[3 * i + 2] = 1.0f;
    }
    ASSERT_TRUE(FrameExport::isFrame(positions.get(), scene.get()));
    const std::string bytes = FrameExport::pointStream(*positions, *scene);
    ASSERT_EQ(bytes.size(), 4u * 24u);
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(bytes.data());
    auto floatAt = [raw](std::size_t offset) {
        const std::uint32_t bits =
            std::uint32_t(raw[offset]) | std::uint32_t(raw[offset + 1]) << 8 |
            std::uint32_t(raw[offset + 2]) << 16 | std::uint32_t(raw[offset + 3]) << 24;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    const int expectedPixels[] = {0, 2, 3, 5};
    for (int point = 0; point < 4; ++point) {
        const int i = expectedPixels[point];
        const std::size_t at = std::size_t(point) * 24;
        EXPECT_EQ(floatAt(at), float(i));
        EXPECT_EQ(floatAt(at + 4), -float(i));
        EXPECT_EQ(floatAt(at + 8), 1000.5f + float(i));
        EXPECT_EQ(floatAt(at + 12), float(i) / 10.0f);
        EXPECT_EQ(floatAt(at + 16), 0.5f);
        EXPECT_EQ(floatAt(at + 20), 1.0f);
    }
    EXPECT_EQ(FrameExport::pointCloud(*positions, *scene)->getVertexArray()->getNumElements(), 4u);

    // Images that are no frame export nothing.
    osg::ref_ptr<osg::Image> small = new osg::Image;
    small->allocateImage(2, 2, 1, GL_RGB, GL_FLOAT);
    EXPECT_FALSE(FrameExport::isFrame(positions.get(), small.get()));
    EXPECT_FALSE(FrameExport::isFrame(positions.get(), nullptr));
}

TEST(ColorMappingPipelineTest, ExportsWithoutTheirPlugInsOrAFrameSayWhyAndReadNothing)
{
    LogCapture log;
    std::unique_ptr<RenderPipelineColorMapping> pipeline = createPipeline();
    pipeline->setExportLAS();
    EXPECT_EQ(log.count("No Las Writer"), 1);
    pipeline->exportStream();
    pipeline->startStreamTimer();
    EXPECT_EQ(log.count("No webserver!"), 2);
    // No viewer answers the capture: nothing is written, and read-back goes off again.
    pipeline->setExportTIF();
    EXPECT_EQ(log.count("RenderPipelineColorMapping::setExportTIF: No viewer drew a frame"), 1);
    EXPECT_FALSE(pipeline->getStage()->getEnableReadBack());
}

TEST(ColorMappingPipelineTest, WebServerEventsRaiseTheFlagAndOtherEventsReachQObject)
{
    std::unique_ptr<RenderPipelineColorMapping> pipeline = createPipeline();
    QCoreApplication::postEvent(pipeline.get(), new EventWebServer(EventWebServer::FrameRequested,
                                                                   "Frame requested by test"));
    // A queued call is an event too: it must reach the slot, not be swallowed.
    QMetaObject::invokeMethod(pipeline.get(), "setUpdateGBuffer", Qt::QueuedConnection,
                              Q_ARG(int, 0));
    EXPECT_FALSE(pipeline->isStreamRequested());
    QCoreApplication::processEvents();
    EXPECT_TRUE(pipeline->isStreamRequested());
    EXPECT_FALSE(pipeline->getStage()->getUpdateGBuffer());
}

TEST(ColorMappingPipelineTest, ExportsGoToTheTemporaryFolderOfTheLogFileRule)
{
    const QByteArray saved[] = {qgetenv("TEMP"), qgetenv("TMP"), qgetenv("TMPDIR")};
    qunsetenv("TEMP");
    qunsetenv("TMP");
    qputenv("TMPDIR", "/var/tmp/c");
    EXPECT_EQ(RenderPipelineColorMapping::exportFolder(), "/var/tmp/c");
    qputenv("TMP", "/var/tmp/b");
    EXPECT_EQ(RenderPipelineColorMapping::exportFolder(), "/var/tmp/b");
    qputenv("TEMP", "/var/tmp/a");
    EXPECT_EQ(RenderPipelineColorMapping::exportFolder(), "/var/tmp/a");
    for (const char* name : {"TEMP", "TMP", "TMPDIR"})
        qunsetenv(name);
    EXPECT_EQ(RenderPipelineColorMapping::exportFolder(), "/tmp");
    const char* names[] = {"TEMP", "TMP", "TMPDIR"};
    for (int i = 0; i < 3; ++i)
        if (!saved[i].isNull())
            qputenv(names[i], saved[i]);
}

} // namespace
