#pragma once

#include "cpplog/BaseLogger.h"

#include <ext/stdio_filebuf.h>
#include <memory>
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

// Writes to a file it creates: an existing file or link of that name is never followed nor
// truncated (a log in a shared temporary directory must not become a way to overwrite files).
class FileLogger : public OstreamLogger
{
public:
    explicit FileLogger(const std::string& path);
    ~FileLogger() override;

    const std::string& path() const { return m_path; }
    bool isOpen() const { return m_buffer != nullptr; }
    // errno of a failed creation, 0 when open.
    int error() const { return m_error; }

private:
    // Initialised before the base stream reference is used: the base only stores it.
    std::string m_path;
    int m_error = 0;
    std::unique_ptr<__gnu_cxx::stdio_filebuf<char>> m_buffer;
    std::ostream m_file;
};

} // namespace cpplog
