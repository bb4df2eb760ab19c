#pragma once

#include "KernelInterface/IKernel.h"

#include <boost/program_options/variables_map.hpp>
#include <memory>

// The kernel: creates the shared services and destroys them in reverse order.
class ZEL_API KernelAPI : public IKernel
{
public:
    KernelAPI(const std::string& applicationDir, const std::string& appDataPath,
              const std::string& pluginDir, bool createPluginInstances,
              const std::vector<std::string>& alternativePluginPaths = {},
              const std::vector<std::string>& alternativeConfigPaths = {});
    ~KernelAPI() override;

    const std::string& getApplicationDir() const override { return m_applicationDir; }
    const std::string& getAppDataPath() const override { return m_appDataPath; }
    const std::string& getPluginDir() const override { return m_pluginDir; }
    const std::vector<std::string>& getAlternativePluginPaths() const override
    {
        return m_alternativePluginPaths;
    }
    std::string getPluginSubdirectory(const std::string& pluginName) const override;
    const PluginFactory* getPluginFactory() const override { return m_pluginFactory.get(); }
    PluginFactory* getPluginFactory() override { return m_pluginFactory.get(); }
    const PluginRegistryList& getPluginRegistry() const override { return m_pluginRegistry; }
    PluginRegistryList& getPluginRegistry() override { return m_pluginRegistry; }
    EventSystem* getEventSystem() override { return m_eventSystem.get(); }
    HI::InputMapperRegistry* getInputMapperRegistry() override
    {
        return m_inputMapperRegistry.get();
    }
    ConfigLocation getConfigLocation(const std::string& pluginName,
                                     const std::string& fileName) const override;
    ModelRegistry* getModelRegistry() override { return m_modelRegistry.get(); }
    RenderManager* getRenderManager() override { return m_renderManager.get(); }
    const boost::program_options::variables_map& getVariables() const override
    {
        return m_variables;
    }
    boost::program_options::variables_map& getVariables() override { return m_variables; }

private:
    std::string m_applicationDir;
    std::string m_appDataPath;
    std::string m_pluginDir;
    std::vector<std::string> m_alternativePluginPaths;
    std::vector<std::string> m_alternativeConfigPaths;
    // Declaration order is creation order; members are destroyed in reverse. The event system
    // comes first so that it outlives the models, which deregister from it when they go.
    std::unique_ptr<EventSystem> m_eventSystem;
    std::unique_ptr<ModelRegistry> m_modelRegistry;
    // Goes after the plug-ins and without saving: each plug-in saves its own bindings.
    std::unique_ptr<HI::InputMapperRegistry> m_inputMapperRegistry;
    std::unique_ptr<RenderManager> m_renderManager;
    PluginRegistryList m_pluginRegistry;
    std::unique_ptr<PluginFactory> m_pluginFactory;
    boost::program_options::variables_map m_variables;
};
