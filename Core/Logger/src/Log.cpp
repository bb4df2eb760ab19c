#include "Logger/Log.h"

#include "OstreamLogger.h"
#include "cpplog/LogMessage.h"
#include "cpplog/MultiplexLogger.h"

namespace Logger {

cpplog::MultiplexLogger& rootLogger()
{
    // Never destroyed: records may still be made while static objects are torn down.
    static cpplog::MultiplexLogger* root = [] {
        auto* multiplexer = new cpplog::MultiplexLogger;
        multiplexer->addLogger(new cpplog::StdErrLogger, true);
        // The log file of a run opens after start-up has begun; it is handed what came before.
        multiplexer->keepBacklog(20000);
        return multiplexer;
    }();
    return *root;
}

namespace {
std::string& tag()
{
    static std::string* text = new std::string("[]");
    return *text;
}
} // namespace

const std::string& componentTag()
{
    return tag();
}

void setComponentName(const std::string& name)
{
    if (!name.empty() && tag() == "[]")
        tag() = "[" + name + "]";
}

namespace PrivateUtil {

class Message::Impl : public cpplog::LogMessage
{
public:
    using LogMessage::LogMessage;
};

Message::Message(const char* file, std::uint32_t line, std::uint32_t level,
                 cpplog::MultiplexLogger& logger)
    : m_impl(std::make_unique<Impl>(file, line, level, logger))
{}

Message::~Message() = default;

std::ostream& Message::stream()
{
    return m_impl->getStream();
}

} // namespace PrivateUtil
} // namespace Logger
