#include "ProgramOptions.h"

#include <boost/program_options/value_semantic.hpp>
#include <string>

namespace po = boost::program_options;

po::options_description programOptions()
{
    po::options_description options("Allowed options");
    options.add_options()("fullscreen", "enable fullscreen mode on startup")(
        "loadFile", po::value<std::string>(), "Load scene file");
    return options;
}

po::positional_options_description programPositionalOptions()
{
    po::positional_options_description positional;
    positional.add("loadFile", 1);
    return positional;
}
