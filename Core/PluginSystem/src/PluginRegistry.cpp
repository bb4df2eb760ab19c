#include "PluginSystem/PluginRegistry.h"

#include "ApplicationBase/IKernel.h"
#include "Logger/Log.h"
#include "PluginSystem/PluginDescriptor.h"
#include "SharedLibrary.h"

#include <algorithm>
#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

#define ZEL_STRINGIFY_(name) #name
#define ZEL_STRINGIFY(name) ZEL_STRINGIFY_(name)

namespace {

using RegistryFunction = PluginRegistryList* (*)();
using RuntimeFunction = std::int32_t (*)();

std::string shortPath(const std::string& path)
{
    return shortenString(path, 30, 0);
}

void scanDirectory(IKernel& kernel, const std::string& directory)
{
    boost::system::error_code error;
    fs::directory_iterator it(directory, error);
    if (error) {
        ZEL_WARN << "Cannot read plugin directory " << directory << ": " << error.message() << "\n";
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        const fs::path& path = it->path();
        if (fs::is_directory(it->status()) || path.extension() != PluginRegistry::librarySuffix())
            continue;
        if (PluginRegistry::loadPluginLibrary(kernel, path.string()))
            ZEL_INFO << "Loaded " << shortPath(path.string()) << "\n";
    }
}

} // namespace

std::string shortenString(const std::string& text, std::size_t maxLength, int mode)
{
    if (text.size() <= maxLength + 7)
        return text;
    switch (mode) {
    case 1:
        return text.substr(0, maxLength) + "[...]";
    case 2: {
        const std::size_t head = maxLength / 2;
        return text.substr(0, head) + "[...]" + text.substr(text.size() - (maxLength - head));
    }
    default:
        return "[...]" + text.substr(text.size() - maxLength);
    }
}

namespace PluginRegistry {

const char* librarySuffix()
{
    return ".so";
}

bool loadPluginLibraries(IKernel& kernel)
{
    const std::string& pluginDir = kernel.getPluginDir();
    const auto& alternatives = kernel.getAlternativePluginPaths();
    boost::system::error_code error;
    if (alternatives.empty()) {
        if (fs::is_directory(pluginDir, error))
            scanDirectory(kernel, pluginDir);
        return true;
    }
    for (const std::string& directory : alternatives)
        if (fs::is_directory(directory, error))
            scanDirectory(kernel, directory);
        else
            ZEL_WARN << "Alternative plugin path " << directory << " is not a directory.\n";
    return true;
}

bool loadPluginLibrary(IKernel& kernel, const std::string& path)
{
    std::string reason;
    void* handle = SharedLibrary::open(path, reason);
    if (!handle) {
        ZEL_ERROR << "Failed loading " << shortPath(path) << " (" << reason << ")\n";
        return false;
    }
    auto registryFunction = reinterpret_cast<RegistryFunction>(
        SharedLibrary::symbol(handle, ZEL_STRINGIFY(ZEL_REGISTRY_ENTRY_POINT)));
    auto runtimeFunction = reinterpret_cast<RuntimeFunction>(
        SharedLibrary::symbol(handle, ZEL_STRINGIFY(ZEL_RUNTIME_ENTRY_POINT)));
    if (!registryFunction || !runtimeFunction) {
        ZEL_ERROR << shortPath(path) << " is not a plugin.\n";
        return false;
    }

    PluginRegistryList& merged = kernel.getPluginRegistry();
    PluginRegistryList* own = registryFunction();
    if (runtimeFunction() != runtimeTag) {
        ZEL_ERROR << shortPath(path) << " runtime mismatch.\n";
        return false;
    }
    if (!own)
        return true;

    const std::string directory = fs::path(path).parent_path().string();
    for (PluginDescriptor* descriptor : *own) {
        if (!descriptor)
            continue;
        descriptor->libraryPath = path;
        descriptor->libraryHandle = handle;
        descriptor->libraryDirectory = directory;
        if (std::find(merged.begin(), merged.end(), descriptor) == merged.end())
            merged.push_back(descriptor);
    }
    return true;
}

} // namespace PluginRegistry
