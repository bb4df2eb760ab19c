#pragma once

#include "ZelApi.h"

#include <cstdint>
#include <iosfwd>
#include <memory>

namespace cpplog {

class BaseLogger;
struct LogData;

// What a logging statement creates: the record, sent to its logger once when the statement ends.
class ZEL_API LogMessage
{
public:
    LogMessage(const char* file, std::uint32_t line, std::uint32_t level, BaseLogger& logger);
    LogMessage(const LogMessage&) = delete;
    LogMessage& operator=(const LogMessage&) = delete;
    virtual ~LogMessage();

    std::ostream& getStream();

protected:
    void send();

private:
    BaseLogger& m_logger;
    std::unique_ptr<LogData> m_data;
    bool m_flushed = false;
    bool m_deleteData = false;
};

} // namespace cpplog
