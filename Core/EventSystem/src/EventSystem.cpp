#include "EventSystem/EventSystem.h"

#include "EventSystem/Event.h"
#include "EventSystem/EventHandler.h"
#include "Logger/Log.h"

#include <algorithm>
#include <iterator>

void EventSystem::registerHandler(EventHandler* handler)
{
    if (std::find(m_handlers.begin(), m_handlers.end(), handler) != m_handlers.end()) {
        ZEL_ERROR << "EventHandler " << handler->getName() << " " << handler
                  << " already registered.\n";
        return;
    }
    m_handlers.push_back(handler);
}

void EventSystem::deregisterHandler(EventHandler* handler)
{
    auto it = std::find(m_handlers.begin(), m_handlers.end(), handler);
    if (it == m_handlers.end()) {
        ZEL_ERROR << "EventHandler " << handler->getName() << " " << handler
                  << " not found and not deregistered.\n";
        return;
    }
    m_handlers.erase(it);
}

bool EventSystem::dispatch(Event& event)
{
    // Index-based, so a handler that registers another one during dispatch does not invalidate
    // the walk; a new handler at the end sees the event too.
    for (std::size_t i = 0; i < m_handlers.size(); ++i) {
        EventHandler* handler = m_handlers[i];
        if ((handler->getEventMask() & event.type) && handler->handleEvent(event))
            return true;
    }
    return false;
}

EventHandler* EventSystem::findHandler(const std::string& name) const
{
    auto it = std::find_if(m_handlers.begin(), m_handlers.end(),
                           [&name](const EventHandler* h) { return h->getName() == name; });
    return it == m_handlers.end() ? nullptr : *it;
}

bool EventSystem::moveHandler(int mode, EventHandler* handler, EventHandler* reference)
{
    auto position = [this](EventHandler* h) {
        return std::find(m_handlers.begin(), m_handlers.end(), h);
    };
    if (!handler || position(handler) == m_handlers.end())
        return false;
    if (reference && position(reference) == m_handlers.end())
        return false;

    auto from = position(handler);
    switch (mode) {
    case Before:
        if (reference) {
            auto to = position(reference);
            if (from < to)
                return true;
            std::rotate(to, from, std::next(from));
        } else if (from != m_handlers.begin()) {
            std::iter_swap(from, std::prev(from));
        }
        return true;
    case After:
        if (reference) {
            auto to = position(reference);
            if (from > to)
                return true;
            std::rotate(from, std::next(from), std::next(to));
        } else if (std::next(from) != m_handlers.end()) {
            std::iter_swap(from, std::next(from));
        }
        return true;
    case ToFront:
        std::rotate(m_handlers.begin(), from, std::next(from));
        return true;
    case ToBack:
        std::rotate(from, std::next(from), m_handlers.end());
        return true;
    default:
        return true;
    }
}
