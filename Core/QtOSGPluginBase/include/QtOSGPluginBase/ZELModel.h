#pragma once

#include "PluginSystem/Uuid.h"
#include "ZelApi.h"

// The identity of a scene model; a nil UUID given at construction is replaced by a random one.
class ZEL_API ZELModel
{
public:
    explicit ZELModel(const Uuid& uuid);
    virtual ~ZELModel();

    const Uuid& getUuid() const { return m_uuid; }

private:
    Uuid m_uuid;
};
