#pragma once

#include "EventSystem/Event.h"
#include "PluginSystem/Uuid.h"

#include <cstdint>

// What a scene model announces through the event system (type 16).
struct ModelEvent : Event
{
    enum Kind : std::uint32_t
    {
        Changed = 0,
        CommandDone = 2,
        BeforeReadBack = 5,
        SceneLoaded = 6
    };

    explicit ModelEvent(std::uint32_t kind_, std::uint32_t value_ = 0)
        : Event{EventType::Model}, modelUuid{}, kind(kind_), value(value_)
    {}

    Uuid modelUuid;
    std::uint32_t kind;
    std::uint32_t value;
};
