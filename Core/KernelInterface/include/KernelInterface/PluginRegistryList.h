#pragma once

#include <vector>

struct PluginDescriptor;

// A library's own registry and the kernel's merged one: ordered, not owning.
using PluginRegistryList = std::vector<PluginDescriptor*>;
