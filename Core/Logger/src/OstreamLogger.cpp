#include "OstreamLogger.h"

#include "cpplog/LogData.h"

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
    : OstreamLogger(m_file), m_path(path), m_file(path, std::ios::out | std::ios::trunc)
{}

} // namespace cpplog
