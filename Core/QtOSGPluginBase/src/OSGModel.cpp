#include "QtOSGPluginBase/OSGModel.h"

#include "EventSystem/EventSystem.h"
#include "Logger/Log.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/GraphQueries.h"
#include "QtOSGPluginBase/ModelCommands/IModelCommand.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "UndoHistory.h"

#include <QAction>
#include <QUndoStack>
#include <iterator>
#include <osg/ComputeBoundsVisitor>
#include <osg/Geometry>
#include <osg/Material>
#include <osg/MatrixTransform>
#include <vector>

namespace {

constexpr osg::Node::NodeMask allTraversals = 0xffffffff;
// The top bit stays clear: traversals that ask for it skip the stages, appearance and boxes.
constexpr osg::Node::NodeMask withoutTopBit = 0x7fffffff;
const char* const boundingBoxesName = "SELECTED_NODES_BBOXES";

template <class T> osg::ref_ptr<T> makeNode(const std::string& name)
{
    osg::ref_ptr<T> node = new T;
    node->setName(name);
    return node;
}

// Only direct children count: the layout is fixed level by level.
osg::Group* findChildGroup(osg::Group* parent, const std::string& name)
{
    for (unsigned int i = 0; parent && i < parent->getNumChildren(); ++i)
        if (parent->getChild(i)->getName() == name)
            return parent->getChild(i)->asGroup();
    return nullptr;
}

osg::ref_ptr<osg::StateSet> createHighlightMaterial()
{
    osg::ref_ptr<osg::Material> material = new osg::Material;
    material->setDiffuse(osg::Material::FRONT_AND_BACK, osg::Vec4(0, 0, 0, 1));
    material->setEmission(osg::Material::FRONT_AND_BACK, osg::Vec4(1, 0, 0, 1));
    material->setSpecular(osg::Material::FRONT_AND_BACK, osg::Vec4(0, 0, 0, 1));
    material->setAmbient(osg::Material::FRONT_AND_BACK, osg::Vec4(0, 0, 0, 1));
    osg::ref_ptr<osg::StateSet> stateSet = new osg::StateSet;
    stateSet->setName("HighlightMaterial");
    stateSet->setAttributeAndModes(material);
    // Unlit, the lines take their own red colour whatever the lights are.
    stateSet->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return stateSet;
}

osg::BoundingBox worldBoundingBox(osg::Node& node)
{
    osg::ComputeBoundsVisitor visitor;
    osg::NodePath path = firstParentPath(node);
    // The node's own transform is applied by the visitor.
    path.pop_back();
    osg::Matrix parentToWorld = osg::computeLocalToWorld(path);
    visitor.pushMatrix(parentToWorld);
    node.accept(visitor);
    return visitor.getBoundingBox();
}

osg::ref_ptr<osg::Geometry> createBoxLines(const osg::BoundingBox& box, osg::StateSet* material)
{
    const osg::Vec3 lo = box._min;
    const osg::Vec3 hi = box._max;
    const osg::Vec3 corners[] = {{lo.x(), lo.y(), hi.z()}, {hi.x(), lo.y(), hi.z()},
                                 {hi.x(), hi.y(), hi.z()}, {lo.x(), hi.y(), hi.z()},
                                 {lo.x(), lo.y(), lo.z()}, {hi.x(), lo.y(), lo.z()},
                                 {hi.x(), hi.y(), lo.z()}, {lo.x(), hi.y(), lo.z()}};
    static const GLushort indices[] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6,
                                       6, 7, 7, 4, 1, 5, 2, 6, 0, 4, 3, 7};
    const osg::Vec4 red(1, 0, 0, 1);
    osg::ref_ptr<osg::Geometry> geometry = makeNode<osg::Geometry>("SELECTED_NODE_BBOX");
    geometry->setVertexArray(new osg::Vec3Array(std::size(corners), corners));
    geometry->setColorArray(new osg::Vec4Array(1, &red), osg::Array::BIND_OVERALL);
    geometry->addPrimitiveSet(new osg::DrawElementsUShort(GL_LINES, std::size(indices), indices));
    geometry->setStateSet(material);
    return geometry;
}

} // namespace

