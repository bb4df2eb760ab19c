#include "Logger/IMessageHandler.h"

#include "Logger/Log.h"
#include "cpplog/BaseLogger.h"
#include "cpplog/LogData.h"
#include "cpplog/MultiplexLogger.h"

namespace Logger::Util {

class IMessageHandler::Impl : public cpplog::BaseLogger
{
public:
    Impl(IMessageHandler& handler, cpplog::MultiplexLogger& multiplexer)
        : m_handler(handler), m_multiplexer(multiplexer)
    {}

    bool deliver(cpplog::LogData* data) override
    {
        if (data)
            m_handler.handleMessage(data->stream.str(), data->level, data->fileName);
        return true;
    }

    IMessageHandler& m_handler;
    cpplog::MultiplexLogger& m_multiplexer;
};

IMessageHandler::IMessageHandler(cpplog::MultiplexLogger* multiplexer, bool attachLater)
    : m_impl(std::make_unique<Impl>(*this, multiplexer ? *multiplexer : rootLogger()))
{
    if (!attachLater)
        attach(false);
}

void IMessageHandler::attach(bool withEarlierRecords)
{
    if (withEarlierRecords)
        m_impl->m_multiplexer.addLoggerWithBacklog(m_impl.get(), false);
    else
        m_impl->m_multiplexer.addLogger(m_impl.get(), false);
}

IMessageHandler::~IMessageHandler()
{
    detach();
}

void IMessageHandler::detach()
{
    m_impl->m_multiplexer.removeLogger(m_impl.get());
}

} // namespace Logger::Util
