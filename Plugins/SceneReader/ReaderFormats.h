#pragma once

#include <string>

// The scene formats offered for reading, and the osgDB options each is read with.
class ReaderFormats
{
public:
    // Filter string of the families whose osgDB plug-in library is installed, one entry per
    // family: "Description (*.a;*.b)" joined by ";;".
    static std::string installedFilterString();

    // osgDB reader options for an extension (lower case, no dot): the ones that skip slow
    // optimisation passes on large meshes. Empty when the format has none.
    static std::string optionString(const std::string& extension);
};
