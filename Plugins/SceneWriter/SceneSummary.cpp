#include "SceneSummary.h"

#include <algorithm>
#include <cmath>
#include <osg/Drawable>
#include <osg/Geometry>
#include <osg/Transform>
#include <osg/TriangleFunctor>
#include <osg/UserDataContainer>
#include <sstream>
#include <unordered_map>

namespace {

struct TriangleCounter
{
    void operator()(const osg::Vec3&, const osg::Vec3&, const osg::Vec3&) { ++count; }
    std::uint64_t count = 0;
};

std::string quoted(const std::string& name)
{
    return name.empty() ? "an unnamed node" : "the node \"" + name + "\"";
}

} // namespace

// Walks the graph by hand rather than with a NodeVisitor, which would visit a shared node once
// for every path to it. The bounding box is built bottom-up for the same reason.
class SceneSummary::Collector
{
public:
    explicit Collector(SceneSummary& summary) : m_summary(summary) {}

    osg::BoundingBoxd visit(osg::Node& node)
    {
        const auto known = m_boxes.find(&node);
        if (known != m_boxes.end())
            return known->second;
        // A cycle ends here; the node is counted when its first visit completes.
        m_boxes[&node] = osg::BoundingBoxd();
        count(node);
        osg::BoundingBoxd box;
        if (osg::Drawable* drawable = node.asDrawable())
            box = countDrawable(*drawable);
        else if (osg::Group* group = node.asGroup())
            box = visitChildren(*group);
        m_boxes[&node] = box;
        return box;
    }

private:
    void count(osg::Node& node)
    {
        m_summary.m_nodes[node.getName()].push_back(node.getNodeMask());
        if (const osg::UserDataContainer* values = node.getUserDataContainer())
            m_summary.m_userValues += values->getNumUserObjects();
    }

    osg::BoundingBoxd countDrawable(osg::Drawable& drawable)
    {
        osg::TriangleFunctor<TriangleCounter> triangles;
        drawable.accept(triangles);
        m_summary.m_triangles += triangles.count;
        if (const osg::Geometry* geometry = drawable.asGeometry())
            if (const osg::Array* vertices = geometry->getVertexArray())
                m_summary.m_vertices += vertices->getNumElements();
        const osg::BoundingBox& box = drawable.getBoundingBox();
        return box.valid() ? osg::BoundingBoxd(box._min, box._max) : osg::BoundingBoxd();
    }

    osg::BoundingBoxd visitChildren(osg::Group& group)
    {
        osg::BoundingBoxd box;
        for (unsigned i = 0; i < group.getNumChildren(); ++i)
            if (osg::Node* child = group.getChild(i))
                box.expandBy(visit(*child));
        osg::Transform* transform = group.asTransform();
        osg::Matrixd matrix;
        if (!transform || !box.valid() || !transform->computeLocalToWorldMatrix(matrix, nullptr))
            return box;
        osg::BoundingBoxd moved;
        for (unsigned corner = 0; corner < 8; ++corner)
            moved.expandBy(box.corner(corner) * matrix);
        return moved;
    }

    SceneSummary& m_summary;
    std::unordered_map<const osg::Node*, osg::BoundingBoxd> m_boxes;
};

SceneSummary::SceneSummary(osg::Node& root)
{
    Collector collector(*this);
    m_box = collector.visit(root);
    for (auto& node : m_nodes)
        std::sort(node.second.begin(), node.second.end());
}

std::string SceneSummary::differenceFrom(const SceneSummary& original) const
{
    std::ostringstream difference;
    for (const auto& node : original.m_nodes) {
        const auto kept = m_nodes.find(node.first);
        const std::size_t keptCount = kept == m_nodes.end() ? 0 : kept->second.size();
        if (keptCount < node.second.size())
            difference << "it loses " << quoted(node.first);
        else if (kept->second != node.second)
            difference << "it changes the node mask of " << quoted(node.first);
        if (difference.tellp() > 0)
            return difference.str();
    }
    for (const auto& node : m_nodes) {
        const auto before = original.m_nodes.find(node.first);
        if (before == original.m_nodes.end() || before->second.size() < node.second.size())
            return "it has " + quoted(node.first) + " that the scene does not have";
    }
    if (m_triangles != original.m_triangles)
        difference << "it has " << m_triangles << " triangles instead of " << original.m_triangles;
    else if (m_vertices != original.m_vertices)
        difference << "it has " << m_vertices << " vertices instead of " << original.m_vertices;
    else if (m_userValues != original.m_userValues)
        difference << "it keeps " << m_userValues << " of the " << original.m_userValues
                   << " user values (plug-in data)";
    if (difference.tellp() > 0)
        return difference.str();

    if (m_box.valid() != original.m_box.valid())
        return "its bounding box differs";
    if (!m_box.valid())
        return {};
    // Close enough at a 100000th of the scene's size, or a float's precision of where it is.
    const osg::BoundingBoxd& box = original.m_box;
    double extent = 0;
    for (int i = 0; i < 3; ++i)
        extent = std::max({extent, std::abs(box._min[i]), std::abs(box._max[i])});
    const double tolerance = 1e-5 * (box._max - box._min).length() + 1e-7 * extent;
    for (int i = 0; i < 3; ++i)
        if (std::abs(m_box._min[i] - box._min[i]) > tolerance ||
            std::abs(m_box._max[i] - box._max[i]) > tolerance)
            return "its bounding box differs";
    return {};
}
