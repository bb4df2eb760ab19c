#pragma once

#include "QtOSGPluginBase/FileResult.h"
#include "QtOSGPluginBase/IFileIO.h"

#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

namespace osgDB {
class Options;
}

// A plug-in that reads scene files. read() returns null on failure, after logging why.
template <class T> class ZEL_API IReader : public IFileIO
{
public:
    virtual T read(const std::string& path, const osgDB::Options* options) = 0;

    // Reads and tells why not, so that the caller can show the user the reason. A reader that
    // knows more than null-or-not overrides it; NotHandled passes the file to the next reader.
    virtual T readFile(const std::string& path, const osgDB::Options* options, FileResult& result)
    {
        T value = read(path, options);
        result = !value ? FileResult::failed("the reader gave no reason") : FileResult::done();
        return value;
    }
};

using NodeReader = IReader<osg::ref_ptr<osg::Node>>;