OSGModel::OSGModel(PluginFactory* factory, EventSystem* eventSystem, const std::string& name,
                   const Uuid& uuid)
    : IOSGModel(eventSystem, name, uuid), m_undoStack(std::make_unique<QUndoStack>()),
      m_history(std::make_unique<UndoHistory>(*m_undoStack)), m_factory(factory)
{
    resetSceneGraph();
    m_highlightMaterial = createHighlightMaterial();
    connect(m_undoStack.get(), &QUndoStack::indexChanged, this, &OSGModel::followScene);
}

OSGModel::~OSGModel()
{
    // The stack outlives this body and clears itself when it goes.
    m_undoStack->disconnect(this);
}

bool OSGModel::handleEvent(Event&)
{
    return false;
}

bool OSGModel::sendEvent(ModelEvent& event)
{
    event.modelUuid = getUuid();
    return getEventSystem() && getEventSystem()->dispatch(event);
}

CommandResult OSGModel::executeCommand(std::unique_ptr<ICommand> command)
{
    if (!command)
        return CommandResult::failed("no command given");
    if (auto* modelCommand = dynamic_cast<MODCMD::IModelCommand*>(command.get()))
        if (!modelCommand->setModel(weak_from_this().lock()))
            return CommandResult::failed("the model is not held by a shared pointer");
    if (!command->prepare())
        return CommandResult::failed(command->failureReason());
    if (command->isUndoable()) {
        m_history->push(std::move(command));
        keepHistoryWithinBudget();
        return CommandResult::done();
    }
    command->redo();
    if (command->failed())
        return CommandResult::failed(command->failureReason());
    m_undoStack->clear();
    return CommandResult::done();
}

osg::ref_ptr<osg::Node> OSGModel::loadNodeFromFile(const std::string& path, FileResult& result)
{
    return readNode(getReaders(), path, result);
}

// Qt puts a blank between prefix and command text, so the prefixes "Undo: " and "Redo: " are
// given without theirs.
QAction* OSGModel::getUndoAction()
{
    if (!m_undoAction) {
        m_undoAction.reset(m_undoStack->createUndoAction(nullptr, tr("Undo:")));
        describeHistory();
    }
    return m_undoAction.get();
}

QAction* OSGModel::getRedoAction()
{
    if (!m_redoAction)
        m_redoAction.reset(m_undoStack->createRedoAction(nullptr, tr("Redo:")));
    return m_redoAction.get();
}

QAction* OSGModel::getClearUndoAction()
{
    if (!m_clearUndoAction)
        m_clearUndoAction = new QAction(tr("Clear Undo-Cue"), this);
    return m_clearUndoAction;
}

std::list<NodeReader*> OSGModel::getReaders() const
{
    return m_factory ? m_factory->getInstances<NodeReader>() : std::list<NodeReader*>();
}

std::list<NodeWriter*> OSGModel::getWriters() const
{
    return m_factory ? m_factory->getInstances<NodeWriter>() : std::list<NodeWriter*>();
}

osg::ref_ptr<osg::Group> OSGModel::createDefaultScene() const
{
    osg::ref_ptr<osg::Group> scene = makeNode<osg::MatrixTransform>(m_sceneName);
    scene->addChild(makeNode<osg::Group>(m_beaconsName));
    scene->addChild(makeNode<osg::Group>(m_camerasName));
    return scene;
}

osg::ref_ptr<osg::Group> OSGModel::createDefaultSceneGraph() const
{
    osg::ref_ptr<osg::Group> scene = createDefaultScene();
    if (!scene) {
        ZEL_ERROR << "OSGModel::createDefaultSceneGraph: Failed to create default scene.\n";
        return nullptr;
    }
    osg::ref_ptr<osg::Group> root = makeNode<osg::Group>(m_rootName);
    osg::ref_ptr<osg::Group> renderRoot = makeNode<osg::Group>(m_renderRootName);
    osg::ref_ptr<osg::Group> appearance = makeNode<osg::Group>(m_appearanceName);
    osg::ref_ptr<osg::Group> fileRoot = makeNode<osg::Group>(m_fileRootName);
    root->addChild(makeNode<osg::Group>(m_stagesName));
    root->addChild(renderRoot);
    renderRoot->addChild(appearance);
    renderRoot->addChild(makeNode<osg::Group>(m_toolsName));
    appearance->addChild(fileRoot);
    fileRoot->addChild(scene);
    fileRoot->addChild(makeNode<osg::Group>(m_pluginDataName));
    return root;
}

