#pragma once

#include <string>

namespace OSG {

// The render bin of the colour-mapping G-buffer pass. Before each drawable it draws, it sets
// the current value of the generic vertex attribute at DrawableArraysLocation to a bit set of
// the arrays the drawable has (bit 0 vertices, 1 normals, 2 colours, 3 to 10 texture
// coordinates 0 to 7), so that the shader can tell an attribute the geometry lacks from
// whatever value the GL holds for it.
namespace GBufferRenderBin {

constexpr unsigned int DrawableArraysLocation = 6;

// Registers the bin with osgUtil once and returns its name.
const std::string& name();

} // namespace GBufferRenderBin
} // namespace OSG
