#include "ReaderFormats.h"

#include <osgDB/FileUtils>
#include <osgDB/Registry>
#include <vector>

namespace {

struct Family
{
    const char* description;
    std::vector<const char*> extensions;
};

const std::vector<Family>& families()
{
    static const std::vector<Family> list{
        {"OpenSceneGraph", {"osgt", "osgb", "osgx", "osg", "ive"}},
        {"Wavefront OBJ", {"obj"}},
        {"Stereolithography STL", {"stl"}},
        {"Stanford PLY", {"ply"}},
        {"3D Studio", {"3ds"}},
        {"COLLADA", {"dae"}},
        {"AutoCAD DXF", {"dxf"}},
        {"OpenFlight", {"flt"}},
        {"AC3D", {"ac"}},
        {"LightWave", {"lwo", "lw"}},
        {"VRML and Open Inventor", {"wrl", "iv"}},
        {"DirectX", {"x"}},
    };
    return list;
}

bool readerLibraryInstalled(const std::string& extension)
{
    osgDB::Registry* registry = osgDB::Registry::instance();
    return !osgDB::findLibraryFile(registry->createLibraryNameForExtension(extension)).empty();
}

} // namespace

std::string ReaderFormats::installedFilterString()
{
    std::string filter;
    for (const Family& family : families()) {
        std::string patterns;
        for (const char* extension : family.extensions)
            if (readerLibraryInstalled(extension))
                patterns += (patterns.empty() ? "*." : ";*.") + std::string(extension);
        if (patterns.empty())
            continue;
        filter +=
            (filter.empty() ? "" : ";;") + std::string(family.description) + " (" + patterns + ")";
    }
    return filter;
}

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
