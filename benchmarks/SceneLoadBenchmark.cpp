// Loads a generated mesh of a million triangles (binary STL and .osgb) three ways and prints the
// medians (with min and max) of the times: a plain in-process osgDB read with the reader
// plug-in's options, the reader plug-in (helper process included), and MODCMD::LoadScene on a
// model shown by the viewer plug-in with the selection plug-in registered, as in the program,
// so that the work done on the load event counts; then the undo of that load.
//   QT_QPA_PLATFORM=offscreen SceneLoadBenchmark [TRIANGLES] [RUNS]
// Run it from a build without sanitizers; it expects the shipped plug-ins and the helper built.
#include "ApplicationBase/KernelAPI.h"
#include "PluginSystem/PluginFactory.h"
#include "PluginSystem/PluginInstanceInfo.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IReader.h"
#include "QtOSGPluginBase/ISelectionPlugin.h"
#include "QtOSGPluginBase/ModelCommands/LoadScene.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "ReaderFormats.h"
#include "VertexBufferVisitor.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Spread
{
    double median = 0, low = 0, high = 0;
};

Spread spreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return {n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0, values.front(),
            values.back()};
}

Spread timed(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(seconds(work));
    return spreadOf(times);
}

// A wavy grid of triangles as binary STL: 80-byte header, count, 50 bytes per triangle.
void writeBinaryStl(const std::string& path, int triangles)
{
    const int columns = static_cast<int>(std::sqrt(triangles / 2.0)) + 1;
    std::ofstream out(path, std::ios::binary);
    char header[80] = "zelvista benchmark mesh";
    out.write(header, sizeof header);
    const std::uint32_t count = static_cast<std::uint32_t>(triangles);
    out.write(reinterpret_cast<const char*>(&count), 4);
    auto height = [](float x, float y) {
        return 0.2f * std::sin(x * 0.1f) * std::cos(y * 0.1f);
    };
    for (int t = 0; t < triangles; ++t) {
        const int cell = t / 2;
        const float x = static_cast<float>(cell % columns);
        const float y = static_cast<float>(cell / columns);
        const bool upper = t % 2;
        const float corners[3][2] = {
            {x, y}, {upper ? x : x + 1, upper ? y + 1 : y}, {x + 1, y + 1}};
        float record[12] = {0, 0, 1};
        for (int v = 0; v < 3; ++v) {
            record[3 + 3 * v] = corners[v][0];
            record[4 + 3 * v] = corners[v][1];
            record[5 + 3 * v] = height(corners[v][0], corners[v][1]);
        }
        out.write(reinterpret_cast<const char*>(record), sizeof record);
        const std::uint16_t attributes = 0;
        out.write(reinterpret_cast<const char*>(&attributes), 2);
    }
}

osg::ref_ptr<osg::Node> plainRead(const std::string& path, const std::string& extension)
{
    osg::ref_ptr<osgDB::Options> options =
        new osgDB::Options(ReaderFormats::optionString(extension));
    osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(path, options.get());
    if (node) {
        VertexBufferVisitor useVertexBuffers;
        node->accept(useVertexBuffers);
    }
    return node;
}

struct Figures
{
    Spread plain, plugin, loadScene, undo;
};

Figures measure(const std::string& path, const std::string& extension, NodeReader& reader,
                const std::shared_ptr<OSGModel>& model, int runs)
{
    Figures figures;
    bool ok = true;
    figures.plain = timed(runs, [&] { ok = ok && plainRead(path, extension); });
    figures.plugin = timed(runs, [&] { ok = ok && reader.read(path, nullptr); });
    std::vector<double> loads, undos;
    for (int i = 0; i < runs; ++i) {
        const std::size_t before = model->getScene()->getNumChildren();
        loads.push_back(seconds(
            [&] { model->executeCommand(std::make_unique<MODCMD::LoadScene>(path, false)); }));
        ok = ok && model->getScene()->getNumChildren() == before + 1;
        undos.push_back(seconds([&] { model->getUndoStack()->undo(); }));
        ok = ok && model->getScene()->getNumChildren() == before;
        // What the plug-ins queued for later (picking trees) gets its turn between loads.
        QApplication::processEvents();
    }
    figures.loadScene = spreadOf(loads);
    figures.undo = spreadOf(undos);
    if (!ok)
        std::printf("  (a load failed: see the log above)\n");
    return figures;
}

void print(const char* what, const Spread& spread, double scale, const char* unit)
{
    std::printf("  %-22s %8.3f %s (%.3f-%.3f)\n", what, spread.median * scale, unit,
                spread.low * scale, spread.high * scale);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int triangles = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QString build = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();

    QTemporaryDir work;
    const std::string stl = work.filePath("mesh.stl").toStdString();
    const std::string osgb = work.filePath("mesh.osgb").toStdString();
    std::printf("generating %d triangles...\n", triangles);
    writeBinaryStl(stl, triangles);
    osg::ref_ptr<osg::Node> mesh = plainRead(stl, "stl");
    if (!mesh || !osgDB::writeNodeFile(*mesh, osgb)) {
        std::printf("cannot make the test files\n");
        return 1;
    }
    mesh = nullptr;

    // The shipped plug-ins, as the program has them.
    KernelAPI kernel((build + "/bin").toStdString(), work.path().toStdString(),
                     (build + "/Plugins").toStdString(), true);
    PluginFactory& factory = *kernel.getPluginFactory();
    const auto readers = factory.getInstances<NodeReader>();
    if (readers.empty()) {
        std::printf("the reader plug-in did not load\n");
        return 1;
    }
    auto model = std::make_shared<OSGModel>(&factory, kernel.getEventSystem(), "benchmark", Uuid{});
    auto* viewer = dynamic_cast<IOSGViewer*>(factory.createInstance(
        uuidFromString("223fb851-8523-11b1-560f-61c2463f6d29"), PluginInstanceInfo("Benchmark")));
    auto* selection = factory.getOrCreateInstance<ISelectionPlugin>(
        uuidFromString("915dbdfb-f01a-48a8-9ccb-d34db2557e39"));
    if (!viewer || !selection) {
        std::printf("the viewer or selection plug-in did not load\n");
        return 1;
    }
    viewer->setModel(model);
    selection->registerViewer(viewer->getScene(), viewer, nullptr,
                              kernel.getConfigLocation("Selection", ""));

    std::printf("medians of %d runs (min-max)\n", runs);
    for (const auto& [path, extension] :
         {std::pair{stl, std::string("stl")}, std::pair{osgb, std::string("osgb")}}) {
        const Figures f = measure(path, extension, *readers.front(), model, runs);
        std::printf("%s\n", extension.c_str());
        print("plain osgDB", f.plain, 1.0, "s");
        print("reader plug-in", f.plugin, 1.0, "s");
        print("LoadScene", f.loadScene, 1.0, "s");
        print("undo", f.undo, 1000.0, "ms");
        std::printf("  plug-in/plain %.2f, Load/plug-in %.2f\n", f.plugin.median / f.plain.median,
                    f.loadScene.median / f.plugin.median);
    }
    selection->reset();
    viewer->setModel(nullptr);
    return 0;
}
