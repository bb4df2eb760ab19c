#pragma once

namespace osg {
class Node;
}

// Draws meshes that come without normals (FlatMeshWelder took them out) with the normal of each
// facet, computed per pixel from the position's screen-space derivatives, lit by the first light
// as OpenSceneGraph's default lighting does.
class FlatShading
{
public:
    // The user value with which the reader helper asks for it.
    static const char* const key;

    // Gives the asking geometries below scene the shading; returns how many there were.
    static unsigned int apply(osg::Node& scene);
};
