// Draws a generated mesh of a million triangles, lit by a directional light, at 800x600 with the
// camera moving a little every frame, through Zelvista's viewer plug-in (model, pipeline, stage,
// visit) in the FORWARD mode and in the HDR mode with ambient occlusion (and with it the shadows)
// off and on, and through a plain osgViewer::Viewer with the same geometry (OpenSceneGraph's
// defaults, that is display lists, then vertex buffer objects), and prints the median frame
// times and their ratios. The time to the first frame, side by side with other viewers, is
// benchmarks/compare.py's.
//   xvfb-run -a -s "-screen 0 1280x1024x24" RenderBenchmark [FRAMES]
// Run it from a build without sanitizers (scripts/benchmark-render.sh does all of it).
#include "ApplicationBase/KernelAPI.h"
#include "BenchmarkSupport.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "PluginSystem/PluginFactory.h"
#include "PluginSystem/PluginInstanceInfo.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/OSGModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/LightSource>
#include <osgGA/CameraManipulator>
#include <osgViewer/Viewer>
#include <vector>

namespace {

using namespace BenchmarkSupport;
using Clock = std::chrono::steady_clock;
constexpr int Width = 800;
constexpr int Height = 600;
constexpr int WarmUpFrames = 3;
// 500 x 1000 quads of two triangles.
constexpr int Columns = 501;
constexpr int Rows = 1001;

osg::Vec3 surfacePoint(int column, int row)
{
    const float x = 4.0f * column / (Columns - 1) - 2.0f;
    const float y = 4.0f * row / (Rows - 1) - 2.0f;
    return osg::Vec3(x, y, 0.1f * std::sin(6.0f * x) * std::cos(5.0f * y));
}

osg::Vec3 surfaceNormal(const osg::Vec3& p)
{
    const float dx = 0.6f * std::cos(6.0f * p.x()) * std::cos(5.0f * p.y());
    const float dy = -0.5f * std::sin(6.0f * p.x()) * std::sin(5.0f * p.y());
    osg::Vec3 normal(-dx, -dy, 1.0f);
    normal.normalize();
    return normal;
}

// Indexed triangles with OpenSceneGraph's default drawing settings (display lists).
osg::ref_ptr<osg::Geode> makeMesh()
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array;
    for (int row = 0; row < Rows; ++row)
        for (int column = 0; column < Columns; ++column) {
            vertices->push_back(surfacePoint(column, row));
            normals->push_back(surfaceNormal(vertices->back()));
        }
    osg::ref_ptr<osg::DrawElementsUInt> triangles = gridTriangles(Columns, Rows);
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices);
    geometry->setNormalArray(normals, osg::Array::BIND_PER_VERTEX);
    geometry->addPrimitiveSet(triangles);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry);
    return geode;
}

int triangleCount(osg::Geode& mesh)
{
    return static_cast<int>(mesh.getDrawable(0)->asGeometry()->getPrimitiveSet(0)->getNumIndices() /
                            3);
}

osg::ref_ptr<osg::Geode> copyOf(const osg::Geode& mesh, bool vertexBuffers)
{
    osg::ref_ptr<osg::Geode> copy = osg::clone(&mesh, osg::CopyOp::DEEP_COPY_ALL);
    if (vertexBuffers) {
        copy->getDrawable(0)->setUseDisplayList(false);
        copy->getDrawable(0)->setUseVertexBufferObjects(true);
    }
    return copy;
}

