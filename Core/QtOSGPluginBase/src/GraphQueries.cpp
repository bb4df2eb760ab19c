#include "QtOSGPluginBase/GraphQueries.h"

#include <osg/Group>
#include <unordered_set>
#include <vector>

bool isBelow(const osg::Node& node, const osg::Node& ancestor)
{
    std::unordered_set<const osg::Node*> seen{&node};
    std::vector<const osg::Node*> open{&node};
    while (!open.empty()) {
        const osg::Node* at = open.back();
        open.pop_back();
        if (at == &ancestor)
            return true;
        for (unsigned int i = 0; i < at->getNumParents(); ++i)
            if (seen.insert(at->getParent(i)).second)
                open.push_back(at->getParent(i));
    }
    return false;
}

osg::NodePath firstParentPath(osg::Node& node)
{
    osg::NodePath path;
    std::unordered_set<const osg::Node*> seen;
    for (osg::Node* at = &node; at && seen.insert(at).second;
         at = at->getNumParents() > 0 ? at->getParent(0) : nullptr)
        path.insert(path.begin(), at);
    return path;
}
