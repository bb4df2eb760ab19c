#pragma once

#include <osg/Node>

// Large triangle meshes that come as separate triangles with one normal per corner, all three
// the same (as STL files do), are sent as shared corners with an index list and no normals: a
// sixth of the vertices and half the data per vertex, and the program computes the facet's
// normal while drawing (FlatShading), which looks the same.
class FlatMeshWelder
{
public:
    // Triangles below this many are left as they are.
    static constexpr unsigned int minimumTriangles = 4096;
    // Returns the number of meshes welded.
    static unsigned int weld(osg::Node& scene);
};
