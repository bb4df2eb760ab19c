#pragma once

#include <string>

namespace osg {
class Node;
}

// Checks that a scene read from a file can be traversed: a malformed file can make a group its
// own descendant (every visitor then recurses until the stack overflows), or nest so deep
// that a traversal overflows it all the same. Works without recursion.
class SceneGraphCheck
{
public:
    static constexpr int maximumDepth = 4096;

    // Empty when the graph is sound, otherwise what is wrong with it.
    static std::string problem(const osg::Node& root);
};
