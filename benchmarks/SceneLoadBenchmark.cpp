// Loads a generated mesh of a million triangles (binary STL and .osgb) three ways and prints the
// times: a plain in-process osgDB read with the reader plug-in's options, the reader plug-in
// (helper process included), and MODCMD::LoadScene on a model, with the undo of that load.
//   SceneLoadBenchmark [TRIANGLES] [RUNS]
// Run it from a build without sanitizers; it expects the plug-ins and the helper built.
#include "ApplicationBase/KernelAPI.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/IReader.h"
#include "QtOSGPluginBase/ModelCommands/LoadScene.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "ReaderFormats.h"
#include "VertexBufferVisitor.h"

#include <QCoreApplication>
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

// The best of several runs: the others measure the machine's other work.
double best(int runs, const std::function<void()>& work)
{
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i)
        fastest = std::min(fastest, seconds(work));
    return fastest;
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
    double plain = 0;
    double plugin = 0;
    double loadScene = 0;
    double undo = 0;
};

Figures measure(const std::string& path, const std::string& extension, NodeReader& reader,
                const std::shared_ptr<OSGModel>& model, int runs)
{
    Figures figures;
    bool ok = true;
    figures.plain = best(runs, [&] { ok = ok && plainRead(path, extension); });
    figures.plugin = best(runs, [&] { ok = ok && reader.read(path, nullptr); });
    figures.loadScene = 1e30;
    figures.undo = 1e30;
    for (int i = 0; i < runs; ++i) {
        const std::size_t before = model->getScene()->getNumChildren();
        figures.loadScene =
            std::min(figures.loadScene, seconds([&] {
                         model->executeCommand(std::make_unique<MODCMD::LoadScene>(path, false));
                     }));
        ok = ok && model->getScene()->getNumChildren() == before + 1;
        figures.undo = std::min(figures.undo, seconds([&] { model->getUndoStack()->undo(); }));
        ok = ok && model->getScene()->getNumChildren() == before;
    }
    if (!ok)
        std::printf("  (a load failed: see the log above)\n");
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int triangles = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QString build = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();

    QTemporaryDir work;
    QTemporaryDir plugins;
    if (!QFile::link(build + "/Plugins/SceneReader.so", plugins.filePath("SceneReader.so"))) {
        std::printf("cannot link %s/Plugins/SceneReader.so\n", qPrintable(build));
        return 1;
    }
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

    KernelAPI kernel((build + "/bin").toStdString(), work.path().toStdString(),
                     plugins.path().toStdString(), true);
    const auto readers = kernel.getPluginFactory()->getInstances<NodeReader>();
    if (readers.empty()) {
        std::printf("the reader plug-in did not load\n");
        return 1;
    }
    auto model = std::make_shared<OSGModel>(kernel.getPluginFactory(), kernel.getEventSystem(),
                                            "benchmark", Uuid{});

    std::printf("%-6s %9s %9s %9s %9s %13s %15s\n", "format", "plain s", "plug-in s", "Load s",
                "undo ms", "plug-in/plain", "Load/plug-in");
    for (const auto& [path, extension] :
         {std::pair{stl, std::string("stl")}, std::pair{osgb, std::string("osgb")}}) {
        const Figures f = measure(path, extension, *readers.front(), model, runs);
        std::printf("%-6s %9.3f %9.3f %9.3f %9.3f %13.2f %15.2f\n", extension.c_str(), f.plain,
                    f.plugin, f.loadScene, f.undo * 1000, f.plugin / f.plain,
                    f.loadScene / f.plugin);
    }
    std::printf("targets: plug-in/plain <= 2.00, Load/plug-in <= 1.10, undo < 1 ms\n");
    return 0;
}
