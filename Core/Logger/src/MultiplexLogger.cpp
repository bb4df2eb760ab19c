#include "cpplog/MultiplexLogger.h"

#include "cpplog/LogData.h"

#include <algorithm>

namespace cpplog {

MultiplexLogger::~MultiplexLogger()
{
    for (auto& [logger, owned] : m_loggers)
        if (owned)
            delete logger;
}

bool MultiplexLogger::deliver(LogData* data)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_backlog.size() < m_backlogLimit) {
        auto copy = std::make_unique<LogData>(data->level, data->fullPath, data->line);
        copy->stream.str(data->stream.str());
        m_backlog.push_back(std::move(copy));
    }
    for (auto& entry : m_loggers)
        if (!entry.first->deliver(data))
            return false;
    return true;
}

void MultiplexLogger::addLogger(BaseLogger* logger, bool owned)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_loggers.emplace_back(logger, owned);
}

void MultiplexLogger::keepBacklog(std::size_t maxRecords)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_backlogLimit = maxRecords;
}

void MultiplexLogger::addLoggerWithBacklog(BaseLogger* logger, bool owned)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& data : m_backlog)
        logger->deliver(data.get());
    m_backlog.clear();
    m_backlog.shrink_to_fit();
    m_backlogLimit = 0;
    m_loggers.emplace_back(logger, owned);
}

void MultiplexLogger::removeLogger(BaseLogger* logger)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find_if(m_loggers.begin(), m_loggers.end(),
                           [logger](const auto& entry) { return entry.first == logger; });
    if (it == m_loggers.end())
        return;
    if (it->second)
        delete it->first;
    m_loggers.erase(it);
}

} // namespace cpplog
