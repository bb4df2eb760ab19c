// Libraries that break the plug-in contract in one way each, for the registry's tests.
#include "PluginSystem/EntryPoints.h"
#include "PluginSystem/PluginDescriptor.h"

#include <cstdint>

namespace {
PluginDescriptor stray = [] {
    PluginDescriptor descriptor;
    descriptor.name = "Stray";
    return descriptor;
}();
PluginRegistryList registry{&stray};
} // namespace

extern "C" __attribute__((visibility("default"))) PluginRegistryList* ZEL_REGISTRY_ENTRY_POINT()
{
    return &registry;
}

#ifdef ZEL_TEST_RUNTIME_ZERO
extern "C" __attribute__((visibility("default"))) std::int32_t ZEL_RUNTIME_ENTRY_POINT()
{
    return 0;
}
#endif
