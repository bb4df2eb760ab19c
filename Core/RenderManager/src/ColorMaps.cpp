#include "ColorMaps.h"

#include <algorithm>
#include <cmath>

namespace ColorMaps {
namespace {

using Entry = osg::Vec4f;

float position(int i)
{
    return static_cast<float>(i) / (Entries - 1);
}

Entry mix(const Entry& a, const Entry& b, float t)
{
    return a * (1.0f - t) + b * t;
}

// Fully saturated colour of a hue in degrees, 0 red, 120 green, 240 blue.
Entry hue(float degrees)
{
    const float h = std::fmod(std::max(degrees, 0.0f), 360.0f) / 60.0f;
    const float x = 1.0f - std::fabs(std::fmod(h, 2.0f) - 1.0f);
    const int sector = static_cast<int>(h);
    const float rgb[6][3] = {{1, x, 0}, {x, 1, 0}, {0, 1, x}, {0, x, 1}, {x, 0, 1}, {1, 0, x}};
    const float* c = rgb[std::min(sector, 5)];
    return Entry(c[0], c[1], c[2], 1.0f);
}

Entry computed(int index, int i)
{
    const float t = position(i);
    switch (index) {
    case 3:
        return Entry(t, t, t, 1.0f);
    case 16:
        return Entry(1.0f - t, 1.0f - t, 1.0f - t, 1.0f);
    case 11: {
        // Red to cyan at the middle and back: the last entry meets the first.
        const float s = 1.0f - std::fabs(2.0f * t - 1.0f);
        return mix(Entry(1, 0, 0, 1), Entry(0, 1, 1, 1), s);
    }
    default: {
        // A hue sweep from blue (240) to red (0) through (0.011, 1, 0) at entry 128.
        constexpr float MiddleHue = 120.0f - 0.011f * 60.0f;
        const float degrees = i <= 128 ? 240.0f + (MiddleHue - 240.0f) * (i / 128.0f)
                                       : MiddleHue * (1.0f - (i - 128) / 127.0f);
        return hue(degrees);
    }
    }
}

const PublishedMap* published(int index)
{
    const PublishedMap* end = publishedMaps + publishedMapCount;
    const PublishedMap* found = std::find_if(
        publishedMaps, end, [index](const PublishedMap& map) { return map.index == index; });
    return found == end ? nullptr : found;
}

} // namespace

std::vector<osg::Vec4f> entries(int index)
{
    if (index < 0 || index >= Count)
        return {};
    std::vector<Entry> result(Entries);
    const PublishedMap* map = published(index);
    for (int i = 0; i < Entries; ++i)
        result[i] =
            map ? Entry(map->rgb[i][0], map->rgb[i][1], map->rgb[i][2], 1.0f) : computed(index, i);
    return result;
}

const char* name(int index)
{
    if (const PublishedMap* map = published(index))
        return map->name;
    switch (index) {
    case 3:
        return "grey";
    case 11:
        return "red-cyan cyclic";
    case 12:
        return "blue-green-red";
    case 16:
        return "white-black";
    default:
        return "";
    }
}

} // namespace ColorMaps
