#pragma once

#include <boost/program_options/options_description.hpp>

// The options of the program itself; the application base adds its own and the plug-ins'.
boost::program_options::options_description programOptions();
