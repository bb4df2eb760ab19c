#pragma once

#include <osg/NodeVisitor>

// Switches every geometry below a node from display lists to vertex buffer objects: display
// lists of large meshes take long to compile and double the memory.
class VertexBufferVisitor : public osg::NodeVisitor
{
public:
    VertexBufferVisitor();

    void apply(osg::Drawable& drawable) override;
};
