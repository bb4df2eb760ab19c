#pragma once

#include "QtOSGPluginBase/FileResult.h"
#include "QtOSGPluginBase/IFileIO.h"

#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

// A plug-in that writes scene files. write() returns false on failure, after logging why; a
// failed write leaves an existing file untouched.
template <class T> class ZEL_API IWriter : public IFileIO
{
public:
    virtual bool write(const T& node, const std::string& path) = 0;

    // Writes and tells why not, so that the caller can show the user the reason.
    virtual FileResult writeFile(const T& node, const std::string& path)
    {
        return write(node, path) ? FileResult::done()
                                 : FileResult::failed("the writer gave no reason");
    }
};

using NodeWriter = IWriter<osg::ref_ptr<osg::Node>>;
