#include "ApplicationBase/KernelAPI.h"

#include "ApplicationBase/ModelRegistry.h"
#include "EventSystem/EventSystem.h"
#include "HumanInterface/InputMapperRegistry.h"
#include "Logger/Log.h"
#include "PluginSystem/PluginFactory.h"
#include "RenderManager/RenderManager.h"

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace {

bool isDirectory(const std::string& path)
{
    boost::system::error_code error;
    return fs::is_directory(path, error);
}

} // namespace

KernelAPI::KernelAPI(const std::string& applicationDir, const std::string& appDataPath,
                     const std::string& pluginDir, bool createPluginInstances,
                     const std::vector<std::string>& alternativePluginPaths,
                     const std::vector<std::string>& alternativeConfigPaths)
    : m_applicationDir(applicationDir), m_appDataPath(appDataPath), m_pluginDir(pluginDir),
      m_alternativePluginPaths(alternativePluginPaths),
      m_alternativeConfigPaths(alternativeConfigPaths),
      m_eventSystem(std::make_unique<EventSystem>()),
      m_modelRegistry(std::make_unique<ModelRegistry>()),
      m_inputMapperRegistry(std::make_unique<HI::InputMapperRegistry>(m_eventSystem.get())),
      m_renderManager(std::make_unique<RenderManager>(m_eventSystem.get())),
      m_pluginFactory(std::make_unique<PluginFactory>(this))
{
    if (!m_pluginDir.empty() && !m_alternativePluginPaths.empty())
        ZEL_WARN << "If you use alternative plugin paths the value of pluginDir will be ignored!\n";
    if (createPluginInstances)
        m_pluginFactory->createOneInstanceOfAll();
}

KernelAPI::~KernelAPI()
{
    m_variables.clear();
    // Plug-ins go first, while every service they may still use exists.
    m_pluginFactory.reset();
}

std::string KernelAPI::getPluginSubdirectory(const std::string& pluginName) const
{
    if (m_alternativePluginPaths.empty())
        return m_pluginDir + "/" + pluginName + "/";
    for (const std::string& path : m_alternativePluginPaths) {
        std::string candidate = path + "/" + pluginName + "/";
        if (isDirectory(candidate))
            return candidate;
    }
    ZEL_ERROR << "Plugin subdirectory not found!\n";
    return {};
}

ConfigLocation KernelAPI::getConfigLocation(const std::string& pluginName,
                                            const std::string& fileName) const
{
    boost::system::error_code error;
    for (const std::string& root : m_alternativeConfigPaths) {
        if (!fs::exists(root, error))
            continue;
        const std::string defaultDir = root + "/default/";
        const std::string userDir = root + "/user/";
        if (isDirectory(userDir + pluginName + "/") || isDirectory(defaultDir + pluginName + "/"))
            return {defaultDir, userDir, fileName, pluginName, ""};
        break; // only the first existing root is consulted
    }
    return {getApplicationDir() + "/../config/default", getAppDataPath() + "/user", fileName,
            pluginName, ""};
}
