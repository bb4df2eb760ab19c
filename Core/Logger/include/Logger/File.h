#pragma once

#include "ZelApi.h"

#include <memory>
#include <string>

namespace cpplog {
class MultiplexLogger;
}

namespace Logger::Util {

// A log file, written and flushed record by record for as long as this handle lives. The file
// is created new: if the name is taken (by a file or a link) nothing is opened, and isOpen()
// and error() say so.
class ZEL_API File
{
public:
    class Impl;

    // withEarlierRecords: the file begins with the records the multiplexer kept from before.
    explicit File(const std::string& path, cpplog::MultiplexLogger* multiplexer = nullptr,
                  bool withEarlierRecords = false);
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    const std::string& path() const;
    bool isOpen() const;
    // Why the file could not be created; empty when it is open.
    std::string error() const;
    int errorNumber() const;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace Logger::Util
