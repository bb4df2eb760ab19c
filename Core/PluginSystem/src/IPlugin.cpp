#include "PluginSystem/IPlugin.h"

#include "PluginSystem/PluginInstanceInfo.h"

IPlugin::~IPlugin() = default;

PluginInstanceInfo::~PluginInstanceInfo() = default;
