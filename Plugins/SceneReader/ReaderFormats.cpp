#include "ReaderFormats.h"

std::string ReaderFormats::optionString(const std::string& extension)
{
    // Tri-stripping a million-triangle STL takes osgDB over ten minutes; vertex buffer objects
    // draw the plain triangles just as fast.
    if (extension == "stl" || extension == "obj")
        return "noTriStripPolygons";
    // Triangle fans are osgDB's own default for COLLADA; full tessellation is far slower.
    if (extension == "dae")
        return "daeTessellatePolygonsAsTriFans";
    return {};
}
