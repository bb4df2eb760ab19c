#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace osg {
class Node;
}

// Checks that a scene read from a file can be traversed and drawn, without recursion:
// - a malformed file can make a group its own descendant (every visitor then recurses until
//   the stack overflows), or nest so deep that a traversal overflows it all the same;
// - groups that list one child many times over make a small file with more paths than any
//   traversal can walk (40 levels of doubled children: 2^40); a traversal visits a node once
//   per path, so the paths are bounded;
// - every geometry must be drawable as it is (GeometryCheck).
class SceneGraphCheck
{
public:
    static constexpr int maximumDepth = 4096;
    // Node visits of one traversal of the whole scene.
    static constexpr std::uint64_t maximumVisits = std::uint64_t(1) << 22;

    // Empty when the graph is sound, otherwise what is wrong with it. The distinct nodes go to
    // nodes, when given, each once and every parent before its children.
    static std::string problem(const osg::Node& root,
                               std::vector<const osg::Node*>* nodes = nullptr);
    // The two halves of problem(): the graph's shape (its distinct nodes, parents first, go to
    // nodes), then the geometries among those nodes.
    static std::string structureProblem(const osg::Node& root,
                                        std::vector<const osg::Node*>& nodes);
    static std::string geometryProblem(const std::vector<const osg::Node*>& nodes);
};
