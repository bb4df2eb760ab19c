#pragma once

#include <string>
#include <vector>

namespace osg {
class Node;
}

// Files a scene names for loading later: ProxyNode and PagedLOD children. The reader helper
// loads what it may before it sends a scene; the program never opens them (its pager loads
// nothing), so whatever file names are left are dropped here.
class ExternalReferences
{
public:
    // Clears the file names of every ProxyNode and PagedLOD among the nodes (which belong to
    // the caller) and says which names were dropped, one text each.
    static std::vector<std::string> dropFileNames(const std::vector<const osg::Node*>& nodes);
};
