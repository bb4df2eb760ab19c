#include "ProgramRun.h"
#include "ScratchInstall.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

const char* const chromiumPath = "/usr/bin/chromium";
constexpr int Deadline = 60000;

int portIn(const QString& text, const QString& pattern)
{
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

void limitWaiting(tcp::socket& socket)
{
    const timeval limit{20, 0};
    ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// A client of Chromium's DevTools protocol for one page.
class DevTools
{
public:
    DevTools(int port, const std::string& path) : m_socket(m_io)
    {
        m_socket.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        limitWaiting(m_socket.next_layer());
        m_socket.handshake("127.0.0.1", path);
    }

    // The result of a command; an empty object when there is none.
    QJsonObject call(const QString& method, const QJsonObject& parameters)
    {
        const int id = ++m_id;
        const QJsonObject command{{"id", id}, {"method", method}, {"params", parameters}};
        m_socket.text(true);
        m_socket.write(
            asio::buffer(QJsonDocument(command).toJson(QJsonDocument::Compact).toStdString()));
        for (;;) {
            beast::flat_buffer buffer;
            beast::error_code error;
            m_socket.read(buffer, error);
            if (error)
                return {};
            const QJsonObject answer =
                QJsonDocument::fromJson(
                    QByteArray::fromStdString(beast::buffers_to_string(buffer.data())))
                    .object();
            if (answer.value("id").toInt() == id)
                return answer.value("result").toObject();
        }
    }

private:
    asio::io_context m_io;
    websocket::stream<tcp::socket> m_socket;
    int m_id = 0;
};

std::string pageTarget(int port)
{
    asio::io_context io;
    tcp::socket socket(io);
    socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    limitWaiting(socket);
    http::request<http::empty_body> request(http::verb::get, "/json/list", 11);
    request.set(http::field::host, "127.0.0.1");
    http::write(socket, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response);
    for (const QJsonValue& target :
         QJsonDocument::fromJson(QByteArray::fromStdString(response.body())).array()) {
        const QJsonObject object = target.toObject();
        if (object.value("type").toString() == "page") {
            const QString url = object.value("webSocketDebuggerUrl").toString();
            return url.mid(url.indexOf("/devtools/")).toStdString();
        }
    }
    return {};
}

// Share of the pixels that differ clearly from the page's background.
double drawnShare(const QImage& image)
{
    const QColor background(0x20, 0x20, 0x30);
    int drawn = 0;
    for (int y = 40; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            drawn += std::abs(pixel.red() - background.red()) +
                         std::abs(pixel.green() - background.green()) +
                         std::abs(pixel.blue() - background.blue()) >
                     40;
        }
    return double(drawn) / (image.width() * (image.height() - 40));
}

TEST(StreamPageBrowserTest, PageDrawsThePointsOfTheRunningProgram)
{
    if (!QFile::exists(chromiumPath))
        GTEST_SKIP() << "Debian's chromium is not installed";

    ScratchInstall install;
    for (const char* plugin : {"Viewer.so", "SceneReader.so", "WebServer.so"})
        install.addShippedPlugin(plugin);
    install.addTestPlugin("browser", "ClickExportStream.so");
    ASSERT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/bin/SceneReaderHelper",
                            install.root() + "/bin/SceneReaderHelper"));
    const QStringList environment{"QT_QPA_PLATFORM=xcb", "TMP=" + install.root()};
    ProgramRun program(install.program(),
                       {"--loadFile", QString(ZELVISTA_SOURCE_ROOT) + "/Media/samples/sample.osgt",
                        "--viewer-render-mode", "COLOR_MAPPING", "--webserver-port", "0"},
                       install.dataHome(), environment);
    ASSERT_TRUE(program.waitForLog("Serving the point stream on http://127.0.0.1:", Deadline))
        << program.standardError().toStdString();
    const int port =
        portIn(program.standardError(), "point stream on http://127\\.0\\.0\\.1:([0-9]+)/");
    ASSERT_GT(port, 0);

    QTemporaryDir profile;
    QProcess chromium;
    QProcessEnvironment chromiumEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        chromiumEnvironment.remove(name);
    chromium.setProcessEnvironment(chromiumEnvironment);
    chromium.start(chromiumPath,
                   {"--headless", "--no-sandbox", "--disable-gpu", "--enable-unsafe-swiftshader",
                    "--disable-background-networking", "--disable-component-update",
                    "--disable-sync", "--no-first-run", "--user-data-dir=" + profile.path(),
                    "--remote-debugging-port=0", "--window-size=640,480",
                    QString("http://127.0.0.1:%1/").arg(port)});
    ASSERT_TRUE(chromium.waitForStarted());
    QString chromiumLog;
    int devToolsPort = 0;
    for (QDeadlineTimer deadline(Deadline); !devToolsPort && !deadline.hasExpired();) {
        chromium.waitForReadyRead(200);
        chromiumLog += chromium.readAllStandardError();
        devToolsPort = portIn(chromiumLog, "DevTools listening on ws://127\\.0\\.0\\.1:([0-9]+)/");
    }
    ASSERT_GT(devToolsPort, 0) << chromiumLog.toStdString();

    std::string target;
    for (QDeadlineTimer deadline(Deadline); target.empty() && !deadline.hasExpired();) {
        target = pageTarget(devToolsPort);
        if (target.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_FALSE(target.empty());
    DevTools page(devToolsPort, target);
    int framesDrawn = 0;
    for (QDeadlineTimer deadline(Deadline); framesDrawn < 2 && !deadline.hasExpired();) {
        const QJsonObject result =
            page.call("Runtime.evaluate",
                      {{"expression", "window.zelvistaFramesDrawn || 0"}, {"returnByValue", true}});
        framesDrawn = result.value("result").toObject().value("value").toInt();
        if (framesDrawn < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_GE(framesDrawn, 2) << program.standardError().toStdString();

    const QJsonObject shot = page.call("Page.captureScreenshot", {{"format", "png"}});
    const QImage screenshot =
        QImage::fromData(QByteArray::fromBase64(shot.value("data").toString().toLatin1()), "PNG");
    ASSERT_FALSE(screenshot.isNull());
    EXPECT_GT(drawnShare(screenshot), 0.01);
    if (::testing::Test::HasFailure()) {
        QDir().mkpath(QString(ZELVISTA_BUILD_ROOT) + "/tests/rendering-failures");
        screenshot.save(QString(ZELVISTA_BUILD_ROOT) + "/tests/rendering-failures/StreamPage.png");
    }

    // A browser that goes away may leave in the middle of a frame; until then no client breaks
    // the protocol.
    EXPECT_FALSE(program.standardError().contains("WebServerPlugin: Dropped"));
    chromium.terminate();
    if (!chromium.waitForFinished(10000))
        chromium.kill();
    program.sendSignal(SIGTERM);
    ASSERT_TRUE(program.waitForExit());
    EXPECT_EQ(program.exitCode(), 0) << program.standardError().toStdString();
}

} // namespace
