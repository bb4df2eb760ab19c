#pragma once

#include <cstdint>
#include <ctime>
#include <sstream>

namespace cpplog {

// One log record: the header written at creation, then the caller's text.
struct LogData
{
    LogData(std::uint32_t level, const char* fullPath, std::uint32_t line);

    std::ostringstream stream;
    std::uint32_t level;
    std::uint32_t line;
    const char* fullPath;
    const char* fileName;
    std::time_t messageTime;
};

// The name a level carries in text: TRACE..FATAL, OTHER for anything else.
const char* levelName(std::uint32_t level);

// The part of a path after its last '/', else after its last '\\', else the whole path.
const char* fileNameOf(const char* path);

} // namespace cpplog
