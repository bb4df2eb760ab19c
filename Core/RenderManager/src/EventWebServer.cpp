#include "RenderManager/EventWebServer.h"

EventWebServer::EventWebServer(Request request, std::string text)
    : QEvent(eventType()), m_request(request), m_text(std::move(text))
{}

EventWebServer::~EventWebServer() = default;

QEvent::Type EventWebServer::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
