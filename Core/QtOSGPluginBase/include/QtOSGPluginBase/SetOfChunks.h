#pragma once

#include "QtOSGPluginBase/SelectionSet.h"

#include <osg/StateAttribute>

// Selected state attributes (material parts).
class ZEL_API SetOfChunks : public SelectionSet<osg::StateAttribute>
{
public:
    friend ZEL_API std::ostream& operator<<(std::ostream& stream, const SetOfChunks& chunks);
};
