#pragma once

#include <array>
#include <osg/Vec4f>
#include <vector>

// The colour maps of the colour-mapping pipeline: 18 maps of 256 RGBA entries, alpha 1.
namespace ColorMaps {

constexpr int Count = 18;
constexpr int Entries = 256;
// Blue over green to red, the pipeline's default.
constexpr int Default = 12;

// Map index's 256 entries; an index out of range gives an empty list.
std::vector<osg::Vec4f> entries(int index);
// A short name for messages ("viridis", "grey", ...); "" out of range.
const char* name(int index);

struct PublishedMap
{
    int index;
    const char* name;
    std::array<std::array<float, 3>, Entries> rgb;
};
extern const PublishedMap publishedMaps[];
extern const int publishedMapCount;

} // namespace ColorMaps
