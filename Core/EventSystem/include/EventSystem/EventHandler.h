#pragma once

#include "ZelApi.h"

#include <cstdint>
#include <string>

struct Event;
class EventSystem;

// Base of event receivers: registered with its event system for exactly its lifetime.
class ZEL_API EventHandler
{
public:
    EventHandler(EventSystem* eventSystem, const std::string& name, std::uint32_t mask);
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;
    virtual ~EventHandler();

    // Returns true when the event is consumed: later handlers do not see it.
    virtual bool handleEvent(Event& event) = 0;

    const std::string& getName() const { return m_name; }
    std::uint32_t getEventMask() const { return m_mask; }
    EventSystem* getEventSystem() const { return m_eventSystem; }

private:
    std::string m_name;
    std::uint32_t m_mask;
    EventSystem* m_eventSystem;
};
