#pragma once

// The plug-in SDK: what a plug-in library needs to declare its classes and entry points.
//
//   class Hello : public PluginSDK::Plugin<Hello>
//   {
//   public:
//       using Plugin::Plugin;
//       static PluginDescriptor& descriptor();
//   };
//
//   ZEL_PLUGIN_DESCRIPTOR(Hello, PluginSDK::describe<Hello>("Hello", "6e1c...-...", 500)
//                                     .description("Says hello"))
//   ZEL_PLUGIN_LIBRARY(Hello)

#include "KernelInterface/IKernel.h"
#include "PluginSystem/EntryPoints.h"
#include "PluginSystem/IPlugin.h"
#include "PluginSystem/PluginDescriptor.h"
#include "PluginSystem/PluginInstanceInfo.h"

#include <cstdint>
#include <string>

namespace PluginSDK {

// Keeps the kernel and the instance info; destroy() deletes the instance inside its library.
template <class Derived> class Plugin : public IPlugin
{
public:
    Plugin(IKernel* kernel, const PluginInstanceInfo& info) : m_kernel(kernel), m_info(info) {}

    const PluginDescriptor& getDescriptor() const override { return Derived::descriptor(); }
    const PluginInstanceInfo& getInstanceInfo() const override { return m_info; }
    IKernel* getKernel() const override { return m_kernel; }
    void destroy() override { delete this; }

private:
    IKernel* m_kernel;
    PluginInstanceInfo m_info;
};

// Builds a descriptor whose create function constructs T (IKernel*, const PluginInstanceInfo&).
template <class T> class Describe
{
public:
    Describe(const char* name, const char* uuidText, std::int32_t defaultHint)
    {
        m_uuid = uuidFromString(uuidText);
        m_descriptor.name = name;
        m_descriptor.defaultInstantiationHint = defaultHint;
        m_descriptor.create = [](IKernel* kernel, const PluginInstanceInfo& info) -> IPlugin* {
            return new T(kernel, info);
        };
    }

    Describe& description(const char* text)
    {
        m_descriptor.description = text;
        return *this;
    }
    Describe& version(const char* text)
    {
        m_descriptor.version = text;
        return *this;
    }
    Describe& autoCreate(bool on)
    {
        m_descriptor.autoCreate = on;
        return *this;
    }
    Describe& options(boost::program_options::options_description* description)
    {
        m_descriptor.options = description;
        return *this;
    }

    // The descriptor points at the UUID, so the UUID needs the descriptor's static lifetime.
    PluginDescriptor& build(Uuid& uuidStorage)
    {
        uuidStorage = m_uuid;
        m_descriptor.uuid = &uuidStorage;
        return m_descriptor;
    }

private:
    Uuid m_uuid{};
    PluginDescriptor m_descriptor;
};

template <class T>
Describe<T> describe(const char* name, const char* uuidText, std::int32_t defaultHint)
{
    return Describe<T>(name, uuidText, defaultHint);
}

template <class... Classes> PluginRegistryList* libraryRegistry()
{
    static PluginRegistryList registry{&Classes::descriptor()...};
    return &registry;
}

} // namespace PluginSDK

#define ZEL_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

// Defines Class::descriptor() from a PluginSDK::describe<Class>(...) expression.
#define ZEL_PLUGIN_DESCRIPTOR(Class, ...)                                                          \
    PluginDescriptor& Class::descriptor()                                                          \
    {                                                                                              \
        static Uuid uuid{};                                                                        \
        static PluginDescriptor descriptor = (__VA_ARGS__).build(uuid);                            \
        return descriptor;                                                                         \
    }

// The two entry points of a plug-in library offering the given classes.
#define ZEL_PLUGIN_LIBRARY(...)                                                                    \
    ZEL_PLUGIN_EXPORT PluginRegistryList* ZEL_REGISTRY_ENTRY_POINT()                               \
    {                                                                                              \
        return PluginSDK::libraryRegistry<__VA_ARGS__>();                                          \
    }                                                                                              \
    ZEL_PLUGIN_EXPORT std::int32_t ZEL_RUNTIME_ENTRY_POINT()                                       \
    {                                                                                              \
        return PluginRegistry::runtimeTag;                                                         \
    }
