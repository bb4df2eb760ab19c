#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IReader.h"
#include "ReaderHelperProcess.h"

// Reads scene files of the formats osgDB offers, each in the reader helper process.
class SceneReader : public PluginSDK::Plugin<SceneReader>, public NodeReader
{
public:
    SceneReader(IKernel* kernel, const PluginInstanceInfo& info);
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override;
    osg::ref_ptr<osg::Node> read(const std::string& path, const osgDB::Options* options) override;

private:
    // Refuses what needs no helper to be refused: no file, a directory, an empty file.
    bool checkFile(const std::string& path, const std::string& extension) const;

    std::string m_filter;
    ReaderHelperProcess m_helper;
};
