#pragma once

#include "KernelInterface/ConfigLocation.h"
#include "KernelInterface/PluginRegistryList.h"
#include "Logger/Log.h"
#include "ZelApi.h"

#include <string>
#include <vector>

namespace boost::program_options {
class variables_map;
}

class EventSystem;
class ModelRegistry;
class PluginFactory;
class RenderManager;
namespace HI {
class InputMapperRegistry;
}

// The services of the running program, handed to every plug-in instance. Header-only, so that every
// library below the kernel can be handed one.
class ZEL_API IKernel
{
public:
    virtual const std::string& getApplicationDir() const = 0;
    virtual const std::string& getAppDataPath() const = 0;
    virtual const std::string& getPluginDir() const = 0;
    virtual const std::vector<std::string>& getAlternativePluginPaths() const = 0;
    virtual std::string getPluginSubdirectory(const std::string& pluginName) const = 0;
    virtual const PluginFactory* getPluginFactory() const = 0;
    virtual PluginFactory* getPluginFactory() = 0;
    virtual const PluginRegistryList& getPluginRegistry() const = 0;
    virtual PluginRegistryList& getPluginRegistry() = 0;
    virtual cpplog::MultiplexLogger& getLogger() { return Logger::rootLogger(); }
    virtual EventSystem* getEventSystem() = 0;
    virtual HI::InputMapperRegistry* getInputMapperRegistry() = 0;
    virtual ConfigLocation getConfigLocation(const std::string& pluginName,
                                             const std::string& fileName) const = 0;
    virtual ModelRegistry* getModelRegistry() = 0;
    virtual RenderManager* getRenderManager() = 0;
    virtual const boost::program_options::variables_map& getVariables() const = 0;
    virtual boost::program_options::variables_map& getVariables() = 0;
    virtual ~IKernel() = default;
};
