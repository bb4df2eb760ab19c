#pragma once

#include "ZelApi.h"

#include <string>

// What a plug-in's create function learns about the instance it makes.
class ZEL_API PluginInstanceInfo
{
public:
    PluginInstanceInfo() = default;
    explicit PluginInstanceInfo(std::string name) : m_name(std::move(name)) {}
    virtual ~PluginInstanceInfo();

    virtual const std::string& getName() const { return m_name; }

private:
    std::string m_name;
};
