#pragma once

#include <cstdint>

// Parameters a viewer hands to a pipeline; pipelines ignore the kinds they do not know.
struct RenderParameters
{
    static constexpr std::uint32_t ColorMappingKind = 256;

    // Range only.
    RenderParameters(float minimum_, float maximum_, bool banding_, std::uint32_t bandCount_)
        : minimum(minimum_), maximum(maximum_), banding(banding_), bandCount(bandCount_),
          hasRange(1)
    {}
    // Range and colour map.
    RenderParameters(float minimum_, float maximum_, bool banding_, std::uint32_t colorMap_,
                     std::uint32_t bandCount_)
        : minimum(minimum_), maximum(maximum_), banding(banding_), bandCount(bandCount_),
          hasRange(1), colorMap(colorMap_), hasColorMap(1)
    {}
    // Colour map only.
    explicit RenderParameters(std::uint32_t colorMap_) : colorMap(colorMap_), hasColorMap(1) {}

    std::uint32_t kind = ColorMappingKind;
    float minimum = 0.0f;
    float maximum = 0.0f;
    bool banding = false;
    std::uint32_t bandCount = 0;
    std::uint32_t hasRange = 0;
    std::uint32_t colorMap = 0;
    std::uint32_t hasColorMap = 0;
};
