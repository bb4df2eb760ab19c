#pragma once

#include "PluginSystem/IPlugin.h"
#include "PluginSystem/Uuid.h"

#include <list>
#include <string>
#include <vector>

class IKernel;
class PluginInstanceInfo;

// Creates plug-in instances from the registry's descriptors and destroys its own, newest first.
class ZEL_API PluginFactory
{
public:
    explicit PluginFactory(IKernel* kernel);
    PluginFactory(const PluginFactory&) = delete;
    PluginFactory& operator=(const PluginFactory&) = delete;
    ~PluginFactory();

    // One instance of every auto-created class, in instantiation-hint order (pio.cfg first).
    void createOneInstanceOfAll();

    IPlugin* createInstance(const Uuid& uuid, const PluginInstanceInfo& info,
                            bool externalOwner = false);
    IPlugin* getOrCreateInstance(const Uuid& uuid, bool externalOwner = false);
    IPlugin* findInstance(const Uuid& uuid) const;

    template <class T> T* getOrCreateInstance(const Uuid& uuid, bool externalOwner = false)
    {
        return dynamic_cast<T*>(getOrCreateInstance(uuid, externalOwner));
    }

    template <class T> std::list<T*> getInstances() const
    {
        std::list<T*> result;
        for (const Entry& entry : m_instances)
            if (T* instance = dynamic_cast<T*>(entry.plugin))
                result.push_back(instance);
        return result;
    }

    std::list<IPlugin*> getAllInstances() const;

    bool destroyInstance(IPlugin* plugin);
    void destroyAllInstances();

private:
    struct Entry
    {
        IPlugin* plugin;
        bool owned;
    };

    IKernel* m_kernel;
    std::vector<Entry> m_instances;
    bool m_createdAll = false;
};