bool OSGModel::checkDefaultLayout(const osg::ref_ptr<osg::Group>& root, bool apply)
{
    if (!root || root->getName() != m_rootName)
        return false;
    osg::Group* stages = findChildGroup(root, m_stagesName);
    osg::Group* renderRoot = findChildGroup(root, m_renderRootName);
    osg::Group* appearance = findChildGroup(renderRoot, m_appearanceName);
    osg::Group* tools = findChildGroup(renderRoot, m_toolsName);
    osg::Group* fileRoot = findChildGroup(appearance, m_fileRootName);
    osg::Group* scene = findChildGroup(fileRoot, m_sceneName);
    osg::Group* pluginData = findChildGroup(fileRoot, m_pluginDataName);
    osg::Group* beacons = findChildGroup(scene, m_beaconsName);
    osg::Group* cameras = findChildGroup(scene, m_camerasName);
    if (!stages || !tools || !pluginData || !beacons || !cameras)
        return false;
    if (apply) {
        m_root = root;
        m_stages = stages;
        m_renderRoot = renderRoot;
        m_appearance = appearance;
        m_tools = tools;
        m_fileRoot = fileRoot;
        m_scene = scene;
        m_pluginData = pluginData;
        m_beacons = beacons;
        m_cameras = cameras;
        m_stages->setNodeMask(withoutTopBit);
        m_appearance->setNodeMask(withoutTopBit);
    }
    return true;
}

bool OSGModel::resetSceneGraph()
{
    clearSelectedNodes();
    osg::ref_ptr<osg::Group> root = createDefaultSceneGraph();
    if (!root) {
        ZEL_ERROR << "OSGModel::resetSceneGraph: Failed to create default tree.\n";
        return false;
    }
    if (!checkDefaultLayout(root, true)) {
        ZEL_ERROR << "OSGModel::resetSceneGraph: Default tree is not valid.\n";
        return false;
    }
    return true;
}

bool OSGModel::resetScene()
{
    clearSelectedNodes();
    osg::ref_ptr<osg::Group> scene = createDefaultScene();
    if (!scene) {
        ZEL_ERROR << "OSGModel::resetScene: Failed to create default sceen\n";
        return false;
    }
    m_fileRoot->removeChild(m_scene);
    m_fileRoot->removeChild(m_pluginData);
    m_scene = scene;
    m_fileRoot->addChild(m_scene);
    m_fileRoot->addChild(m_pluginData);
    adoptSceneChildren();
    return true;
}

void OSGModel::setScene(const osg::ref_ptr<osg::Group>& scene, bool check)
{
    if (!scene)
        return;
    osg::ref_ptr<osg::Group> previous = m_scene;
    m_fileRoot->removeChild(previous);
    m_scene = scene;
    m_fileRoot->addChild(m_scene);
    if (check && !checkDefaultLayout(m_root, false)) {
        ZEL_WARN << "OSGModel::setScene: Scene does not have default layout. Aborting.\n";
        m_fileRoot->removeChild(m_scene);
        m_scene = previous;
        m_fileRoot->addChild(m_scene);
        return;
    }
    adoptSceneChildren();
}

// BEACONS and CAMERAS follow the scene that holds them, so that they never point into a scene
// that has left the graph.
void OSGModel::adoptSceneChildren()
{
    if (osg::Group* beacons = findChildGroup(m_scene, m_beaconsName))
        m_beacons = beacons;
    if (osg::Group* cameras = findChildGroup(m_scene, m_camerasName))
        m_cameras = cameras;
}

