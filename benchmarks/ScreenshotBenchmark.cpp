// Times tiled screenshots of the sample scene through the viewer plug-in's view (OSGU::
// takeScreenshot in the widget's context, as "Save Screenshot..." takes them): 1024x1024 (one
// tile), 8192x8192 and 14832x14832, next to the median time of one ordinary 1024x1024 frame of
// the same view, so that the cost per tile shows. For each shot it reports the peak resident
// memory above what the process held before it: the image itself (4 bytes a pixel, 880 MB for
// the largest) should be nearly all of it.
//   xvfb-run -a -s "-screen 0 1280x1024x24" ScreenshotBenchmark [FRAMES] [PNG_DIR]
// With PNG_DIR the largest shot is also written there as PNG, and the writing timed.
// Run it from a build without sanitizers.
#include "ApplicationBase/KernelAPI.h"
#include "BenchmarkSupport.h"
#include "OSGUtility/ImageFileWriter.h"
#include "OSGUtility/Screenshot.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "PluginSystem/PluginFactory.h"
#include "PluginSystem/PluginInstanceInfo.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/OSGModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <osgDB/ReadFile>
#include <osgViewer/Viewer>
#include <string>
#include <vector>

namespace {

using namespace BenchmarkSupport;
using Clock = std::chrono::steady_clock;
constexpr int FrameSize = 1024;

// Kilobytes of a /proc/self/status field (VmRSS, VmHWM).
long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size() + 1));
    return -1;
}

// From now on VmHWM is the peak since this call.
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string pngFolder = argc > 2 ? argv[2] : "";
    const std::string build = ZELVISTA_BUILD_ROOT;

    QTemporaryDir data;
    KernelAPI kernel(build + "/bin", data.path().toStdString(), build + "/Plugins", false);
    PluginFactory& factory = *kernel.getPluginFactory();
    auto* viewer = dynamic_cast<IOSGViewer*>(factory.createInstance(
        uuidFromString(WellKnownPlugins::defaultViewer), PluginInstanceInfo("Benchmark")));
    osg::ref_ptr<osg::Node> sample = osgDB::readRefNodeFile(build + "/Media/samples/sample.osgt");
    if (!viewer || !sample) {
        std::fprintf(stderr, "no viewer plug-in or sample scene in %s\n", build.c_str());
        return 1;
    }
    auto model = std::make_shared<OSGModel>(&factory, kernel.getEventSystem(), "benchmark", Uuid{});
    model->getScene()->addChild(sample);
    viewer->setModel(model);
    viewer->onSceneLoaded();

    auto* widget = qobject_cast<QOpenGLWidget*>(viewer->getWidget());
    widget->setFixedSize(FrameSize, FrameSize);
    widget->show();
    osgViewer::View& view = *viewer->getScene();
    osg::ref_ptr<FinishDrawing> finish = new FinishDrawing;
    view.getCamera()->setFinalDrawCallback(finish);
    QElapsedTimer waiting;
    waiting.start();
    while ((finish->frames < 1 || waiting.elapsed() < 300) && waiting.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);

    std::vector<double> frameTimes;
    for (int frame = 0; frame < frames + 3; ++frame) {
        const int drawn = finish->frames;
        const auto start = Clock::now();
        widget->update();
        while (finish->frames == drawn)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (frame >= 3)
            frameTimes.push_back(seconds(start) * 1000.0);
    }
    std::printf("one frame %dx%d (median of %d): %.1f ms\n", FrameSize, FrameSize, frames,
                median(frameTimes));

    auto* window =
        dynamic_cast<osgViewer::GraphicsWindowEmbedded*>(view.getCamera()->getGraphicsContext());
    auto* renderAction = dynamic_cast<osgViewer::ViewerBase*>(&view);
    for (const unsigned int side : {1024u, 8192u, 14832u}) {
        widget->makeCurrent();
        window->setDefaultFboId(widget->defaultFramebufferObject());
        const long before = statusKilobytes("VmRSS:");
        resetPeakMemory();
        osg::ref_ptr<osg::Image> image;
        const auto start = Clock::now();
        const bool taken = OSGU::takeScreenshot(window, renderAction, side, side, image, nullptr,
                                                view.getSceneData());
        const double taking = seconds(start);
        const long peak = statusKilobytes("VmHWM:");
        widget->doneCurrent();
        const unsigned int tiles = ((side + 1023) / 1024) * ((side + 1023) / 1024);
        std::printf("screenshot %ux%u: %s %.2f s, %u tiles, %.1f ms a tile; peak memory %.0f MiB "
                    "above the %.0f MiB before (image %.0f MiB)\n",
                    side, side, taken ? "taken in" : "FAILED after", taking, tiles,
                    taking * 1000.0 / tiles, (peak - before) / 1024.0, before / 1024.0,
                    4.0 * side * side / (1024.0 * 1024.0));
        if (taken && side == 14832u && !pngFolder.empty()) {
            std::string reason;
            const auto writing = Clock::now();
            const bool written =
                OSGU::writeImageFile(*image, pngFolder + "/screenshot-14832.png", reason);
            std::printf("  written as PNG in %.1f s%s%s\n", seconds(writing),
                        written ? "" : ": FAILED, ", reason.c_str());
        }
    }
    widget->hide();
    viewer->setModel(nullptr);
    return 0;
}
