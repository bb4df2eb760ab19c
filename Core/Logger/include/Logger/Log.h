#pragma once

#include "ZelApi.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

namespace cpplog {
class MultiplexLogger;
}

namespace Logger {

enum Level : std::uint32_t
{
    Trace = 0,
    Debug = 1,
    Info = 2,
    Warn = 3,
    Error = 4,
    Fatal = 5
};

// The process-wide multiplexer, created with its standard-error sink on first use.
ZEL_API cpplog::MultiplexLogger& rootLogger();

// "[]" until a component name is set; the first non-empty name stays for the whole run.
ZEL_API const std::string& componentTag();
ZEL_API void setComponentName(const std::string& name);

namespace PrivateUtil {

class ZEL_API Message
{
public:
    class Impl;

    Message(const char* file, std::uint32_t line, std::uint32_t level,
            cpplog::MultiplexLogger& logger);
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    ~Message();

    std::ostream& stream();

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace PrivateUtil
} // namespace Logger

#define ZEL_LOG(level)                                                                             \
    ::Logger::PrivateUtil::Message(__FILE__, __LINE__, (level), ::Logger::rootLogger()).stream()   \
        << ::Logger::componentTag() << " "

#define ZEL_TRACE ZEL_LOG(::Logger::Trace)
#define ZEL_DEBUG ZEL_LOG(::Logger::Debug)
#define ZEL_INFO ZEL_LOG(::Logger::Info)
#define ZEL_WARN ZEL_LOG(::Logger::Warn)
#define ZEL_ERROR ZEL_LOG(::Logger::Error)
#define ZEL_FATAL ZEL_LOG(::Logger::Fatal)
