#pragma once

#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

// Reads a LAS file (1.0 to 1.4; point formats 0 to 3, and 6 to 8 in 1.4) into points: a
// geometry drawn as points, with the file's colours when its format has them, under a
// transform to the first point so that coordinates far from the origin keep their precision.
class LasFileReader
{
public:
    // More points than this are refused rather than allocated.
    static constexpr std::uint64_t MaximumPoints = 100'000'000;

    // Null, with reason set, when the file cannot be read.
    static osg::ref_ptr<osg::Node> read(const std::string& path, std::string& reason);
};
