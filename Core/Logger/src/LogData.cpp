#include "cpplog/LogData.h"

#include <cstring>

namespace cpplog {

namespace {

void writeTimeOfDay(std::ostream& stream, std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    char text[9];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    stream << text;
}

} // namespace

const char* levelName(std::uint32_t level)
{
    static const char* const names[] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"};
    return level < std::size(names) ? names[level] : "OTHER";
}

const char* fileNameOf(const char* path)
{
    if (const char* slash = std::strrchr(path, '/'))
        return slash + 1;
    if (const char* backslash = std::strrchr(path, '\\'))
        return backslash + 1;
    return path;
}

LogData::LogData(std::uint32_t level_, const char* fullPath_, std::uint32_t line_)
    : level(level_), line(line_), fullPath(fullPath_), fileName(fileNameOf(fullPath_)),
      messageTime(std::time(nullptr))
{
    stream << levelName(level) << ' ';
    writeTimeOfDay(stream, messageTime);
    stream << ' ' << fileName << '(' << line << ") ";
}

} // namespace cpplog
