#pragma once

#include "cpplog/BaseLogger.h"

#include <fstream>
#include <ostream>
#include <string>

namespace cpplog {

// Writes each record to a stream and flushes it, so the log is complete if the process dies.
class OstreamLogger : public BaseLogger
{
public:
    explicit OstreamLogger(std::ostream& stream) : m_stream(stream) {}
    bool deliver(LogData* data) override;

private:
    std::ostream& m_stream;
};

class StdErrLogger : public OstreamLogger
{
public:
    StdErrLogger();
};

class FileLogger : public OstreamLogger
{
public:
    explicit FileLogger(const std::string& path);

    const std::string& path() const { return m_path; }
    bool isOpen() const { return m_file.is_open(); }

private:
    // Initialised before the base stream reference is used: the base only stores it.
    std::string m_path;
    std::ofstream m_file;
};

} // namespace cpplog
