#include "SceneGraphCheck.h"

#include <osg/Group>
#include <unordered_map>
#include <utility>
#include <vector>

std::string SceneGraphCheck::problem(const osg::Node& root)
{
    enum class State
    {
        OnPath,
        Done
    };
    std::unordered_map<const osg::Node*, State> seen;
    // Depth-first with an explicit stack: the node and the index of its next child.
    std::vector<std::pair<const osg::Node*, unsigned int>> path{{&root, 0}};
    seen[&root] = State::OnPath;
    while (!path.empty()) {
        auto& [node, next] = path.back();
        const osg::Group* group = node->asGroup();
        if (!group || next >= group->getNumChildren()) {
            seen[node] = State::Done;
            path.pop_back();
            continue;
        }
        const osg::Node* child = group->getChild(next++);
        if (!child)
            continue;
        const auto found = seen.find(child);
        if (found != seen.end() && found->second == State::OnPath)
            return "the scene graph has a cycle: \"" + child->getName() + "\" (" +
                   child->className() + ") is its own descendant";
        if (found != seen.end())
            continue;
        if (path.size() >= static_cast<std::size_t>(maximumDepth))
            return "the scene graph nests deeper than " + std::to_string(maximumDepth) + " levels";
        seen[child] = State::OnPath;
        path.emplace_back(child, 0);
    }
    return {};
}
