#pragma once

#include "PluginSystem/EntryPoints.h"
#include "ZelApi.h"

#include <cstdint>
#include <string>

class IKernel;

// Finds, loads and checks plug-in libraries and merges their descriptors into the kernel's
// registry. Libraries are never unloaded.
namespace PluginRegistry {

// The extension of a plug-in library file, compared case-sensitively.
ZEL_API const char* librarySuffix();

// Scans the plug-in directory (or the alternative plug-in paths). Failures are logged only.
ZEL_API bool loadPluginLibraries(IKernel& kernel);

ZEL_API bool loadPluginLibrary(IKernel& kernel, const std::string& path);

} // namespace PluginRegistry

// Texts of at most maxLength + 7 characters are returned whole; longer ones as "[...]" and
// (mode 0) their last maxLength characters, (mode 1) their first, (mode 2) both ends.
ZEL_API std::string shortenString(const std::string& text, std::size_t maxLength, int mode);
