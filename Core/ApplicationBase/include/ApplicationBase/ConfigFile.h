#pragma once

#include "ZelApi.h"

#include <boost/any.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace boost::program_options {
class options_description;
class variables_map;
} // namespace boost::program_options

// config.ini: one "name=value" line per option value, in a form that
// boost::program_options::parse_config_file reads back to the same value.
class ZEL_API ConfigFile
{
public:
    // Parses text into variables (options, response file and command line stored before keep
    // their values). Lines whose names no option knows are kept for writing back. Throws what
    // boost::program_options throws for invalid text.
    void parse(const std::string& text, const boost::program_options::options_description& options,
               boost::program_options::variables_map& variables);

    // The whole file: one line per non-defaulted value and per kept line, in ascending byte order
    // of the names. A value config.ini cannot hold gets no line and an ERROR record.
    std::string format(const boost::program_options::variables_map& variables) const;

    // The text that reads back as value, or nothing for a type or value config.ini cannot hold.
    static std::optional<std::string> formatValue(const boost::any& value);

    const std::vector<std::pair<std::string, std::string>>& keptLines() const { return m_kept; }

private:
    std::vector<std::pair<std::string, std::string>> m_kept;
};
