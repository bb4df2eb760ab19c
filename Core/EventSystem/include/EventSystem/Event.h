#pragma once

#include <cstdint>

// An event is a plain record whose first field is its type, a single bit. Records of a given
// type derive from Event and add their fields after it.
struct Event
{
    std::uint32_t type;
};

namespace EventType {
constexpr std::uint32_t QtInput = 1;
constexpr std::uint32_t QtDrop = 2;
constexpr std::uint32_t Model = 16;
constexpr std::uint32_t InputMapperRegistry = 32;
constexpr std::uint32_t DropWithoutFile = 512;
} // namespace EventType
