#include "ApplicationBase/ConfigFile.h"

#include "LogCapture.h"

#include <boost/program_options/options_description.hpp>
#include <boost/program_options/parsers.hpp>
#include <boost/program_options/value_semantic.hpp>
#include <boost/program_options/variables_map.hpp>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <sstream>

namespace po = boost::program_options;

namespace {

po::variables_map parseBack(const std::string& text, const po::options_description& options)
{
    std::istringstream stream(text);
    po::variables_map variables;
    po::store(po::parse_config_file(stream, options, true), variables);
    return variables;
}

// Writes one value of type T under each name, reads the file back with boost and expects the
// very same values.
template <class T> void expectRoundTrip(const std::vector<T>& values)
{
    po::options_description options;
    po::variables_map written;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string name = "value" + std::to_string(i);
        options.add_options()(name.c_str(), po::value<T>());
        written.emplace(name, po::variable_value(boost::any(values[i]), false));
    }
    LogCapture log;
    const std::string text = ConfigFile().format(written);
    EXPECT_TRUE(log.records().empty()) << typeid(T).name() << "\n" << text;
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');

    const po::variables_map read = parseBack(text, options);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string name = "value" + std::to_string(i);
        ASSERT_TRUE(read.count(name)) << name << " of " << typeid(T).name() << "\n" << text;
        const T back = read[name].as<T>();
        if constexpr (std::is_floating_point_v<T>) {
            if (std::isnan(values[i])) {
                EXPECT_TRUE(std::isnan(back)) << text;
                continue;
            }
            EXPECT_EQ(std::signbit(back), std::signbit(values[i])) << text;
        }
        EXPECT_EQ(back, values[i]) << name << " of " << typeid(T).name() << "\n" << text;
    }
}

template <class T> void expectIntegerRoundTrip()
{
    using Limits = std::numeric_limits<T>;
    expectRoundTrip<T>({Limits::min(), Limits::max(), T(0), T(1), T(Limits::max() / 3)});
}

template <class T> void expectFloatingRoundTrip()
{
    using Limits = std::numeric_limits<T>;
    std::vector<T> values{T(3.14159265L),
                          T(0.1L),
                          T(-2.5L),
                          T(0),
                          -T(0),
                          Limits::max(),
                          Limits::lowest(),
                          Limits::min(),
                          Limits::denorm_min(),
                          Limits::infinity(),
                          -Limits::infinity(),
                          T(1e-7L),
                          T(123456789.123456789L)};
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> exponent(-30, 30);
    for (int i = 0; i < 200; ++i)
        values.push_back(static_cast<T>(std::pow(10.0, exponent(random)) * (i % 2 ? 1 : -1)));
    expectRoundTrip<T>(values);
}

TEST(ConfigFileTest, EveryTypeBoostParsesBackReadsBackExactly)
{
    expectIntegerRoundTrip<short>();
    expectIntegerRoundTrip<unsigned short>();
    expectIntegerRoundTrip<int>();
    expectIntegerRoundTrip<unsigned int>();
    expectIntegerRoundTrip<long>();
    expectIntegerRoundTrip<unsigned long>();
    expectIntegerRoundTrip<long long>();
    expectIntegerRoundTrip<unsigned long long>();
    expectFloatingRoundTrip<float>();
    expectFloatingRoundTrip<double>();
    expectFloatingRoundTrip<long double>();
    expectRoundTrip<bool>({true, false});
    expectRoundTrip<char>({'a', 'Z', '~'});
    expectRoundTrip<std::string>({"", "plain", "with blanks inside", "C:\\path\\x=y", "ä/ö"});

    // Written for people to read too: no more digits than needed.
    po::variables_map pi;
    pi.emplace("pi", po::variable_value(boost::any(3.14159265), false));
    EXPECT_EQ(ConfigFile().format(pi), "pi=3.14159265\n");
}

TEST(ConfigFileTest, ValuesThatCannotReadBackWriteNoLineAtAll)
{
    po::variables_map variables;
    const auto put = [&](const std::string& name, boost::any value) {
        variables.emplace(name, po::variable_value(std::move(value), false));
    };
    put("a-first", 1);
    put("b-vector", std::vector<int>{1, 2});
    put("c-comment", std::string("before # after"));
    put("d-break", std::string("one\ntwo"));
    put("e-leading", std::string(" padded"));
    put("f-struct", std::pair<int, int>(1, 2));
    put("g-flag", boost::any());
    put("h-last", std::string("end"));
    put("i-defaulted", 5);
    variables.erase("i-defaulted");
    variables.emplace("i-defaulted", po::variable_value(boost::any(5), true));

    LogCapture log;
    const std::string text = ConfigFile().format(variables);
    EXPECT_EQ(text, "a-first=1\ng-flag=\nh-last=end\n");
    EXPECT_TRUE(log.contains("unsupported configuration value type std::vector<int"));
    EXPECT_TRUE(log.contains("unsupported configuration value type std::pair<int, int>"));

    po::options_description options;
    options.add_options()("a-first", po::value<int>())("g-flag", "")("h-last",
                                                                     po::value<std::string>());
    const po::variables_map read = parseBack(text, options);
    EXPECT_EQ(read["a-first"].as<int>(), 1);
    EXPECT_EQ(read["h-last"].as<std::string>(), "end");
    EXPECT_TRUE(read.count("g-flag"));
}

TEST(ConfigFileTest, LinesOfUnknownNamesAreKeptInOrder)
{
    po::options_description options;
    options.add_options()("known", po::value<int>())("zeta", po::value<int>());
    po::variables_map variables;
    const char* commandLine[] = {"program", "--known", "7"};
    po::store(po::parse_command_line(3, commandLine, options), variables);

    LogCapture log;
    ConfigFile file;
    file.parse("# comment\ngone-plugin-level = 3 # note\nknown=2\ngone-plugin-level=5\nzeta=4\n"
               "[section]\nkey=a b\n",
               options, variables);
    EXPECT_TRUE(log.contains("Unknown option gone-plugin-level encountered in config file\n"));
    EXPECT_TRUE(log.contains("Unknown option section.key encountered in config file\n"));
    // The command line's value stands; config.ini fills in the rest.
    EXPECT_EQ(variables["known"].as<int>(), 7);
    EXPECT_EQ(variables["zeta"].as<int>(), 4);

    const std::string text = file.format(variables);
    EXPECT_EQ(text, "gone-plugin-level=3\ngone-plugin-level=5\nknown=7\nsection.key=a b\nzeta=4\n");
    po::variables_map again;
    ConfigFile reread;
    reread.parse(text, options, again);
    EXPECT_EQ(reread.format(again), text);
}

} // namespace
