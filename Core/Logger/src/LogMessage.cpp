#include "cpplog/LogMessage.h"

#include "cpplog/BaseLogger.h"
#include "cpplog/LogData.h"

namespace cpplog {

LogMessage::LogMessage(const char* file, std::uint32_t line, std::uint32_t level,
                       BaseLogger& logger)
    : m_logger(logger), m_data(std::make_unique<LogData>(level, file, line))
{}

LogMessage::~LogMessage()
{
    send();
    if (!m_deleteData)
        static_cast<void>(m_data.release()); // a sink kept the record
}

std::ostream& LogMessage::getStream()
{
    return m_data->stream;
}

void LogMessage::send()
{
    if (m_flushed)
        return;
    m_data->stream.flush();
    m_deleteData = m_logger.deliver(m_data.get());
    m_flushed = true;
}

} // namespace cpplog
