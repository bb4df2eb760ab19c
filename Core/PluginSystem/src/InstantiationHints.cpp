#include "InstantiationHints.h"

#include "Logger/Log.h"

#include <boost/filesystem.hpp>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace InstantiationHints {

namespace {

struct Category
{
    const char* name;
    std::int32_t upperBound;
};

constexpr Category categories[] = {{"BASE", 100},  {"UTIL", 1000},   {"SCENE", 10000},
                                   {"UI", 100000}, {"APP", 1000000}, {"UNDEF", 2147483647}};

void readLine(const std::string& line, const std::string& path, std::map<Uuid, std::int32_t>& hints)
{
    if (line.empty() || line[0] == '#')
        return;
    std::istringstream fields(line);
    std::string word = "invalid";
    fields >> word;
    std::int32_t hint = none;
    if (!(fields >> hint))
        hint = none;
    if (word == "invalid" || (word.size() != 35 && word.size() != 36))
        return;

    Uuid uuid{};
    if (!parseUuid(word, uuid, word.size() == 35)) {
        ZEL_ERROR << "PIO: failed parsing uuid " << word << " in " << path << "\n";
        return;
    }
    if (hint == none) {
        ZEL_ERROR << "PIO: cannot parse instantiation hint for " << word << "\n";
        return;
    }
    ZEL_INFO << "PIO: " << word << " set instantiation hint " << hint << "\n";
    hints.emplace(uuid, hint);
}

} // namespace

std::map<Uuid, std::int32_t> read(const std::string& path)
{
    std::map<Uuid, std::int32_t> hints;
    boost::system::error_code error;
    if (!boost::filesystem::is_regular_file(path, error))
        return hints;
    std::ifstream file(path);
    char buffer[1023];
    while (file) {
        file.getline(buffer, sizeof buffer);
        // A line too long for the buffer stops reading; its beginning is still handled.
        if (file.gcount() == 0 && !file)
            break;
        readLine(buffer, path, hints);
    }
    return hints;
}

std::string describe(const std::string& name, std::int32_t hint)
{
    const Category* category = &categories[std::size(categories) - 1];
    for (const Category& candidate : categories)
        if (hint <= candidate.upperBound) {
            category = &candidate;
            break;
        }
    char text[2048];
    std::snprintf(text, sizeof text, "Instantiate %s (%s %+d)\n", name.c_str(), category->name,
                  hint - category->upperBound);
    return text;
}

} // namespace InstantiationHints
