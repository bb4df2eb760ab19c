#pragma once

#include "ZelApi.h"

#include <QEvent>
#include <string>

// What the web server plug-in posts to the colour-mapping pipeline on the GUI thread.
class ZEL_API EventWebServer : public QEvent
{
public:
    enum Request
    {
        // A page has drawn the last frame and asks for the next.
        FrameRequested
    };

    EventWebServer(Request request, std::string text);
    ~EventWebServer() override;

    static QEvent::Type eventType();

    Request request() const { return m_request; }
    // Says what happened, for people: "Frame requested by 127.0.0.1:40312".
    const std::string& text() const { return m_text; }

private:
    Request m_request;
    std::string m_text;
};
