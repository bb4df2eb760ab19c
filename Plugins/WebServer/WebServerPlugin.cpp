#include "WebServerPlugin.h"

#include "Logger/Log.h"
#include "RenderManager/EventWebServer.h"
#include "StreamServer.h"

#include <QCoreApplication>
#include <QFile>
#include <boost/program_options.hpp>

namespace po = boost::program_options;

namespace {

const char* const addressOption = "webserver-address";
const char* const portOption = "webserver-port";
constexpr int DefaultPort = 8765;
// Where Debian's libjs-three puts it.
const char* const threeJsPath = "/usr/share/javascript/three/three.min.js";
constexpr qint64 MaximumScriptSize = 16 << 20;

po::options_description* webServerOptions()
{
    static po::options_description options("Web server plugin");
    static const bool added = [] {
        options.add_options()(addressOption, po::value<std::string>()->default_value("127.0.0.1"),
                              "address the point stream page is served on (127.0.0.1: this "
                              "machine only)")(portOption,
                                               po::value<int>()->default_value(DefaultPort),
                                               "port of the point stream page (0: any free port)");
        return true;
    }();
    static_cast<void>(added);
    return &options;
}

std::string readFile(const QString& path, qint64 maximumSize)
{
    QFile file(path);
    if (file.size() > maximumSize || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// Lives on the GUI thread; hands each request to the receiver while it exists.
class RequestRelay : public QObject
{
public:
    explicit RequestRelay(QPointer<QObject>& receiver) : m_receiver(receiver) {}

    bool event(QEvent* event) override
    {
        if (event->type() != EventWebServer::eventType())
            return QObject::event(event);
        const auto* request = static_cast<EventWebServer*>(event);
        if (m_receiver)
            QCoreApplication::postEvent(m_receiver,
                                        new EventWebServer(request->request(), request->text()));
        return true;
    }

private:
    QPointer<QObject>& m_receiver;
};

} // namespace

WebServerPlugin::WebServerPlugin(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info), m_port(DefaultPort)
{
    m_relay = std::make_unique<RequestRelay>(m_receiver);
    const auto& variables = kernel->getVariables();
    try {
        if (variables.count(addressOption))
            m_address = variables[addressOption].as<std::string>();
        if (variables.count(portOption))
            m_port = variables[portOption].as<int>();
    } catch (const boost::bad_any_cast&) {
        ZEL_WARN << "WebServerPlugin: The options " << addressOption << " and " << portOption
                 << " need an address and a number\n";
    }
}

WebServerPlugin::~WebServerPlugin()
{
    // The thread goes first: it posts to the relay.
    m_server.reset();
    m_relay.reset();
}

void WebServerPlugin::setStreamReceiver(QObject* receiver)
{
    m_receiver = receiver;
    if (receiver)
        listen();
}

void WebServerPlugin::send(const std::string& frame)
{
    if (m_server)
        m_server->send(std::make_shared<const std::string>(frame));
}

void WebServerPlugin::listen()
{
    if (m_tried)
        return;
    m_tried = true;
    if (m_port < 0 || m_port > 65535) {
        ZEL_ERROR << "WebServerPlugin: " << m_port << " is no port; the page is not served\n";
        return;
    }
    StreamServer::Content content;
    content.page = readFile(":/WebServer/stream.html", MaximumScriptSize);
    content.threeJs = readFile(threeJsPath, MaximumScriptSize);
    if (content.threeJs.empty())
        ZEL_WARN << "WebServerPlugin: " << threeJsPath
                 << " is missing (package libjs-three): the page cannot draw\n";
    QObject* relay = m_relay.get();
    m_server =
        std::make_unique<StreamServer>(std::move(content), [relay](const std::string& client) {
            QCoreApplication::postEvent(relay, new EventWebServer(EventWebServer::FrameRequested,
                                                                  "Frame requested by " + client));
        });
    const std::string problem = m_server->listen(m_address, static_cast<unsigned short>(m_port));
    if (!problem.empty()) {
        ZEL_ERROR << "WebServerPlugin: The page is not served: " << problem << "\n";
        m_server.reset();
        return;
    }
    ZEL_INFO << "WebServerPlugin: Serving the point stream on http://" << m_address << ":"
             << m_server->port() << "/\n";
}

ZEL_PLUGIN_DESCRIPTOR(WebServerPlugin,
                      PluginSDK::describe<WebServerPlugin>("WebServer", IWebServerPlugin::TypeUuid,
                                                           3000)
                          .description("Serves a page that draws the colour-mapping point stream")
                          .version("1.0")
                          .autoCreate(false)
                          .options(webServerOptions()))
ZEL_PLUGIN_LIBRARY(WebServerPlugin)
