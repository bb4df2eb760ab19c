#include "PluginSystem/PluginRegistry.h"

#include "KernelInterface/IKernel.h"
#include "Logger/Log.h"
#include "PluginProbe.h"
#include "PluginSystem/PluginDescriptor.h"
#include "SharedLibrary.h"

#include <algorithm>
#include <boost/filesystem.hpp>
#include <optional>
#include <vector>

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

std::string probeCacheFile(const IKernel& kernel)
{
    const std::string& dataPath = kernel.getAppDataPath();
    return dataPath.empty() ? std::string() : dataPath + "/PluginProbe.cache";
}

// The directory's entries that are taken for plug-in libraries, in listing order. An entry whose
// type cannot be read (a symbolic link loop) is reported, never thrown.
std::vector<std::string> candidatesIn(const std::string& directory)
{
    std::vector<std::string> candidates;
    boost::system::error_code error;
    fs::directory_iterator it(directory, error);
    if (error) {
        ZEL_WARN << "Cannot read plugin directory " << directory << ": " << error.message() << "\n";
        return candidates;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) {
            ZEL_WARN << "Cannot read plugin directory " << directory << ": " << error.message()
                     << "\n";
            break;
        }
        const fs::path& path = it->path();
        const fs::file_status status = it->status(error);
        const bool library = path.extension() == PluginRegistry::librarySuffix();
        if (error) {
            if (library)
                ZEL_ERROR << "Failed loading " << shortPath(path.string()) << " ("
                          << error.message() << ")\n";
            else
                ZEL_WARN << "Skipping " << path.string() << ": " << error.message() << "\n";
            error.clear();
            continue;
        }
        if (library && !fs::is_directory(status))
            candidates.push_back(path.string());
    }
    return candidates;
}

std::vector<std::string> candidates(IKernel& kernel)
{
    const std::string& pluginDir = kernel.getPluginDir();
    const auto& alternatives = kernel.getAlternativePluginPaths();
    boost::system::error_code error;
    if (alternatives.empty())
        return fs::is_directory(pluginDir, error) ? candidatesIn(pluginDir)
                                                  : std::vector<std::string>();
    std::vector<std::string> all;
    for (const std::string& directory : alternatives) {
        if (!fs::is_directory(directory, error)) {
            ZEL_WARN << "Alternative plugin path " << directory << " is not a directory.\n";
            continue;
        }
        for (std::string& path : candidatesIn(directory))
            all.push_back(std::move(path));
    }
    return all;
}

// The file checks of the loader, done here first: a truncated library would crash it. Those
// that pass are tried in a child process before this one loads them.
bool load(IKernel& kernel, const std::string& path, PluginProbe& probe)
{
    std::string reason;
    if (!SharedLibrary::check(path, reason)) {
        ZEL_ERROR << "Failed loading " << shortPath(path) << " (" << reason << ")\n";
        return false;
    }
    if (const std::optional<std::string> refusal = probe.refusal(path)) {
        ZEL_ERROR << "Failed loading " << shortPath(path) << " (" << *refusal << ")\n";
        return false;
    }
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
    if (runtimeFunction() != PluginRegistry::runtimeTag) {
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
    // Nothing found on disk stops the start-up, whatever the file system throws.
    try {
        PluginProbe probe(probeCacheFile(kernel));
        const std::vector<std::string> libraries = candidates(kernel);
        std::vector<std::string> wellFormed;
        std::string reason;
        for (const std::string& path : libraries)
            if (SharedLibrary::check(path, reason))
                wellFormed.push_back(path);
        probe.tryAll(wellFormed);
        for (const std::string& path : libraries)
            if (load(kernel, path, probe))
                ZEL_INFO << "Loaded " << shortPath(path) << "\n";
    } catch (const std::exception& exception) {
        ZEL_ERROR << "Scanning for plugin libraries failed: " << exception.what() << "\n";
    }
    return true;
}

bool loadPluginLibrary(IKernel& kernel, const std::string& path)
{
    try {
        PluginProbe probe(probeCacheFile(kernel));
        return load(kernel, path, probe);
    } catch (const std::exception& exception) {
        ZEL_ERROR << "Failed loading " << shortPath(path) << " (" << exception.what() << ")\n";
        return false;
    }
}

} // namespace PluginRegistry
