#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventHandler.h"
#include "FrameDrawer.h"
#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ColorMappingStage.h"
#include "OffscreenRenderer.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/IReader.h"
#include "QtOSGPluginBase/IWriter.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "RenderManager/RenderManager.h"
#include "RenderManager/RenderPipelineColorMapping.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <osg/Geometry>
#include <osg/Group>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>
#include <osg/Texture2D>

namespace {

template <class Interface> Interface* lasPlugin(KernelAPI& kernel)
{
    for (Interface* candidate : kernel.getPluginFactory()->getInstances<Interface>())
        if (candidate->isExtensionSupported("las"))
            return candidate;
    return nullptr;
}

class LasExportTest : public ::testing::Test
{
protected:
    LasExportTest()
    {
        EXPECT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/Plugins/LasPointCloud.so",
                                plugins.filePath("LasPointCloud.so")));
        kernel = std::make_unique<KernelAPI>(std::string(ZELVISTA_BUILD_ROOT) + "/bin",
                                             data.path().toStdString(),
                                             plugins.path().toStdString(), true);
    }

    QTemporaryDir plugins;
    QTemporaryDir data;
    QTemporaryDir exports;
    std::unique_ptr<KernelAPI> kernel;
    OffscreenRenderer renderer;
};

TEST_F(LasExportTest, RenderedFrameBecomesOnePointPerCoveredPixelAndReadsBack)
{
    ASSERT_TRUE(renderer.isValid()) << "rendering tests need an X display (xvfb-run)";
    NodeReader* reader = lasPlugin<NodeReader>(*kernel);
    ASSERT_TRUE(reader && lasPlugin<NodeWriter>(*kernel));

    // A sphere in front of a box, in colours of their own.
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    auto* sphere = new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(0.5f, -1.0f, 0.3f), 0.8f));
    sphere->setColor(osg::Vec4(0.9f, 0.2f, 0.1f, 1.0f));
    auto* box = new osg::ShapeDrawable(new osg::Box(osg::Vec3(-0.5f, 0.5f, 0.0f), 2.0f));
    box->setColor(osg::Vec4(0.1f, 0.3f, 0.8f, 1.0f));
    scene->addChild(sphere);
    scene->addChild(box);
    std::unique_ptr<IRenderPipeline> made = kernel->getRenderManager()->createRenderPipeline(
        "COLOR_MAPPING", kernel.get(), scene, nullptr, new OSG::Background(osg::Vec4(0, 0, 0, 1)));
    auto* pipeline = dynamic_cast<RenderPipelineColorMapping*>(made.get());
    ASSERT_TRUE(pipeline);
    FrameDrawer drawer(kernel->getEventSystem(), renderer, pipeline->getRootNode().get());

    const QByteArray savedTemp = qgetenv("TEMP");
    qputenv("TEMP", exports.path().toUtf8());
    LogCapture log;
    pipeline->setExportLAS();
    const std::string path = exports.filePath("exportViewport.las").toStdString();

    // The frame the export read: every covered pixel is one point, in the same order.
    const osg::Image& positions = *pipeline->getStage()->getPositionsGBufferTexture()->getImage();
    const osg::Image& colours = *pipeline->getStage()->getSceneTexture()->getImage();
    std::vector<osg::Vec3> expectedPositions;
    std::vector<osg::Vec3> expectedColours;
    const auto* p = reinterpret_cast<const float*>(positions.data());
    const auto* c = reinterpret_cast<const float*>(colours.data());
    for (int i = 0; i < positions.s() * positions.t(); ++i)
        if (p[4 * i + 3] != 1.0f) {
            expectedPositions.emplace_back(p[4 * i], p[4 * i + 1], p[4 * i + 2]);
            expectedColours.emplace_back(c[3 * i], c[3 * i + 1], c[3 * i + 2]);
        }
    EXPECT_GT(expectedPositions.size(), 5000u);
    EXPECT_LT(expectedPositions.size(), std::size_t(positions.s() * positions.t()));

    osg::ref_ptr<osg::Node> read = reader->read(path, nullptr);
    ASSERT_TRUE(read);
    auto* placed = dynamic_cast<osg::MatrixTransform*>(read.get());
    ASSERT_TRUE(placed && placed->getNumChildren() == 1);
    auto* points = placed->getChild(0)->asGeometry();
    ASSERT_TRUE(points);
    EXPECT_EQ(points->getPrimitiveSet(0)->getMode(), GLenum(GL_POINTS));
    const auto& vertices = static_cast<const osg::Vec3Array&>(*points->getVertexArray());
    const auto& readColours = static_cast<const osg::Vec3Array&>(*points->getColorArray());
    ASSERT_EQ(vertices.size(), expectedPositions.size());
    ASSERT_EQ(readColours.size(), expectedColours.size());
    const osg::Vec3d origin = placed->getMatrix().getTrans();
    int farOff = 0;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const osg::Vec3d world = osg::Vec3d(vertices[i]) + origin;
        // Within the file's 0.1 mm scale and the float the frame holds.
        farOff += (world - osg::Vec3d(expectedPositions[i])).length() > 0.0002;
        for (int channel = 0; channel < 3; ++channel)
            farOff += std::fabs(readColours[i][channel] - expectedColours[i][channel]) > 1e-4f;
    }
    EXPECT_EQ(farOff, 0);

    // A file that lies is refused with an error record.
    QFile lie(exports.filePath("lie.las"));
    ASSERT_TRUE(lie.open(QIODevice::WriteOnly));
    QFile original(QString::fromStdString(path));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray header = original.read(227);
    header[107] = char(0xff); // more points than the file holds
    lie.write(header);
    lie.close();
    FileResult result;
    EXPECT_FALSE(reader->readFile(lie.fileName().toStdString(), nullptr, result));
    EXPECT_EQ(result.status, FileResult::Failed);
    EXPECT_TRUE(log.contains("LasReader::read: Cannot read " + lie.fileName().toStdString()));

    if (savedTemp.isNull())
        qunsetenv("TEMP");
    else
        qputenv("TEMP", savedTemp);
}

} // namespace
