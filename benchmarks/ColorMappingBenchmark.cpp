// The colour-mapping pipeline against the forward one: median frame times of the viewer plug-in
// at 800x600 on a generated mesh of a million triangles, in the same run; then, in the
// colour-mapping viewer, the time of each export of a frame (capture included) and the frames
// per second the point stream delivers to one WebSocket client.
//   xvfb-run -a -s "-screen 0 1280x1024x24" ColorMappingBenchmark [FRAMES] [STREAM_SECONDS]
// Run it from a build without sanitizers (scripts/benchmark-render.sh builds and runs it).
#include "ApplicationBase/KernelAPI.h"
#include "BenchmarkSupport.h"
#include "Logger/IMessageHandler.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "PluginSystem/PluginFactory.h"
#include "PluginSystem/PluginInstanceInfo.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/OSGModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/program_options/variables_map.hpp>
#include <boost/uuid/name_generator_sha1.hpp>
#include <boost/uuid/nil_generator.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <osg/Geode>
#include <osg/Geometry>
#include <osgGA/CameraManipulator>
#include <osgViewer/View>
#include <regex>
#include <thread>

namespace {

using namespace BenchmarkSupport;
using Clock = std::chrono::steady_clock;
constexpr int Width = 800;
constexpr int Height = 600;
constexpr int WarmUpFrames = 3;
constexpr int Columns = 501;
constexpr int Rows = 1001;

// A rippled surface of 500 x 1000 quads, with normals and texture coordinates to map.
osg::ref_ptr<osg::Geode> makeMesh()
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec2Array> coordinates = new osg::Vec2Array;
    for (int row = 0; row < Rows; ++row)
        for (int column = 0; column < Columns; ++column) {
            const float x = 4.0f * column / (Columns - 1) - 2.0f;
            const float y = 4.0f * row / (Rows - 1) - 2.0f;
            vertices->push_back(osg::Vec3(x, y, 0.1f * std::sin(6.0f * x) * std::cos(5.0f * y)));
            normals->push_back(osg::Vec3(0, 0, 1));
            coordinates->push_back(osg::Vec2(x, y));
        }
    osg::ref_ptr<osg::DrawElementsUInt> triangles = gridTriangles(Columns, Rows);
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices);
    geometry->setNormalArray(normals, osg::Array::BIND_PER_VERTEX);
    geometry->setTexCoordArray(0, coordinates, osg::Array::BIND_PER_VERTEX);
    geometry->addPrimitiveSet(triangles);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry);
    return geode;
}

double milliseconds(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One viewer plug-in in the given mode, showing the mesh in an 800x600 widget.
class ModeViewer
{
public:
    ModeViewer(KernelAPI& kernel, const std::shared_ptr<OSGModel>& model, const std::string& mode)
    {
        kernel.getVariables().insert_or_assign("viewer-render-mode",
                                               boost::program_options::variable_value(mode, false));
        IPlugin* plugin = kernel.getPluginFactory()->createInstance(
            uuidFromString(WellKnownPlugins::defaultViewer), PluginInstanceInfo(mode));
        viewer = dynamic_cast<IOSGViewer*>(plugin);
        if (!viewer)
            return;
        viewer->setModel(model);
        viewer->onSceneLoaded();
        widget = viewer->getWidget();
        widget->setFixedSize(Width, Height);
        widget->show();
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < 300)
            QApplication::processEvents();
        finish = new FinishDrawing;
        viewer->getScene()->getCamera()->setFinalDrawCallback(finish);
        if (auto* interaction = dynamic_cast<IQtInteraction*>(plugin))
            for (QWidget* dock : interaction->getDockWidgets())
                docks.push_back(dock);
    }

    double medianFrameTime(int frames)
    {
        std::vector<double> times;
        osgViewer::View& view = *viewer->getScene();
        for (int frame = 0; frame < WarmUpFrames + frames; ++frame) {
            const auto start = Clock::now();
            if (osgGA::CameraManipulator* manipulator = view.getCameraManipulator())
                manipulator->setByInverseMatrix(cameraAt(frame));
            view.getCamera()->setViewMatrix(cameraAt(frame));
            const int drawn = finish->frames;
            widget->update();
            QElapsedTimer waiting;
            waiting.start();
            while (finish->frames == drawn && waiting.elapsed() < 10000)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            if (frame >= WarmUpFrames)
                times.push_back(milliseconds(start));
        }
        return median(times);
    }

    QPushButton* button(const char* name) const
    {
        for (QWidget* dock : docks)
            if (auto* found = dock->findChild<QPushButton*>(name))
                return found;
        return nullptr;
    }

    IOSGViewer* viewer = nullptr;
    QWidget* widget = nullptr;
    osg::ref_ptr<FinishDrawing> finish;
    std::vector<QWidget*> docks;
};

