// A well-formed plug-in library with several classes, hints and options, for the tests.
#include "Logger/Log.h"
#include "PluginSDK/Plugin.h"

#include <boost/program_options.hpp>

namespace {

template <class Derived> class LoggingPlugin : public PluginSDK::Plugin<Derived>
{
public:
    LoggingPlugin(IKernel* kernel, const PluginInstanceInfo& info)
        : PluginSDK::Plugin<Derived>(kernel, info)
    {
        ZEL_INFO << "Created " << Derived::descriptor().name << " as " << info.getName() << "\n";
    }
};

class Alpha : public LoggingPlugin<Alpha>
{
public:
    using LoggingPlugin::LoggingPlugin;
    static PluginDescriptor& descriptor();
};

class Beta : public LoggingPlugin<Beta>
{
public:
    using LoggingPlugin::LoggingPlugin;
    static PluginDescriptor& descriptor();
};

class Gamma : public LoggingPlugin<Gamma>
{
public:
    using LoggingPlugin::LoggingPlugin;
    static PluginDescriptor& descriptor();
};

class Manual : public LoggingPlugin<Manual>
{
public:
    using LoggingPlugin::LoggingPlugin;
    static PluginDescriptor& descriptor();
};

class Scene : public LoggingPlugin<Scene>
{
public:
    using LoggingPlugin::LoggingPlugin;
    static PluginDescriptor& descriptor();
};

// Its create function fails.
class Failing : public LoggingPlugin<Failing>
{
public:
    using LoggingPlugin::LoggingPlugin;
    static PluginDescriptor& descriptor();
};

boost::program_options::options_description* alphaOptions()
{
    static boost::program_options::options_description options("Alpha test plugin");
    static const bool added = [] {
        options.add_options()("alpha-level", boost::program_options::value<int>(),
                              "level of the alpha test plugin");
        return true;
    }();
    static_cast<void>(added);
    return &options;
}

} // namespace

ZEL_PLUGIN_DESCRIPTOR(Alpha, PluginSDK::describe<Alpha>("Alpha",
                                                        "a1000000-0000-4000-8000-000000000001", 250)
                                 .description("first test class")
                                 .options(alphaOptions()))
ZEL_PLUGIN_DESCRIPTOR(Beta, PluginSDK::describe<Beta>("Beta",
                                                      "b2000000-0000-4000-8000-000000000002", 100))
ZEL_PLUGIN_DESCRIPTOR(Gamma, PluginSDK::describe<Gamma>("Gamma",
                                                        "c3000000-0000-4000-8000-000000000003", 0))
ZEL_PLUGIN_DESCRIPTOR(Manual,
                      PluginSDK::describe<Manual>("Manual", "d4000000-0000-4000-8000-000000000004",
                                                  50)
                          .autoCreate(false))
ZEL_PLUGIN_DESCRIPTOR(Scene,
                      PluginSDK::describe<Scene>("Scene", "e5000000-0000-4000-8000-000000000005",
                                                 1001))

PluginDescriptor& Failing::descriptor()
{
    static Uuid uuid{};
    static PluginDescriptor descriptor = [] {
        PluginDescriptor d =
            PluginSDK::describe<Failing>("Failing", "f6000000-0000-4000-8000-000000000006", 1000)
                .build(uuid);
        d.create = [](IKernel*, const PluginInstanceInfo&) -> IPlugin* {
            return nullptr;
        };
        return d;
    }();
    return descriptor;
}

ZEL_PLUGIN_LIBRARY(Alpha, Beta, Gamma, Manual, Scene, Failing)
