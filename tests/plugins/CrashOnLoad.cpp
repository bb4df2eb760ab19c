// A library that crashes the dynamic loader while it loads, as a damaged one can: its constructor
// aborts. Otherwise it looks like a plug-in library.
#include "PluginSystem/EntryPoints.h"
#include "PluginSystem/PluginDescriptor.h"

#include <cstdint>
#include <cstdlib>

namespace {
__attribute__((constructor)) void crashWhileLoading()
{
    std::abort();
}
PluginRegistryList registry;
} // namespace

extern "C" __attribute__((visibility("default"))) PluginRegistryList* ZEL_REGISTRY_ENTRY_POINT()
{
    return &registry;
}

extern "C" __attribute__((visibility("default"))) std::int32_t ZEL_RUNTIME_ENTRY_POINT()
{
    return PluginRegistry::runtimeTag;
}
