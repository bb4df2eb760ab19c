#pragma once

#include <osg/Node>
#include <osg/ref_ptr>
#include <string>
#include <vector>

class PipeInputBuffer;

// Parses the scene the reader helper sends: uncompressed, schema-less binary .osgb only, read
// by HelperStreamIterator, with no file read on the way (a ProxyNode's or an image's file
// name opens nothing). What it gives has passed SceneGraphCheck, and every image's mipmap
// levels lie within the data it was given. Arrays the helper sent as blocks of the memory file
// arraysFd (ArrayBlockReader) are in place before the geometries are checked.
class HelperStreamParser
{
public:
    // Null with the reason when the stream holds no sound scene; otherwise the scene's distinct
    // nodes, parents first, go to nodes.
    static osg::ref_ptr<osg::Node> parse(PipeInputBuffer& buffer, std::string& error,
                                         std::vector<const osg::Node*>& nodes, int arraysFd = -1);
};
