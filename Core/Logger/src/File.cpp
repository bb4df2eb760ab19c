#include "Logger/File.h"

#include "Logger/Log.h"
#include "OstreamLogger.h"
#include "cpplog/MultiplexLogger.h"

namespace Logger::Util {

class File::Impl : public cpplog::FileLogger
{
public:
    Impl(const std::string& path, cpplog::MultiplexLogger& multiplexer)
        : FileLogger(path), m_multiplexer(multiplexer)
    {}

    cpplog::MultiplexLogger& m_multiplexer;
};

File::File(const std::string& path, cpplog::MultiplexLogger* multiplexer, bool withEarlierRecords)
    : m_impl(std::make_unique<Impl>(path, multiplexer ? *multiplexer : rootLogger()))
{
    if (withEarlierRecords)
        m_impl->m_multiplexer.addLoggerWithBacklog(m_impl.get(), false);
    else
        m_impl->m_multiplexer.addLogger(m_impl.get(), false);
}

File::~File()
{
    // Removed under the multiplexer's lock before the file closes.
    m_impl->m_multiplexer.removeLogger(m_impl.get());
}

const std::string& File::path() const
{
    return m_impl->path();
}

bool File::isOpen() const
{
    return m_impl->isOpen();
}

} // namespace Logger::Util