void OSGModel::setSceneGraph(const osg::ref_ptr<osg::Group>& root)
{
    if (checkDefaultLayout(root, false))
        checkDefaultLayout(root, true);
}

void OSGModel::selectNodes(const SetOfNodes& nodes)
{
    for (const osg::ref_ptr<osg::Node>& node : nodes)
        m_selectedNodes.add(node);
}

void OSGModel::deselectNodes(const SetOfNodes& nodes)
{
    for (const osg::ref_ptr<osg::Node>& node : nodes)
        m_selectedNodes.remove(node);
}

void OSGModel::setSelectedNodes(const SetOfNodes& nodes)
{
    clearSelectedNodes();
    selectNodes(nodes);
}

void OSGModel::setTraversalMask(osg::Node* node, osg::Node::NodeMask mask, bool recursive)
{
    if (!node)
        return;
    node->setNodeMask(mask);
    osg::Group* group = node->asGroup();
    for (unsigned int i = 0; recursive && group && i < group->getNumChildren(); ++i)
        setTraversalMask(group->getChild(i), mask, true);
}

void OSGModel::showPathToRoot(osg::Node* node, bool includeNode)
{
    for (; node; node = node->getNumParents() > 0 ? node->getParent(0) : nullptr) {
        if (includeNode)
            node->setNodeMask(allTraversals);
        includeNode = true;
    }
}

void OSGModel::showBoundingBoxesOfSelectedNodes()
{
    if (!m_tools)
        return;
    hideBoundingBoxesOfSelectedNodes();
    if (m_selectedNodes.isEmpty())
        return;
    // Boxes are measured before the group joins the graph, so none of them counts itself.
    m_boundingBoxes = makeNode<osg::Group>(boundingBoxesName);
    m_boundingBoxes->setNodeMask(withoutTopBit);
    for (const osg::ref_ptr<osg::Node>& node : m_selectedNodes) {
        if (!node) {
            ZEL_WARN << "OSGModel::showBoundingBoxesOfSelectedNodes: Invalid node.\n";
            continue;
        }
        // An empty subtree has no box; its inverted extremes would draw lines across the world.
        const osg::BoundingBox box = worldBoundingBox(*node);
        if (box.valid())
            m_boundingBoxes->addChild(createBoxLines(box, m_highlightMaterial));
    }
    m_tools->addChild(m_boundingBoxes);
}

void OSGModel::setUndoMemoryBudget(std::size_t bytes)
{
    m_undoBudget = bytes;
    keepHistoryWithinBudget();
}

void OSGModel::keepHistoryWithinBudget()
{
    if (const int dropped = m_history->keepWithin(m_undoBudget, *m_root)) {
        ZEL_INFO << "OSGModel::keepHistoryWithinBudget: The undo history kept more than "
                 << UndoHistory::describe(m_undoBudget).toStdString() << " of scene data; its "
                 << dropped << " oldest steps were dropped.\n";
        followScene();
    }
}

void OSGModel::followScene()
{
    if (m_history->isReplaying())
        return;
    SetOfNodes kept;
    for (const osg::ref_ptr<osg::Node>& node : m_selectedNodes)
        if (node && m_root && isBelow(*node, *m_root))
            kept.add(node);
    m_selectedNodes = kept;
    // Shown boxes are measured again: their nodes may have moved, or gone.
    if (m_boundingBoxes)
        showBoundingBoxesOfSelectedNodes();
    describeHistory();
}

void OSGModel::describeHistory()
{
    if (!m_undoAction)
        return;
    std::size_t bytes = 0;
    for (std::size_t held : m_history->heldBytes(*m_root))
        bytes += held;
    m_undoAction->setToolTip(tr("Undo history: %1 steps, %2 of scene data kept for them")
                                 .arg(m_undoStack->count())
                                 .arg(UndoHistory::describe(bytes)));
}

void OSGModel::hideBoundingBoxesOfSelectedNodes()
{
    if (!m_tools)
        return;
    if (osg::Group* boxes = findChildGroup(m_tools, boundingBoxesName))
        m_tools->removeChild(boxes);
    m_boundingBoxes = nullptr;
}
