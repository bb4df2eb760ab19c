#include "VertexBufferVisitor.h"

#include <osg/Drawable>

VertexBufferVisitor::VertexBufferVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}

void VertexBufferVisitor::apply(osg::Drawable& drawable)
{
    drawable.setUseDisplayList(false);
    drawable.setUseVertexBufferObjects(true);
}
