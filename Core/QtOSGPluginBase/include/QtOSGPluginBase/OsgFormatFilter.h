#pragma once

#include "ZelApi.h"

#include <string>
#include <vector>

// A family of scene formats osgDB handles, as a file dialog lists it.
struct OsgFormatFamily
{
    const char* description;
    std::vector<const char*> extensions;
};

// The filter string of the families whose osgDB plug-in library is installed, one entry per
// family: "Description (*.a;*.b)" joined by ";;"; extensions without a library are left out.
ZEL_API std::string installedOsgFormatFilter(const std::vector<OsgFormatFamily>& families);
