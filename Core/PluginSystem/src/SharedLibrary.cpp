#include "SharedLibrary.h"

#include <dlfcn.h>

namespace SharedLibrary {

void* open(const std::string& path, std::string& error)
{
    // RTLD_LOCAL: a plug-in's symbols never satisfy another plug-in's references.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "unknown reason";
    }
    return handle;
}

void* symbol(void* handle, const char* name)
{
    // Looked up in the library itself, never in the program that exports the same names.
    return dlsym(handle, name);
}

} // namespace SharedLibrary