// Median milliseconds of drawFrame(frame) after the warm-up frames (compiling, uploading).
double medianFrameTime(int frames, const std::function<void(int)>& drawFrame)
{
    std::vector<double> times;
    for (int frame = 0; frame < WarmUpFrames + frames; ++frame) {
        const auto start = Clock::now();
        drawFrame(frame);
        if (frame >= WarmUpFrames)
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return median(times);
}

// The sun of the benchmark scene: low enough for the mesh's waves to shadow each other.
osg::ref_ptr<osg::LightSource> makeSun()
{
    osg::ref_ptr<osg::LightSource> sun = new osg::LightSource;
    sun->getLight()->setPosition(osg::Vec4(1.0f, -0.5f, 0.6f, 0.0f));
    return sun;
}

double plainViewerFrameTime(osg::Node* scene, int frames)
{
    osg::ref_ptr<osg::GraphicsContext::Traits> traits = new osg::GraphicsContext::Traits;
    traits->width = Width;
    traits->height = Height;
    traits->windowDecoration = false;
    traits->doubleBuffer = true;
    traits->depth = 24;
    traits->readDISPLAY();
    traits->setUndefinedScreenDetailsToDefaultScreen();
    osg::ref_ptr<osg::GraphicsContext> context =
        osg::GraphicsContext::createGraphicsContext(traits.get());
    if (!context) {
        std::fprintf(stderr, "no graphics context: run under an X server (xvfb-run)\n");
        return -1.0;
    }
    osg::ref_ptr<osgViewer::Viewer> viewer = new osgViewer::Viewer;
    osg::Camera* camera = viewer->getCamera();
    camera->setGraphicsContext(context.get());
    camera->setViewport(0, 0, Width, Height);
    camera->setProjectionMatrixAsPerspective(30.0, double(Width) / Height, 1.0, 10000.0);
    camera->setDrawBuffer(GL_BACK);
    camera->setReadBuffer(GL_BACK);
    camera->setFinalDrawCallback(new FinishDrawing);
    viewer->setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
    osg::ref_ptr<osg::Group> lit = new osg::Group;
    lit->addChild(scene);
    lit->addChild(makeSun());
    viewer->setSceneData(lit.get());
    viewer->realize();
    return medianFrameTime(frames, [&](int frame) {
        camera->setViewMatrix(cameraAt(frame));
        viewer->frame();
    });
}

// Chooses the render mode in the viewer's dock, and ambient occlusion in the pipeline's dialog,
// as a user does.
bool chooseMode(IOSGViewer& viewer, const QString& mode, bool ambientOcclusion)
{
    auto* interaction = dynamic_cast<IQtInteraction*>(&viewer);
    if (!interaction || interaction->getDockWidgets().empty())
        return false;
    QWidget* dock = interaction->getDockWidgets().front();
    auto* modes = dock->findChild<QListWidget*>("renderModes");
    const auto items = modes ? modes->findItems(mode, Qt::MatchExactly) : QList<QListWidgetItem*>();
    if (items.isEmpty())
        return false;
    modes->setCurrentItem(items.front());
    if (!ambientOcclusion)
        return true;
    auto* occlusion = dock->findChild<QCheckBox*>("ambientOcclusion");
    if (!occlusion)
        return false;
    occlusion->setChecked(true);
    return true;
}

struct ViewerSetup
{
    QString mode;
    bool ambientOcclusion;
};

// Median frame times of one viewer per setup on one model. The viewers take turns frame by
// frame, so that the load of a shared machine falls on all of them alike.
std::vector<double> zelvistaFrameTimes(osg::Node* scene, int frames,
                                       const std::vector<ViewerSetup>& setups)
{
    QTemporaryDir data;
    const std::string build = ZELVISTA_BUILD_ROOT;
    KernelAPI kernel(build + "/bin", data.path().toStdString(), build + "/Plugins", false);
    PluginFactory& factory = *kernel.getPluginFactory();
    auto model = std::make_shared<OSGModel>(&factory, kernel.getEventSystem(), "benchmark", Uuid{});
    model->getScene()->addChild(scene);
    model->getScene()->addChild(makeSun());

    std::vector<IOSGViewer*> viewers;
    std::vector<osg::ref_ptr<FinishDrawing>> finished;
    for (const ViewerSetup& setup : setups) {
        auto* viewer = dynamic_cast<IOSGViewer*>(factory.createInstance(
            uuidFromString(WellKnownPlugins::defaultViewer),
            PluginInstanceInfo("Benchmark" + std::to_string(viewers.size()))));
        if (!viewer || !viewer->getWidget()) {
            std::fprintf(stderr, "no viewer plug-in in %s/Plugins\n", build.c_str());
            return {};
        }
        viewer->setModel(model);
        viewer->onSceneLoaded();
        if (!chooseMode(*viewer, setup.mode, setup.ambientOcclusion)) {
            std::fprintf(stderr, "the viewer offers no mode %s\n",
                         setup.mode.toLocal8Bit().constData());
            return {};
        }
        viewer->getWidget()->setFixedSize(Width, Height);
        viewer->getWidget()->show();
        finished.push_back(new FinishDrawing);
        viewer->getScene()->getCamera()->setFinalDrawCallback(finished.back());
        viewers.push_back(viewer);
    }
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 300)
        QApplication::processEvents();

    std::vector<std::vector<double>> times(viewers.size());
    for (int frame = 0; frame < WarmUpFrames + frames; ++frame) {
        for (std::size_t i = 0; i < viewers.size(); ++i) {
            osgViewer::View& view = *viewers[i]->getScene();
            if (osgGA::CameraManipulator* manipulator = view.getCameraManipulator())
                manipulator->setByInverseMatrix(cameraAt(frame));
            view.getCamera()->setViewMatrix(cameraAt(frame));
            // The way the program draws: ask for a frame, let the event loop draw it.
            const auto start = Clock::now();
            const int drawn = finished[i]->frames;
            viewers[i]->getWidget()->update();
            QElapsedTimer waiting;
            waiting.start();
            while (finished[i]->frames == drawn && waiting.elapsed() < 10000)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            if (frame >= WarmUpFrames)
                times[i].push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    }

    std::vector<double> medians;
    for (std::size_t i = 0; i < viewers.size(); ++i) {
        viewers[i]->getWidget()->hide();
        viewers[i]->setModel(nullptr);
        if (finished[i]->frames < WarmUpFrames + frames) {
            std::fprintf(stderr, "viewer %zu drew %d of %d frames\n", i, finished[i]->frames,
                         WarmUpFrames + frames);
            return {};
        }
        medians.push_back(median(times[i]));
    }
    return medians;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    osg::ref_ptr<osg::Geode> mesh = makeMesh();
    std::printf("Median frame time, %d triangles, %dx%d, %d frames after %d warm-up frames\n",
                triangleCount(*mesh), Width, Height, frames, WarmUpFrames);
    std::fflush(stdout);
    const std::vector<double> zelvistaTimes = zelvistaFrameTimes(
        copyOf(*mesh, false), frames, {{"FORWARD", false}, {"HDR", false}, {"HDR", true}});
    if (zelvistaTimes.size() != 3)
        return 1;
    const double zelvista = zelvistaTimes[0];
    const double hdr = zelvistaTimes[1];
    const double hdrOcclusion = zelvistaTimes[2];
    const double vertexBuffers = plainViewerFrameTime(copyOf(*mesh, true), frames);
    const double defaults = plainViewerFrameTime(copyOf(*mesh, false), frames);
    if (vertexBuffers < 0 || defaults < 0)
        return 1;
    std::printf("  Zelvista viewer (forward pipeline)               %8.1f ms\n", zelvista);
    std::printf("  Zelvista viewer (HDR, occlusion and shadows off) %8.1f ms\n", hdr);
    std::printf("  Zelvista viewer (HDR, occlusion and shadows on)  %8.1f ms\n", hdrOcclusion);
    std::printf("  HDR off / forward: %.2f (target <= 1.50), HDR on / forward: %.2f\n",
                hdr / zelvista, hdrOcclusion / zelvista);
    std::printf("  osgViewer, vertex buffer objects                 %8.1f ms\n", vertexBuffers);
    std::printf("  osgViewer, OpenSceneGraph defaults (display lists) %6.1f ms\n", defaults);
    std::printf("  Zelvista / osgViewer with vertex buffer objects: %.2f (target <= 1.15)\n",
                zelvista / vertexBuffers);
    std::printf("  Zelvista / osgViewer with defaults:              %.2f\n", zelvista / defaults);
    return 0;
}
