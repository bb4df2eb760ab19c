#include "Logger/File.h"

#include "Logger/Log.h"
#include "OstreamLogger.h"
#include "cpplog/MultiplexLogger.h"

#include <cstring>

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
    // A file that could not be made takes no records, and leaves the earlier ones to others.
    if (!m_impl->isOpen())
        return;
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

std::string File::error() const
{
    return m_impl->isOpen() ? std::string() : std::strerror(m_impl->error());
}

int File::errorNumber() const
{
    return m_impl->error();
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
