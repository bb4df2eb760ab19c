#pragma once

#include "ZelApi.h"

// Base of the settings record each pipeline keeps.
class ZEL_API IRenderPipelineSettings
{
public:
    virtual ~IRenderPipelineSettings() = default;
};
