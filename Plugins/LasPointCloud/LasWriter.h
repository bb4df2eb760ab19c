#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IWriter.h"

// Writes the vertices of a scene as an ASPRS LAS 1.2 point cloud with colours.
class LasWriter : public PluginSDK::Plugin<LasWriter>, public NodeWriter
{
public:
    using Plugin::Plugin;
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override;
    bool write(const osg::ref_ptr<osg::Node>& node, const std::string& path) override;
    FileResult writeFile(const osg::ref_ptr<osg::Node>& node, const std::string& path) override;
};
