#pragma once

#include "QtOSGPluginBase/OsgFormatFilter.h"

#include <iosfwd>
#include <osgDB/ReaderWriter>
#include <string>
#include <vector>

// The formats the writer offers and how osgDB writes and reads them. Offered are the formats
// whose files read back to the scene that was saved: names, groups, transforms, node masks and
// user values. OBJ, STL, 3DS, DXF, OpenFlight and AC3D lose names or groups or do not read back
// at all; .osg and .ive drop user values, and .ive drops drawables that hang under a group.
// A scene file is one file: osgDB is kept from writing other files (external references) or
// reading any while it works on one.
class SceneFileFormats
{
public:
    static const std::vector<OsgFormatFamily>& families();

    // Writes node in the format of extension (lower case, no dot) to out.
    static osgDB::ReaderWriter::WriteResult write(const osg::Node& node,
                                                  const std::string& extension, std::ostream& out);

    // Reads a file of the format of extension from in.
    static osgDB::ReaderWriter::ReadResult read(std::istream& in, const std::string& extension);
};
