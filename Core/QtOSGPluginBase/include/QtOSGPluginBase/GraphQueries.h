#pragma once

#include "ZelApi.h"

#include <osg/Node>

// Questions about where a node hangs. They walk up through the parents, visiting each ancestor
// once: a node below a shared subgraph has many paths up, too many to list.

// Whether ancestor lies above node along any of its parents (or is the node itself).
ZEL_API bool isBelow(const osg::Node& node, const osg::Node& ancestor);

// The path from the top through the first parents down to node: one path, however many there
// are; it stops at a cycle.
ZEL_API osg::NodePath firstParentPath(osg::Node& node);
