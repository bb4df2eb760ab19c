#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IReader.h"
#include "ReaderHelperProcess.h"

// Reads scene files of the formats osgDB offers, each in the confined reader helper process.
class SceneReader : public PluginSDK::Plugin<SceneReader>, public NodeReader
{
public:
    SceneReader(IKernel* kernel, const PluginInstanceInfo& info);
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override;
    osg::ref_ptr<osg::Node> read(const std::string& path, const osgDB::Options* options) override;
    // Not handled (no reader of this plug-in for it) passes the file on without an ERROR
    // record; any other failure is logged once, naming the file and the reason.
    osg::ref_ptr<osg::Node> readFile(const std::string& path, const osgDB::Options* options,
                                     FileResult& result) override;

private:
    // What needs no helper to be refused: no file, a directory, an empty file, an unknown type.
    FileResult checkFile(const std::string& path, const std::string& extension) const;

    std::string m_filter;
    ReaderHelperProcess m_helper;
};
