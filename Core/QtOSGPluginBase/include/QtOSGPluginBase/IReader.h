#pragma once

#include "QtOSGPluginBase/IFileIO.h"

#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

namespace osgDB {
class Options;
}

// A plug-in that reads scene files. Returns null on failure, after logging why.
template <class T> class ZEL_API IReader : public IFileIO
{
public:
    virtual T read(const std::string& path, const osgDB::Options* options) = 0;
};

using NodeReader = IReader<osg::ref_ptr<osg::Node>>;
