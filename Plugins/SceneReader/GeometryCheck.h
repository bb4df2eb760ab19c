#pragma once

#include <string>

namespace osg {
class Geometry;
}

// Checks what drawing a geometry and computing its bounds would take on trust: every array's
// binding and size against the vertices the primitive sets use, every index and range against
// the arrays, and only the primitive set kinds the program draws. A malformed file (or stream)
// can give an index of 400000000, which those would read far outside the arrays.
class GeometryCheck
{
public:
    // Instances a primitive set may ask for.
    static constexpr unsigned int maximumInstances = 1 << 16;

    // Empty when the geometry is sound, otherwise what is wrong with it.
    static std::string problem(const osg::Geometry& geometry);
};
