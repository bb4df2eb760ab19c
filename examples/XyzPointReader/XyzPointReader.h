#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IReader.h"

// Reads point lists in text, one point per line: "x y z" or "x y z r g b" (colours 0 to 255);
// empty lines and lines starting with '#' are skipped. The points draw at the size given by
// --xyz-point-size.
class XyzPointReader : public PluginSDK::Plugin<XyzPointReader>, public NodeReader
{
public:
    XyzPointReader(IKernel* kernel, const PluginInstanceInfo& info);
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override;
    osg::ref_ptr<osg::Node> read(const std::string& path, const osgDB::Options* options) override;
    osg::ref_ptr<osg::Node> readFile(const std::string& path, const osgDB::Options* options,
                                     FileResult& result) override;

private:
    float m_pointSize = 2.0f;
};
