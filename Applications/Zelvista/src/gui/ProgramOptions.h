#pragma once

#include <boost/program_options/options_description.hpp>
#include <boost/program_options/positional_options.hpp>

// The options of the program itself; the application base adds its own and the plug-ins'.
boost::program_options::options_description programOptions();

// A scene file named without an option opens as with "--loadFile", as in any desktop viewer.
boost::program_options::positional_options_description programPositionalOptions();
