#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventHandler.h"
#include "FrameDrawer.h"
#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ColorMappingStage.h"
#include "OffscreenRenderer.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "RenderManager/RenderManager.h"
#include "RenderManager/RenderPipelineColorMapping.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/program_options/variables_map.hpp>
#include <future>
#include <gtest/gtest.h>
#include <osg/Geometry>
#include <osg/Group>
#include <osg/Texture2D>
#include <random>
#include <regex>
#include <sys/socket.h>
#include <sys/time.h>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

constexpr int Deadline = 20000;

// A blocked client gives up after the deadline instead of hanging the test.
void limitWaiting(tcp::socket& socket)
{
    const timeval limit{Deadline / 1000, 0};
    ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// A WebSocket client of the stream on its own thread: asks for frames and keeps them.
std::future<std::vector<std::string>> streamClient(unsigned short port, int frames)
{
    return std::async(std::launch::async, [port, frames] {
        asio::io_context io;
        websocket::stream<tcp::socket> socket(io);
        socket.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        limitWaiting(socket.next_layer());
        socket.handshake("127.0.0.1", "/stream");
        std::vector<std::string> received;
        for (int i = 0; i < frames; ++i) {
            socket.text(true);
            socket.write(asio::buffer(std::string("frame")));
            beast::flat_buffer buffer;
            beast::error_code error;
            socket.read(buffer, error);
            if (error) {
                ADD_FAILURE() << "no frame: " << error.message();
                break;
            }
            EXPECT_TRUE(socket.got_binary());
            received.push_back(beast::buffers_to_string(buffer.data()));
        }
        beast::error_code ignored;
        socket.close(websocket::close_code::normal, ignored);
        return received;
    });
}

http::response<http::string_body> get(unsigned short port, const std::string& target)
{
    asio::io_context io;
    tcp::socket socket(io);
    socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    limitWaiting(socket);
    http::request<http::empty_body> request(http::verb::get, target, 11);
    request.set(http::field::host, "127.0.0.1");
    request.keep_alive(false);
    http::write(socket, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response);
    return response;
}

class WebServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(renderer.isValid()) << "rendering tests need an X display (xvfb-run)";
        ASSERT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/Plugins/WebServer.so",
                                plugins.filePath("WebServer.so")));
        kernel = std::make_unique<KernelAPI>(std::string(ZELVISTA_BUILD_ROOT) + "/bin",
                                             data.path().toStdString(),
                                             plugins.path().toStdString(), true);
        // Any free port, so that tests running side by side do not meet.
        kernel->getVariables().insert_or_assign("webserver-port",
                                                boost::program_options::variable_value(0, false));

        osg::ref_ptr<osg::Geometry> ramp = osg::createTexturedQuadGeometry(
            osg::Vec3(-2, 0, -2), osg::Vec3(4, 0, 0), osg::Vec3(0, 0, 4));
        scene->addChild(ramp.get());
        std::unique_ptr<IRenderPipeline> made = kernel->getRenderManager()->createRenderPipeline(
            "COLOR_MAPPING", kernel.get(), scene, nullptr, new OSG::Background);
        pipeline.reset(dynamic_cast<RenderPipelineColorMapping*>(made.release()));
        ASSERT_TRUE(pipeline);
        drawer = std::make_unique<FrameDrawer>(kernel->getEventSystem(), renderer,
                                               pipeline->getRootNode().get());
        pipeline->startStreamTimer();
        std::smatch match;
        for (const std::string& record : log.records()) {
            static const std::regex serving("point stream on http://127\\.0\\.0\\.1:([0-9]+)/");
            if (std::regex_search(record, match, serving))
                port = static_cast<unsigned short>(std::stoi(match[1]));
        }
        ASSERT_NE(port, 0) << "the server did not say where it listens";
    }

    void TearDown() override
    {
        drawer.reset();
        pipeline.reset();
        kernel.reset();
    }

    // Runs the GUI thread's events until the client is done, or the deadline has passed.
    template <class T> T await(std::future<T>& client)
    {
        QDeadlineTimer deadline(Deadline);
        while (client.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
               !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_FALSE(deadline.hasExpired()) << "the client did not finish in time";
        return client.get();
    }

    LogCapture log;
    QTemporaryDir plugins;
    QTemporaryDir data;
    std::unique_ptr<KernelAPI> kernel;
    OffscreenRenderer renderer;
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    std::unique_ptr<RenderPipelineColorMapping> pipeline;
    std::unique_ptr<FrameDrawer> drawer;
    unsigned short port = 0;
};

