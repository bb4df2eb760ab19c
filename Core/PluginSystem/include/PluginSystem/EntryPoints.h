#pragma once

#include <cstdint>

// Names of the two functions every plug-in library (and the program) exports.
#define ZEL_REGISTRY_ENTRY_POINT getRegistry_3436544362436345
#define ZEL_RUNTIME_ENTRY_POINT getRuntimeInfo_3436544362436345

namespace PluginRegistry {

// What a library's runtime entry point returns when it was built against this plug-in system.
constexpr std::int32_t runtimeTag = 1;

} // namespace PluginRegistry
