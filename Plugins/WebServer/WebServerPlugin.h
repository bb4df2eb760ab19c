#pragma once

#include "PluginSDK/Plugin.h"
#include "RenderManager/IWebServerPlugin.h"

#include <QPointer>
#include <memory>
#include <string>

class QObject;
class StreamServer;

// Serves a page that draws the colour-mapping pipeline's point stream with three.js, on
// 127.0.0.1 unless the options say otherwise. It starts listening when a pipeline first asks
// it to stream; a page's request for a frame reaches that pipeline as an EventWebServer.
class WebServerPlugin : public PluginSDK::Plugin<WebServerPlugin>, public IWebServerPlugin
{
public:
    WebServerPlugin(IKernel* kernel, const PluginInstanceInfo& info);
    ~WebServerPlugin() override;
    static PluginDescriptor& descriptor();

    void send(const std::string& frame) override;
    void setStreamReceiver(QObject* receiver) override;

private:
    void listen();

    std::string m_address = "127.0.0.1";
    int m_port;
    bool m_tried = false;
    // Takes the server thread's requests over to the GUI thread.
    std::unique_ptr<QObject> m_relay;
    QPointer<QObject> m_receiver;
    std::unique_ptr<StreamServer> m_server;
};
