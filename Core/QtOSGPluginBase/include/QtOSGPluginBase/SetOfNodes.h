#pragma once

#include "QtOSGPluginBase/SelectionSet.h"

#include <osg/Node>

// Selected scene nodes.
class ZEL_API SetOfNodes : public SelectionSet<osg::Node>
{
public:
    friend ZEL_API std::ostream& operator<<(std::ostream& stream, const SetOfNodes& nodes);
};
