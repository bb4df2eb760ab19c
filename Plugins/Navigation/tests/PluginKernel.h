#pragma once

#include "ApplicationBase/KernelAPI.h"
#include "PluginSystem/PluginFactory.h"
#include "PluginSystem/PluginInstanceInfo.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class OSGModel;

// A kernel over a scratch plug-in folder with the given built plug-ins and a private data
// directory. The program folder is the build's bin/, so the shipped configuration is found,
// unless a folder without one is asked for.
class PluginKernel
{
public:
    explicit PluginKernel(const QStringList& plugins, bool shippedConfig = true);
    ~PluginKernel();

    KernelAPI& kernel() { return *m_kernel; }
    EventSystem& events() { return *m_kernel->getEventSystem(); }
    QString dataPath() const { return m_data.path(); }
    std::shared_ptr<OSGModel> createModel(const std::string& name = "model");

    template <class Interface> Interface* create(const char* type, const std::string& name)
    {
        return dynamic_cast<Interface*>(m_kernel->getPluginFactory()->createInstance(
            uuidFromString(type), PluginInstanceInfo(name)));
    }

private:
    QTemporaryDir m_plugins;
    QTemporaryDir m_data;
    QTemporaryDir m_program;
    std::unique_ptr<KernelAPI> m_kernel;
};
