#pragma once

#include "ZelApi.h"

class IKernel;
class PluginInstanceInfo;
struct PluginDescriptor;

// Base interface of every plug-in instance. Functional interfaces (viewer, reader, ...) are
// reached from it with dynamic_cast. Instances end through destroy(), inside their library.
class ZEL_API IPlugin
{
public:
    virtual const PluginDescriptor& getDescriptor() const = 0;
    virtual const PluginInstanceInfo& getInstanceInfo() const = 0;
    virtual IKernel* getKernel() const = 0;
    virtual void destroy() = 0;

protected:
    virtual ~IPlugin();
};
