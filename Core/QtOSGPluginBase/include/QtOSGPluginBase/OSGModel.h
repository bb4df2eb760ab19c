#pragma once

#include "QtOSGPluginBase/IOSGModel.h"

#include <QObject>
#include <memory>

class PluginFactory;
class UndoHistory;

namespace osg {
class StateSet;
}

// The scene model. Its graph:
//   ROOT - STAGES
//        - RENDER_ROOT - APPEARANCE - FILE_ROOT - SCENE (transform) - BEACONS
//                                                                    - CAMERAS
//                                               - PLUGIN_DATA
//                      - TOOLS
// The names can be changed before a graph is built; every lookup uses the current names.
class ZEL_API OSGModel : public QObject,
                         public IOSGModel,
                         public std::enable_shared_from_this<IOSGModel>
{
    Q_OBJECT

public:
    OSGModel(PluginFactory* factory, EventSystem* eventSystem, const std::string& name,
             const Uuid& uuid);
    ~OSGModel() override;

    bool handleEvent(Event& event) override;
    bool sendEvent(ModelEvent& event) override;

    osg::ref_ptr<osg::Group> getRoot() const override { return m_root; }
    osg::ref_ptr<osg::Group> getRenderRoot() const override { return m_renderRoot; }
    osg::ref_ptr<osg::Group> getScene() const override { return m_scene; }
    osg::ref_ptr<osg::Group> getTools() const override { return m_tools; }
    osg::ref_ptr<osg::Group> getAppearance() const override { return m_appearance; }
    osg::ref_ptr<osg::Group> getFileRoot() const override { return m_fileRoot; }
    osg::ref_ptr<osg::Group> getPluginData() const override { return m_pluginData; }
    osg::ref_ptr<osg::Group> getBeacons() const override { return m_beacons; }
    osg::ref_ptr<osg::Group> getStages() const override { return m_stages; }

    CommandResult executeCommand(std::unique_ptr<ICommand> command) override;
    using IOSGModel::loadNodeFromFile;
    osg::ref_ptr<osg::Node> loadNodeFromFile(const std::string& path, FileResult& result) override;

    QUndoStack* getUndoStack() override { return m_undoStack.get(); }
    QAction* getUndoAction() override;
    QAction* getRedoAction() override;
    QAction* getClearUndoAction() override;

    SetOfNodes getSelectedNodes() const override { return m_selectedNodes; }
    SetOfChunks getSelectedChunks() const override { return m_selectedChunks; }

    std::string getRootName() const override { return m_rootName; }
    std::string getRenderRootName() const override { return m_renderRootName; }
    std::string getAppearanceName() const override { return m_appearanceName; }
    std::string getStagesName() const override { return m_stagesName; }
    std::string getFileRootName() const override { return m_fileRootName; }
    std::string getToolsName() const override { return m_toolsName; }
    std::string getSceneName() const override { return m_sceneName; }
    std::string getBeaconsName() const override { return m_beaconsName; }
    std::string getCamerasName() const override { return m_camerasName; }
    std::string getPluginDataName() const override { return m_pluginDataName; }

    std::list<NodeReader*> getReaders() const override;
    std::list<NodeWriter*> getWriters() const override;

    bool resetSceneGraph() override;
    bool resetScene() override;
    void setScene(const osg::ref_ptr<osg::Group>& scene, bool check = true) override;
    void setSceneGraph(const osg::ref_ptr<osg::Group>& root) override;

    void selectNodes(const SetOfNodes& nodes) override;
    void deselectNodes(const SetOfNodes& nodes) override;
    void setSelectedNodes(const SetOfNodes& nodes) override;
    void clearSelectedNodes() override { m_selectedNodes.clear(); }
    void setSelectedChunks(const SetOfChunks& chunks) override { m_selectedChunks = chunks; }
    void clearSelectedChunks() override { m_selectedChunks.clear(); }

    void setTraversalMask(osg::Node* node, osg::Node::NodeMask mask, bool recursive) override;
    void showPathToRoot(osg::Node* node, bool includeNode) override;

    void setRootName(const std::string& name) { m_rootName = name; }
    void setRenderRootName(const std::string& name) { m_renderRootName = name; }
    void setAppearanceName(const std::string& name) { m_appearanceName = name; }
    void setStagesName(const std::string& name) { m_stagesName = name; }
    void setFileRootName(const std::string& name) { m_fileRootName = name; }
    void setToolsName(const std::string& name) { m_toolsName = name; }
    void setSceneName(const std::string& name) { m_sceneName = name; }
    void setBeaconsName(const std::string& name) { m_beaconsName = name; }
    void setCamerasName(const std::string& name) { m_camerasName = name; }
    void setPluginDataName(const std::string& name) { m_pluginDataName = name; }

    osg::ref_ptr<osg::Group> createDefaultSceneGraph() const;
    osg::ref_ptr<osg::Group> createDefaultScene() const;
    // Red line boxes in world space around the selected nodes, in a group under TOOLS.
    void showBoundingBoxesOfSelectedNodes();
    void hideBoundingBoxesOfSelectedNodes();
    // True if root has the default layout, each node a direct child of its parent; with apply,
    // the model takes the ten nodes over.
    bool checkDefaultLayout(const osg::ref_ptr<osg::Group>& root, bool apply);

    // Scene data that only the undo history keeps alive (replaced scenes, undone loads) is held
    // up to this many bytes; beyond it the oldest steps are dropped.
    void setUndoMemoryBudget(std::size_t bytes);
    static constexpr std::size_t defaultUndoMemoryBudget = std::size_t(512) << 20;

private:
    void adoptSceneChildren();
    // After every change of the undo stack: nodes that left the graph leave the selection, and
    // the boxes follow.
    void followScene();
    void keepHistoryWithinBudget();
    // The undo action's tool tip tells how much the history keeps.
    void describeHistory();

    osg::ref_ptr<osg::Group> m_root;
    osg::ref_ptr<osg::Group> m_renderRoot;
    osg::ref_ptr<osg::Group> m_appearance;
    osg::ref_ptr<osg::Group> m_stages;
    osg::ref_ptr<osg::Group> m_fileRoot;
    osg::ref_ptr<osg::Group> m_tools;
    osg::ref_ptr<osg::Group> m_scene;
    osg::ref_ptr<osg::Group> m_beacons;
    osg::ref_ptr<osg::Group> m_cameras;
    osg::ref_ptr<osg::Group> m_pluginData;

    std::string m_rootName = "ROOT";
    std::string m_renderRootName = "RENDER_ROOT";
    std::string m_appearanceName = "APPEARANCE";
    std::string m_stagesName = "STAGES";
    std::string m_fileRootName = "FILE_ROOT";
    std::string m_toolsName = "TOOLS";
    std::string m_sceneName = "SCENE";
    std::string m_beaconsName = "BEACONS";
    std::string m_camerasName = "CAMERAS";
    std::string m_pluginDataName = "PLUGIN_DATA";

    // The undo and redo actions follow the stack: they are destroyed first.
    std::unique_ptr<QUndoStack> m_undoStack;
    std::unique_ptr<QAction> m_undoAction;
    std::unique_ptr<QAction> m_redoAction;
    QAction* m_clearUndoAction = nullptr;
    std::unique_ptr<UndoHistory> m_history;
    std::size_t m_undoBudget = defaultUndoMemoryBudget;

    SetOfNodes m_selectedNodes;
    SetOfChunks m_selectedChunks;
    osg::ref_ptr<osg::StateSet> m_highlightMaterial;
    osg::ref_ptr<osg::Group> m_boundingBoxes;
    PluginFactory* m_factory;
};