// Asks for frames as fast as they come for the given time; returns how many arrived.
int streamFrames(unsigned short port, double seconds, std::atomic<bool>& done)
{
    namespace asio = boost::asio;
    namespace websocket = boost::beast::websocket;
    asio::io_context io;
    websocket::stream<asio::ip::tcp::socket> socket(io);
    socket.next_layer().connect({asio::ip::make_address("127.0.0.1"), port});
    socket.handshake("127.0.0.1", "/stream");
    int frames = 0;
    const auto start = Clock::now();
    while (milliseconds(start) < seconds * 1000.0) {
        socket.text(true);
        socket.write(asio::buffer(std::string("frame")));
        boost::beast::flat_buffer buffer;
        socket.read(buffer);
        ++frames;
    }
    boost::beast::error_code ignored;
    socket.close(websocket::close_code::normal, ignored);
    done = true;
    return frames;
}

// Finds the port in the web server's record.
class ServerRecord : public Logger::Util::IMessageHandler
{
public:
    ~ServerRecord() override { detach(); }

    void handleMessage(const std::string& text, std::uint32_t, const std::string&) override
    {
        std::smatch match;
        static const std::regex serving("point stream on http://127\\.0\\.0\\.1:([0-9]+)/");
        if (std::regex_search(text, match, serving))
            m_port = static_cast<unsigned short>(std::stoi(match[1]));
    }
    unsigned short port() const { return m_port; }

private:
    std::atomic<unsigned short> m_port{0};
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const double streamSeconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 10.0;

    QTemporaryDir data;
    QTemporaryDir exports;
    qputenv("TEMP", exports.path().toUtf8());
    const std::string build = ZELVISTA_BUILD_ROOT;
    KernelAPI kernel(build + "/bin", data.path().toStdString(), build + "/Plugins", false);
    kernel.getPluginFactory()->createOneInstanceOfAll();
    kernel.getVariables().insert_or_assign("webserver-port",
                                           boost::program_options::variable_value(0, false));
    // The model the exports capture from is the program's default one.
    auto model = std::make_shared<OSGModel>(
        kernel.getPluginFactory(), kernel.getEventSystem(), "default",
        boost::uuids::name_generator_sha1(boost::uuids::nil_uuid())("default"));
    model->getScene()->addChild(makeMesh());

    std::printf("Median frame time, 1000000 triangles, %dx%d, %d frames after %d warm-up frames\n",
                Width, Height, frames, WarmUpFrames);
    double forward = -1.0;
    {
        ModeViewer viewer(kernel, model, "FORWARD");
        if (!viewer.viewer)
            return 1;
        forward = viewer.medianFrameTime(frames);
        viewer.widget->hide();
        viewer.viewer->setModel(nullptr);
    }
    ModeViewer mapping(kernel, model, "COLOR_MAPPING");
    if (!mapping.viewer)
        return 1;
    const double colorMapping = mapping.medianFrameTime(frames);
    std::printf("  FORWARD        %8.1f ms\n", forward);
    std::printf("  COLOR_MAPPING  %8.1f ms\n", colorMapping);
    std::printf("  COLOR_MAPPING / FORWARD: %.2f (target <= 2.0)\n\n", colorMapping / forward);
    std::fflush(stdout);

    std::printf("Exports of an %dx%d frame (capture included), median of 5\n", Width, Height);
    for (const char* name : {"exportLAS", "exportTIF"}) {
        QPushButton* button = mapping.button(name);
        if (!button)
            return 1;
        std::vector<double> times;
        for (int run = 0; run < 5; ++run) {
            const auto start = Clock::now();
            button->click();
            times.push_back(milliseconds(start));
        }
        std::printf("  %-10s %8.1f ms\n", name, median(times));
    }
    std::fflush(stdout);

    // The stream: the first click starts the server and the pipeline's timer.
    ServerRecord record;
    QPushButton* stream = mapping.button("exportStream");
    if (!stream)
        return 1;
    stream->click();
    const unsigned short port = record.port();
    if (port == 0) {
        std::fprintf(stderr, "the web server did not start\n");
        return 1;
    }
    std::atomic<bool> done{false};
    int streamed = 0;
    const auto start = Clock::now();
    std::thread client([&] { streamed = streamFrames(port, streamSeconds, done); });
    while (!done)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    client.join();
    const double seconds = milliseconds(start) / 1000.0;
    std::printf("\nPoint stream to one client over %.1f s: %d frames, %.1f frames/s\n", seconds,
                streamed, streamed / seconds);
    mapping.widget->hide();
    mapping.viewer->setModel(nullptr);
    return 0;
}
