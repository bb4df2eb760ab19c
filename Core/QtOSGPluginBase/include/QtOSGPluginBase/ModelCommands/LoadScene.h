#pragma once

#include "QtOSGPluginBase/ModelCommands/ModelCommand.h"

#include <osg/Group>
#include <osg/Matrix>
#include <string>

namespace MODCMD {

// Reads a scene file and hangs it under SCENE. A file holding a saved FILE_ROOT is merged: its
// scene content goes to SCENE, its beacons to BEACONS and its plug-in data replaces PLUGIN_DATA.
// Replacing empties SCENE, BEACONS and CAMERAS first but keeps the groups themselves. The file is
// read on the first run only; a redo brings back the same nodes, so that commands stacked above
// this one still find the nodes they refer to, and undo puts back exactly what was there.
class ZEL_API LoadScene : public ModelCommand
{
    Q_OBJECT

public:
    LoadScene(const std::string& path, bool replace);
    // For a file read already (on a worker thread, while the window went on): no second read.
    LoadScene(const std::string& path, bool replace, osg::ref_ptr<osg::Node> read);
    ~LoadScene() override;

    bool isUndoable() const override { return true; }
    // Reads the file, on the first run only: a failed read leaves no command on the stack.
    bool prepare() override;
    NodeList heldNodes() const override;

protected:
    void applyRedoChanges() override;
    void applyUndoChanges() override;

private:
    // A group's children and, for a transform, its matrix, as they were.
    struct GroupContent
    {
        GroupContent() = default;
        explicit GroupContent(osg::Group* group_);
        void restore();

        osg::ref_ptr<osg::Group> group;
        NodeList children;
        osg::Matrix matrix;
    };

    void clearScene(IOSGModel& model);
    void recordLayoutContent(IOSGModel& model, const osg::Node& fileRoot);
    void mergeLayoutContent(IOSGModel& model);

    static void addNodes(const NodeList& nodes, osg::Group* parent);
    static void removeNodes(const NodeList& nodes, osg::Group* parent);
    static NodeList collectChildren(const osg::Node* node);

    std::string m_path;
    bool m_replace;
    osg::ref_ptr<osg::Node> m_read;
    osg::ref_ptr<osg::Node> m_node;
    bool m_layoutFile = false;
    bool m_firstRun = true;
    NodeList m_sceneContent;
    NodeList m_beaconContent;
    NodeList m_pluginDataContent;
    GroupContent m_previousPluginData;
    std::vector<GroupContent> m_replacedContent;
};

} // namespace MODCMD
