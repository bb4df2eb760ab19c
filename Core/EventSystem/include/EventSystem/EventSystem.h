#pragma once

#include "ZelApi.h"

#include <string>
#include <vector>

struct Event;
class EventHandler;

// Synchronous broadcast: handlers see events of their mask in list order until one consumes it.
class ZEL_API EventSystem
{
public:
    enum MoveMode
    {
        Before = 0,
        After = 1,
        ToFront = 2,
        ToBack = 3
    };

    EventSystem() = default;
    EventSystem(const EventSystem&) = delete;
    EventSystem& operator=(const EventSystem&) = delete;

    void registerHandler(EventHandler* handler);
    void deregisterHandler(EventHandler* handler);

    bool dispatch(Event& event);
    EventHandler* findHandler(const std::string& name) const;
    bool moveHandler(int mode, EventHandler* handler, EventHandler* reference = nullptr);

    const std::vector<EventHandler*>& handlers() const { return m_handlers; }

private:
    std::vector<EventHandler*> m_handlers;
};
