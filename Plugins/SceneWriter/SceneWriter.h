#pragma once

#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IWriter.h"

namespace osg {
class Node;
}
class SaveTarget;

// Writes scene files through osgDB, so that a save never lies and never loses a file: the new
// file is written into a hidden folder next to the target, synced, checked to have every byte
// and to read back to the same scene, and only then renamed over the old file.
class SceneWriter : public PluginSDK::Plugin<SceneWriter>, public NodeWriter
{
public:
    SceneWriter(IKernel* kernel, const PluginInstanceInfo& info);
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override;
    bool write(const osg::ref_ptr<osg::Node>& node, const std::string& path) override;
    FileResult writeFile(const osg::ref_ptr<osg::Node>& node, const std::string& path) override;

private:
    // Each returns why not, or nothing.
    std::string save(osg::Node* node, const std::string& path) const;
    std::string refusal(const osg::Node* node, const std::string& path,
                        const std::string& extension) const;
    static std::string writeStaged(osg::Node& node, const std::string& extension,
                                   const std::string& file, const SaveTarget& target);
    static std::string checkStaged(osg::Node& node, const std::string& extension,
                                   const std::string& file);

    std::string m_filter;
};
