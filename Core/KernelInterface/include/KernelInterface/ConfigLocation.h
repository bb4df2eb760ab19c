#pragma once

#include <string>

// Where a plug-in's configuration files lie: shipped defaults and the user's own.
struct ConfigLocation
{
    std::string defaultDir;
    std::string userDir;
    std::string fileName;
    std::string pluginName;
    std::string extra;
};
