#include "EventSystem/EventHandler.h"

#include "EventSystem/EventSystem.h"

EventHandler::EventHandler(EventSystem* eventSystem, const std::string& name, std::uint32_t mask)
    : m_name(name), m_mask(mask), m_eventSystem(eventSystem)
{
    if (m_eventSystem)
        m_eventSystem->registerHandler(this);
}

EventHandler::~EventHandler()
{
    if (m_eventSystem)
        m_eventSystem->deregisterHandler(this);
}
