#pragma once

#include "EventSystem/EventHandler.h"
#include "QtOSGPluginBase/ICommand.h"
#include "QtOSGPluginBase/IReader.h"
#include "QtOSGPluginBase/IWriter.h"
#include "QtOSGPluginBase/SetOfChunks.h"
#include "QtOSGPluginBase/SetOfNodes.h"
#include "QtOSGPluginBase/ZELModel.h"

#include <cstdint>
#include <list>
#include <memory>
#include <osg/Group>
#include <string>

class QAction;
class QUndoStack;
struct ModelEvent;

// The scene model as viewers, tools and plug-ins see it: one graph with a fixed layout of named
// groups, the selection, and the undo stack of model commands. Held by shared pointer.
class ZEL_API IOSGModel : public EventHandler, public ZELModel
{
public:
    IOSGModel(EventSystem* eventSystem, const std::string& name, const Uuid& uuid);
    ~IOSGModel() override;

    // Stamps the model's UUID into the event and dispatches it; true if a handler consumed it.
    virtual bool sendEvent(ModelEvent& event) = 0;

    virtual osg::ref_ptr<osg::Group> getRoot() const = 0;
    virtual osg::ref_ptr<osg::Group> getRenderRoot() const = 0;
    virtual osg::ref_ptr<osg::Group> getScene() const = 0;
    virtual osg::ref_ptr<osg::Group> getTools() const = 0;
    virtual osg::ref_ptr<osg::Group> getAppearance() const = 0;
    virtual osg::ref_ptr<osg::Group> getFileRoot() const = 0;
    virtual osg::ref_ptr<osg::Group> getPluginData() const = 0;
    virtual osg::ref_ptr<osg::Group> getBeacons() const = 0;
    virtual osg::ref_ptr<osg::Group> getStages() const = 0;

    // Undoable commands go onto the undo stack, which runs and owns them; any other command is
    // run once and then deleted, and clears the stack if it succeeded. A command that fails
    // leaves the history as it was; the result says why.
    virtual CommandResult executeCommand(std::unique_ptr<ICommand> command) = 0;
    // The one rule that picks a reader: the first whose filter names the file's extension; a
    // reader that does not handle the file passes it on to the next. Null with the reason in
    // result when nothing was read.
    virtual osg::ref_ptr<osg::Node> loadNodeFromFile(const std::string& path,
                                                     FileResult& result) = 0;
    osg::ref_ptr<osg::Node> loadNodeFromFile(const std::string& path);
    // The same rule over the given readers; safe on a worker thread while the readers live.
    static osg::ref_ptr<osg::Node> readNode(const std::list<NodeReader*>& readers,
                                            const std::string& path, FileResult& result);

    virtual QUndoStack* getUndoStack() = 0;
    virtual QAction* getUndoAction() = 0;
    virtual QAction* getRedoAction() = 0;
    virtual QAction* getClearUndoAction() = 0;

    virtual SetOfNodes getSelectedNodes() const = 0;
    virtual SetOfChunks getSelectedChunks() const = 0;

    virtual std::string getRootName() const = 0;
    virtual std::string getRenderRootName() const = 0;
    virtual std::string getAppearanceName() const = 0;
    virtual std::string getStagesName() const = 0;
    virtual std::string getFileRootName() const = 0;
    virtual std::string getToolsName() const = 0;
    virtual std::string getSceneName() const = 0;
    virtual std::string getBeaconsName() const = 0;
    virtual std::string getCamerasName() const = 0;
    virtual std::string getPluginDataName() const = 0;

    virtual std::list<NodeReader*> getReaders() const = 0;
    virtual std::list<NodeWriter*> getWriters() const = 0;

    virtual bool resetSceneGraph() = 0;
    virtual bool resetScene() = 0;
    virtual void setScene(const osg::ref_ptr<osg::Group>& scene, bool check = true) = 0;
    virtual void setSceneGraph(const osg::ref_ptr<osg::Group>& root) = 0;

    virtual void selectNodes(const SetOfNodes& nodes) = 0;
    virtual void deselectNodes(const SetOfNodes& nodes) = 0;
    virtual void setSelectedNodes(const SetOfNodes& nodes) = 0;
    virtual void clearSelectedNodes() = 0;
    virtual void setSelectedChunks(const SetOfChunks& chunks) = 0;
    virtual void clearSelectedChunks() = 0;

    virtual void setTraversalMask(osg::Node* node, osg::Node::NodeMask mask, bool recursive) = 0;
    // Makes the node (if includeNode) and every ancestor visible to all traversals.
    virtual void showPathToRoot(osg::Node* node, bool includeNode) = 0;
};
