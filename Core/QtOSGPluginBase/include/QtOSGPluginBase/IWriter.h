#pragma once

#include "QtOSGPluginBase/IFileIO.h"

#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

// A plug-in that writes scene files. Returns false on failure, after logging why; a failed
// write leaves an existing file untouched.
template <class T> class ZEL_API IWriter : public IFileIO
{
public:
    virtual bool write(const T& node, const std::string& path) = 0;
};

using NodeWriter = IWriter<osg::ref_ptr<osg::Node>>;
