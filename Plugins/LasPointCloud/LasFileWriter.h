#pragma once

#include <osg/Node>
#include <string>

// Writes every vertex of a scene as a point of a LAS 1.2 file of point format 2 (RGB), in
// world coordinates. Coordinates are scaled integers around the centre of the points' bounds,
// at 0.1 mm while the scene spans up to some 400 km and coarser beyond. The file replaces an
// existing one only when it is complete.
class LasFileWriter
{
public:
    // Returns why not, or "" when written. pointsWritten tells how many points the file holds.
    static std::string write(const osg::Node& node, const std::string& path,
                             std::uint64_t* pointsWritten = nullptr);

    // The finest scale of 10^-4 to 10^6 at which every coordinate of the bounds fits a signed
    // 32-bit integer around the offset.
    static double chooseScale(double minimum, double maximum, double offset);
};
