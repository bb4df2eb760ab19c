#pragma once

#include "ZelApi.h"

namespace cpplog {

struct LogData;

// A sink. deliver returns true when the sink is done with the record.
class ZEL_API BaseLogger
{
public:
    virtual bool deliver(LogData* data) = 0;
    virtual ~BaseLogger();
};

} // namespace cpplog
