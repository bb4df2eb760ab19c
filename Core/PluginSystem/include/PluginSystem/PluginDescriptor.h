#pragma once

#include "KernelInterface/PluginRegistryList.h"
#include "PluginSystem/Uuid.h"

#include <cstdint>
#include <string>
#include <vector>

namespace boost::program_options {
class options_description;
}

class IKernel;
class IPlugin;
class PluginInstanceInfo;

// One plug-in class offered by a plug-in library. The library owns it for the whole run; the
// registry fills in where the library was loaded from.
struct PluginDescriptor
{
    using CreateFunction = IPlugin* (*)(IKernel* kernel, const PluginInstanceInfo& info);

    std::string name;
    const Uuid* uuid = nullptr;
    CreateFunction create = nullptr;
    std::string description;
    std::string version;
    std::uint32_t flags = 0;
    void* libraryHandle = nullptr;
    std::string libraryPath;
    std::string libraryDirectory;
    bool autoCreate = true;
    std::int32_t defaultInstantiationHint = 2147483647;
    boost::program_options::options_description* options = nullptr;
};
