#pragma once

#include <string>
#include <vector>

namespace osg {
class Node;
}

// Puts the arrays the reader helper handed over as blocks of a memory file (ArrayBlockFormat)
// in the place of their stand-ins, trusting nothing the helper wrote: the table's counts and
// every block's size, kind and place in the file are checked before anything is allocated or
// read, and every stand-in must name a block of its own kind. The arrays it puts in place must
// still pass GeometryCheck (HelperStreamParser checks them after), so that an index list cannot
// point past its arrays.
class ArrayBlockReader
{
public:
    // nodes: the scene's distinct nodes; fd: the memory file, or -1 when there is none. Empty
    // when every stand-in was replaced, otherwise why the scene cannot be used.
    static std::string restore(int fd, const std::vector<const osg::Node*>& nodes);
};