TEST_F(WebServerTest, ClientReceivesThePointsOfTheRenderedFrameAndTheNextClientToo)
{
    std::future<std::vector<std::string>> first = streamClient(port, 2);
    const std::vector<std::string> frames = await(first);
    ASSERT_EQ(frames.size(), 2u);

    const osg::Image& positions = *pipeline->getStage()->getPositionsGBufferTexture()->getImage();
    const auto* p = reinterpret_cast<const float*>(positions.data());
    std::string covered;
    for (int i = 0; i < positions.s() * positions.t(); ++i)
        if (p[4 * i + 3] != 1.0f)
            covered.append(reinterpret_cast<const char*>(p + 4 * i), 12);
    ASSERT_FALSE(covered.empty());
    const std::string& frame = frames.back();
    ASSERT_EQ(frame.size(), covered.size() * 2);
    // The positions of the stream are those of the covered pixels, colours between them.
    for (std::size_t point = 0; point < frame.size() / 24; point += 997)
        EXPECT_EQ(frame.compare(point * 24, 12, covered, point * 12, 12), 0) << point;

    // Gone, and the next one is served as well.
    std::future<std::vector<std::string>> second = streamClient(port, 1);
    EXPECT_EQ(await(second).front().size(), frame.size());
}

TEST_F(WebServerTest, ClientsBreakingTheProtocolAreDroppedAndOthersGoOn)
{
    // Random bytes instead of HTTP.
    std::future<void> garbage = std::async(std::launch::async, [this] {
        asio::io_context io;
        tcp::socket socket(io);
        socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        limitWaiting(socket);
        std::mt19937 random(5);
        std::string bytes(300, '\0');
        for (char& byte : bytes)
            byte = char(random() & 0xff);
        bytes[0] = '\x01';
        beast::error_code ignored;
        asio::write(socket, asio::buffer(bytes), ignored);
        char reply[16];
        socket.read_some(asio::buffer(reply), ignored); // until the server closes
    });
    await(garbage);
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("sent no valid HTTP request"), Deadline);

    // A binary message, and a second request before the first frame.
    std::future<void> binary = std::async(std::launch::async, [this] {
        asio::io_context io;
        websocket::stream<tcp::socket> socket(io);
        socket.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        limitWaiting(socket.next_layer());
        socket.handshake("127.0.0.1", "/stream");
        socket.binary(true);
        socket.write(asio::buffer(std::string("\x00\x01\x02", 3)));
        beast::flat_buffer buffer;
        beast::error_code closed;
        socket.read(buffer, closed);
        EXPECT_TRUE(closed);
    });
    await(binary);
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("sent something other than a request for a frame"),
                             Deadline);

    // Asking again before the frame came is flooding.
    std::future<void> flood = std::async(std::launch::async, [this] {
        asio::io_context io;
        websocket::stream<tcp::socket> socket(io);
        socket.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        limitWaiting(socket.next_layer());
        socket.handshake("127.0.0.1", "/stream");
        socket.text(true);
        for (int i = 0; i < 2; ++i)
            socket.write(asio::buffer(std::string("frame")));
        beast::flat_buffer buffer;
        beast::error_code closed;
        while (!closed)
            socket.read(buffer, closed);
    });
    await(flood);
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("asked for a frame again before it had the last"),
                             Deadline);

    // The page and its script are served; nothing else is.
    const auto page = get(port, "/");
    EXPECT_EQ(page.result(), http::status::ok);
    EXPECT_NE(page.body().find("three.min.js"), std::string::npos);
    if (QFile::exists("/usr/share/javascript/three/three.min.js")) {
        EXPECT_EQ(get(port, "/three.min.js").result(), http::status::ok);
    }
    EXPECT_EQ(get(port, "/../../etc/passwd").result(), http::status::not_found);

    std::future<std::vector<std::string>> good = streamClient(port, 1);
    EXPECT_GT(await(good).front().size(), 0u);
}

} // namespace
