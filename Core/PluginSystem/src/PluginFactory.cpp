#include "PluginSystem/PluginFactory.h"

#include "InstantiationHints.h"
#include "KernelInterface/IKernel.h"
#include "Logger/Log.h"
#include "PluginSystem/PluginDescriptor.h"
#include "PluginSystem/PluginInstanceInfo.h"
#include "PluginSystem/PluginRegistry.h"

#include <algorithm>

namespace {

bool hasUuid(const PluginDescriptor& descriptor, const Uuid& uuid)
{
    return descriptor.uuid && *descriptor.uuid == uuid;
}

} // namespace

PluginFactory::PluginFactory(IKernel* kernel) : m_kernel(kernel)
{
    PluginRegistry::loadPluginLibraries(*m_kernel);
}

PluginFactory::~PluginFactory()
{
    destroyAllInstances();
}

void PluginFactory::createOneInstanceOfAll()
{
    if (m_createdAll)
        ZEL_WARN << "PluginFactory::createOneInstanceOfAll() invoked multiple times, intended?\n";
    m_createdAll = true;

    const auto hints = InstantiationHints::read(m_kernel->getPluginDir() + "/pio.cfg");
    std::vector<std::pair<PluginDescriptor*, std::int32_t>> plan;
    for (PluginDescriptor* descriptor : m_kernel->getPluginRegistry()) {
        if (!descriptor->uuid)
            continue;
        if (!descriptor->autoCreate) {
            ZEL_INFO << "Skip autocreation of " << descriptor->name
                     << ", uuid: " << uuidToString(*descriptor->uuid) << "\n";
            continue;
        }
        auto hint = hints.find(*descriptor->uuid);
        plan.emplace_back(descriptor, hint != hints.end() ? hint->second
                                                          : descriptor->defaultInstantiationHint);
    }
    std::sort(plan.begin(), plan.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });

    for (const auto& [descriptor, hint] : plan) {
        if (hint < 1) {
            ZEL_INFO << "Skip instantiation of " << descriptor->name << " (DISABLED)\n";
            continue;
        }
        ZEL_INFO << InstantiationHints::describe(descriptor->name, hint);
        createInstance(*descriptor->uuid, PluginInstanceInfo(descriptor->name + "_Default"), false);
    }
}

IPlugin* PluginFactory::createInstance(const Uuid& uuid, const PluginInstanceInfo& info,
                                       bool externalOwner)
{
    const PluginRegistryList& registry = m_kernel->getPluginRegistry();
    auto it = std::find_if(registry.begin(), registry.end(),
                           [&uuid](const PluginDescriptor* d) { return hasUuid(*d, uuid); });
    if (it == registry.end())
        return nullptr;
    const PluginDescriptor& descriptor = **it;
    IPlugin* plugin = descriptor.create ? descriptor.create(m_kernel, info) : nullptr;
    if (!plugin) {
        ZEL_ERROR << "Failed initializing plugin " << descriptor.name << "\n";
        return nullptr;
    }
    m_instances.push_back({plugin, !externalOwner});
    return plugin;
}

IPlugin* PluginFactory::getOrCreateInstance(const Uuid& uuid, bool externalOwner)
{
    if (IPlugin* plugin = findInstance(uuid))
        return plugin;
    return createInstance(uuid, PluginInstanceInfo("Default"), externalOwner);
}

IPlugin* PluginFactory::findInstance(const Uuid& uuid) const
{
    for (const Entry& entry : m_instances)
        if (hasUuid(entry.plugin->getDescriptor(), uuid))
            return entry.plugin;
    return nullptr;
}

std::list<IPlugin*> PluginFactory::getAllInstances() const
{
    std::list<IPlugin*> result;
    for (const Entry& entry : m_instances)
        result.push_back(entry.plugin);
    return result;
}

bool PluginFactory::destroyInstance(IPlugin* plugin)
{
    auto it = std::find_if(m_instances.begin(), m_instances.end(),
                           [plugin](const Entry& entry) { return entry.plugin == plugin; });
    if (it == m_instances.end()) {
        ZEL_ERROR << "Plugin " << plugin << " not found.\n";
        return false;
    }
    if (!it->owned) {
        ZEL_ERROR << "Plugin " << plugin << " no external owner.\n";
        return false;
    }
    m_instances.erase(it);
    plugin->destroy();
    return true;
}

void PluginFactory::destroyAllInstances()
{
    // Taken out of the list first: a plug-in's destroy may still look its peers up.
    while (!m_instances.empty()) {
        const Entry entry = m_instances.back();
        m_instances.pop_back();
        const std::string& name = entry.plugin->getDescriptor().name;
        if (entry.owned) {
            ZEL_INFO << "Destroy " << name << "...\n";
            entry.plugin->destroy();
        } else {
            ZEL_INFO << "Skip destroy " << name << ", external owner.\n";
        }
    }
}
