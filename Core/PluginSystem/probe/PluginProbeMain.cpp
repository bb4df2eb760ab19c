// Loads one plug-in library as the program would, in a process of its own, so that a library
// that crashes or hangs the dynamic loader takes only this process down. Arguments: the library
// and the process id of the program that waits for the verdict. Exit code 0: the loader came back
// (whether or not it loaded the library) and the entry points, where present, returned.
#include "PluginSystem/EntryPoints.h"
#include "PluginSystem/PluginDescriptor.h"

#include <csignal>
#include <dlfcn.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

#define ZEL_PROBE_STRINGIFY_(name) #name
#define ZEL_PROBE_STRINGIFY(name) ZEL_PROBE_STRINGIFY_(name)

int main(int argc, char** argv)
{
    if (argc != 3)
        return 90;
    // A program that dies while it waits takes its trial along.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (std::to_string(::getppid()) != argv[2])
        return 91;

    if (void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL)) {
        auto registry = reinterpret_cast<PluginRegistryList* (*)()>(
            dlsym(library, ZEL_PROBE_STRINGIFY(ZEL_REGISTRY_ENTRY_POINT)));
        auto runtime = reinterpret_cast<std::int32_t (*)()>(
            dlsym(library, ZEL_PROBE_STRINGIFY(ZEL_RUNTIME_ENTRY_POINT)));
        if (registry && runtime) {
            registry();
            runtime();
        }
    }
    // Without exit handlers: the library's static destructors are no part of loading it, and
    // a leak check of what it allocated is not this process's business.
    ::_exit(0);
}
