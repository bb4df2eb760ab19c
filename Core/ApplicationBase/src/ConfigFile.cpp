#include "ApplicationBase/ConfigFile.h"

#include "Logger/Log.h"

#include <boost/core/demangle.hpp>
#include <boost/program_options/parsers.hpp>
#include <boost/program_options/variables_map.hpp>
#include <charconv>
#include <map>
#include <sstream>
#include <typeindex>

namespace po = boost::program_options;

namespace {

// parse_config_file trims blanks around a value and cuts a line at "#"; a line break would
// end the line. A value with any of these would not come back as written.
bool readsBack(const std::string& text)
{
    if (text.find_first_of("#\n\r") != std::string::npos)
        return false;
    const auto blank = [](char c) {
        return c == ' ' || c == '\t';
    };
    return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

template <class T> std::string integerText(const boost::any& value)
{
    return std::to_string(boost::any_cast<T>(value));
}

// The shortest text that reads back as exactly the same floating value.
template <class T> std::string floatingText(const boost::any& value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, boost::any_cast<T>(value));
    return std::string(buffer, result.ptr);
}

template <class T> std::string characterText(const boost::any& value)
{
    return std::string(1, static_cast<char>(boost::any_cast<T>(value)));
}

std::string stringText(const boost::any& value)
{
    return boost::any_cast<std::string>(value);
}

std::string boolText(const boost::any& value)
{
    return boost::any_cast<bool>(value) ? "1" : "0";
}

using Formatter = std::string (*)(const boost::any&);

// Every type whose text boost::program_options parses back (through lexical_cast).
const std::map<std::type_index, Formatter>& formatters()
{
    static const std::map<std::type_index, Formatter> table{
        {typeid(float), &floatingText<float>},
        {typeid(double), &floatingText<double>},
        {typeid(long double), &floatingText<long double>},
        {typeid(std::string), &stringText},
        {typeid(bool), &boolText},
        {typeid(short), &integerText<short>},
        {typeid(unsigned short), &integerText<unsigned short>},
        {typeid(int), &integerText<int>},
        {typeid(unsigned int), &integerText<unsigned int>},
        {typeid(long), &integerText<long>},
        {typeid(unsigned long), &integerText<unsigned long>},
        {typeid(long long), &integerText<long long>},
        {typeid(unsigned long long), &integerText<unsigned long long>},
        {typeid(char), &characterText<char>},
        {typeid(signed char), &characterText<signed char>},
        {typeid(unsigned char), &characterText<unsigned char>},
    };
    return table;
}

} // namespace

std::optional<std::string> ConfigFile::formatValue(const boost::any& value)
{
    // A value-less option reads back from "name=", never from a bare name.
    if (value.empty())
        return std::string();
    const auto formatter = formatters().find(value.type());
    if (formatter == formatters().end())
        return std::nullopt;
    std::string text = formatter->second(value);
    if (!readsBack(text))
        return std::nullopt;
    return text;
}

void ConfigFile::parse(const std::string& text, const po::options_description& options,
                       po::variables_map& variables)
{
    std::istringstream stream(text);
    const po::parsed_options parsed = po::parse_config_file(stream, options, true);
    po::store(parsed, variables);
    po::notify(variables);
    m_kept.clear();
    for (const po::option& option : parsed.options) {
        if (!option.unregistered)
            continue;
        ZEL_WARN << "Unknown option " << option.string_key << " encountered in config file\n";
        m_kept.emplace_back(option.string_key, option.value.empty() ? "" : option.value.front());
    }
}

std::string ConfigFile::format(const po::variables_map& variables) const
{
    std::multimap<std::string, std::string> lines;
    for (const auto& [name, value] : variables) {
        if (value.defaulted())
            continue;
        const std::optional<std::string> text = formatValue(value.value());
        if (!text) {
            const std::type_info& type = value.value().type();
            if (formatters().count(type))
                ZEL_ERROR << "configuration value of " << name
                          << " cannot be written to config.ini so that it reads back; left out\n";
            else
                ZEL_ERROR << "unsupported configuration value type "
                          << boost::core::demangle(type.name()) << "\n";
            continue;
        }
        lines.emplace(name, name + "=" + *text + "\n");
    }
    for (const auto& [name, value] : m_kept)
        if (!variables.count(name))
            lines.emplace(name, name + "=" + value + "\n");

    std::string file;
    for (const auto& line : lines)
        file += line.second;
    return file;
}
