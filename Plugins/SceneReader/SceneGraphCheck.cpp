#include "SceneGraphCheck.h"

#include "GeometryCheck.h"

#include <algorithm>
#include <osg/Geometry>
#include <osg/Group>
#include <unordered_map>
#include <utility>

namespace {

enum class State
{
    OnPath,
    Done
};

std::string describe(const osg::Node& node)
{
    return "\"" + node.getName() + "\" (" + node.className() + ")";
}

// Depth first with an explicit stack; the distinct nodes in the order their walk finished.
std::string finishOrder(const osg::Node& root, std::vector<const osg::Node*>& finished)
{
    std::unordered_map<const osg::Node*, State> seen;
    std::vector<std::pair<const osg::Node*, unsigned int>> path{{&root, 0}};
    seen[&root] = State::OnPath;
    while (!path.empty()) {
        auto& [node, next] = path.back();
        const osg::Group* group = node->asGroup();
        if (!group || next >= group->getNumChildren()) {
            seen[node] = State::Done;
            finished.push_back(node);
            path.pop_back();
            continue;
        }
        const osg::Node* child = group->getChild(next++);
        if (!child)
            continue;
        const auto found = seen.find(child);
        if (found != seen.end() && found->second == State::OnPath)
            return "the scene graph has a cycle: " + describe(*child) + " is its own descendant";
        if (found != seen.end())
            continue;
        if (path.size() >= static_cast<std::size_t>(SceneGraphCheck::maximumDepth))
            return "the scene graph nests deeper than " +
                   std::to_string(SceneGraphCheck::maximumDepth) + " levels";
        seen[child] = State::OnPath;
        path.emplace_back(child, 0);
    }
    return {};
}

// Counts the paths to every node, parents first, and stops beyond the bound.
std::string pathProblem(const std::vector<const osg::Node*>& parentsFirst)
{
    std::unordered_map<const osg::Node*, std::uint64_t> paths;
    paths[parentsFirst.front()] = 1;
    std::uint64_t visits = 0;
    for (const osg::Node* node : parentsFirst) {
        const std::uint64_t here = paths[node];
        visits += here;
        if (visits > SceneGraphCheck::maximumVisits)
            return "a traversal of the scene graph would visit more than " +
                   std::to_string(SceneGraphCheck::maximumVisits) +
                   " nodes: its groups share children too often";
        if (const osg::Group* group = node->asGroup())
            for (unsigned int i = 0; i < group->getNumChildren(); ++i)
                if (const osg::Node* child = group->getChild(i))
                    paths[child] =
                        std::min(paths[child] + here, SceneGraphCheck::maximumVisits + 1);
    }
    return {};
}

} // namespace

std::string SceneGraphCheck::problem(const osg::Node& root, std::vector<const osg::Node*>* nodes)
{
    std::vector<const osg::Node*> order;
    std::string problem = structureProblem(root, order);
    if (problem.empty())
        problem = geometryProblem(order);
    if (problem.empty() && nodes)
        *nodes = std::move(order);
    return problem;
}

std::string SceneGraphCheck::structureProblem(const osg::Node& root,
                                              std::vector<const osg::Node*>& nodes)
{
    std::vector<const osg::Node*> order;
    std::string problem = finishOrder(root, order);
    if (!problem.empty())
        return problem;
    std::reverse(order.begin(), order.end());
    problem = pathProblem(order);
    if (problem.empty())
        nodes = std::move(order);
    return problem;
}

std::string SceneGraphCheck::geometryProblem(const std::vector<const osg::Node*>& nodes)
{
    for (const osg::Node* node : nodes) {
        const osg::Drawable* drawable = node->asDrawable();
        const osg::Geometry* geometry = drawable ? drawable->asGeometry() : nullptr;
        if (std::string problem; geometry && !(problem = GeometryCheck::problem(*geometry)).empty())
            return "the geometry " + describe(*geometry) + " cannot be drawn: " + problem;
    }
    return {};
}
