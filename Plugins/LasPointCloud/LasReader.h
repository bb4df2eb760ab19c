#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IReader.h"

// Reads ASPRS LAS point clouds; a point cloud draws as points.
class LasReader : public PluginSDK::Plugin<LasReader>, public NodeReader
{
public:
    using Plugin::Plugin;
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override;
    osg::ref_ptr<osg::Node> read(const std::string& path, const osgDB::Options* options) override;
    osg::ref_ptr<osg::Node> readFile(const std::string& path, const osgDB::Options* options,
                                     FileResult& result) override;
};
