#pragma once

#include "cpplog/BaseLogger.h"

#include <mutex>
#include <utility>
#include <vector>

namespace cpplog {

// Fans a record out to its sinks in registration order, one record at a time.
class ZEL_API MultiplexLogger : public BaseLogger
{
public:
    MultiplexLogger() = default;
    MultiplexLogger(const MultiplexLogger&) = delete;
    MultiplexLogger& operator=(const MultiplexLogger&) = delete;
    ~MultiplexLogger() override;

    bool deliver(LogData* data) override;
    void addLogger(BaseLogger* logger, bool owned);
    void removeLogger(BaseLogger* logger);

private:
    std::vector<std::pair<BaseLogger*, bool>> m_loggers;
    std::mutex m_mutex;
};

} // namespace cpplog
