#pragma once

#include <cstdint>
#include <map>
#include <osg/BoundingBox>
#include <string>
#include <vector>

namespace osg {
class Node;
}

// What a saved file must give back of a scene: every node by name and node mask, the triangles,
// vertices and user values, and the bounding box. Each node counts once however many parents
// it has, so that a shared subgraph costs its size and not its number of paths.
class SceneSummary
{
public:
    explicit SceneSummary(osg::Node& root);

    // Empty when a file read back as this summary holds the original; else what it lost or
    // changed, in words.
    std::string differenceFrom(const SceneSummary& original) const;

    std::uint64_t triangles() const { return m_triangles; }

private:
    class Collector;

    // Node name to the node masks of the nodes of that name, sorted.
    std::map<std::string, std::vector<unsigned>> m_nodes;
    std::uint64_t m_triangles = 0;
    std::uint64_t m_vertices = 0;
    std::uint64_t m_userValues = 0;
    osg::BoundingBoxd m_box;
};
