#pragma once

#include "cpplog/BaseLogger.h"
#include "cpplog/LogData.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
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

    // Keeps the text of up to maxRecords records from now on, until a sink takes them.
    void keepBacklog(std::size_t maxRecords);
    // Adds a sink that first receives the kept records, so it holds the whole run; the
    // backlog ends with it.
    void addLoggerWithBacklog(BaseLogger* logger, bool owned);

private:
    std::vector<std::pair<BaseLogger*, bool>> m_loggers;
    std::vector<std::unique_ptr<LogData>> m_backlog;
    std::size_t m_backlogLimit = 0;
    std::mutex m_mutex;
};

} // namespace cpplog
