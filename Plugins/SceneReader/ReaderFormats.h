#pragma once

#include <string>

// The scene formats offered for reading, and the osgDB options each is read with.
class ReaderFormats
{
public:
    // osgDB reader options for an extension (lower case, no dot): the ones that skip slow
    // optimisation passes on large meshes. Empty when the format has none.
    static std::string optionString(const std::string& extension);
};
