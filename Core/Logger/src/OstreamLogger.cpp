#include "OstreamLogger.h"

#include "cpplog/LogData.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>

namespace cpplog {

bool OstreamLogger::deliver(LogData* data)
{
    m_stream << data->stream.str();
    m_stream.flush();
    return true;
}

StdErrLogger::StdErrLogger() : OstreamLogger(std::cerr) {}

FileLogger::FileLogger(const std::string& path)
    : OstreamLogger(m_file), m_path(path), m_file(nullptr)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = errno;
        m_file.setstate(std::ios::badbit);
        return;
    }
    m_buffer = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::out, 1 << 12);
    m_file.rdbuf(m_buffer.get());
}

FileLogger::~FileLogger()
{
    m_file.flush();
    m_file.rdbuf(nullptr);
}

} // namespace cpplog
