#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IWriter.h"

// Writes scene files through osgDB. A file is first written into a fresh folder next to the
// target and moved over it only when osgDB succeeded and the file is not empty, so a failed
// save never destroys the previous file.
class SceneWriter : public PluginSDK::Plugin<SceneWriter>, public NodeWriter
{
public:
    SceneWriter(IKernel* kernel, const PluginInstanceInfo& info);
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override;
    bool write(const osg::ref_ptr<osg::Node>& node, const std::string& path) override;

private:
    bool checkTarget(const osg::Node* node, const std::string& path,
                     const std::string& extension) const;

    std::string m_filter;
};
