#include "QtOSGPluginBase/ModelCommands/LoadScene.h"

#include "Logger/Log.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/ModelEvent.h"

namespace MODCMD {
namespace {

osg::Node* childNamed(const osg::Node* node, const std::string& name)
{
    const osg::Group* group = node ? node->asGroup() : nullptr;
    if (!group)
        return nullptr;
    for (unsigned int i = 0; i < group->getNumChildren(); ++i)
        if (group->getChild(i)->getName() == name)
            return const_cast<osg::Node*>(group->getChild(i));
    return nullptr;
}

} // namespace

LoadScene::LoadScene(const std::string& path, bool replace) : m_path(path), m_replace(replace)
{
    setText(tr("Load Scene"));
}

LoadScene::~LoadScene() = default;

bool LoadScene::prepare()
{
    if (!m_firstRun)
        return true;
    std::shared_ptr<IOSGModel> model = getModel();
    if (!model)
        return fail("the scene model is gone");
    m_firstRun = false;
    FileResult result;
    osg::ref_ptr<osg::Node> node = model->loadNodeFromFile(m_path, result);
    if (!node)
        return fail(result.reason);
    m_layoutFile = node->getName() == model->getFileRootName();
    if (m_layoutFile)
        recordLayoutContent(*model, *node);
    else
        m_node = node;
    return true;
}

void LoadScene::applyRedoChanges()
{
    std::shared_ptr<IOSGModel> model = getModel();
    if (!model)
        return;
    // Pushed without the model's executeCommand: prepared now, and dropped if that fails.
    if (m_firstRun && !prepare()) {
        setObsolete(true);
        return;
    }
    // Nothing read leaves the scene as it is, even when it was to be replaced.
    if (m_layoutFile || m_node) {
        if (m_replace)
            model->resetScene();
        if (m_layoutFile)
            mergeLayoutContent(*model);
        else
            model->getScene()->addChild(m_node);
    }
    ModelEvent loaded(ModelEvent::SceneLoaded);
    model->sendEvent(loaded);
}

void LoadScene::applyUndoChanges()
{
    std::shared_ptr<IOSGModel> model = getModel();
    if (!model)
        return;
    if (m_layoutFile) {
        removeNodes(m_beaconContent, model->getBeacons());
        removeNodes(m_pluginDataContent, model->getPluginData());
        removeNodes(m_sceneContent, model->getScene());
    } else if (m_node) {
        model->getScene()->removeChild(m_node);
    }
    ModelEvent loaded(ModelEvent::SceneLoaded);
    model->sendEvent(loaded);
}

// Only the content is taken over; the file's own groups let go of it, so that no merged node
// keeps a second parent outside the model's graph.
void LoadScene::recordLayoutContent(IOSGModel& model, const osg::Node& fileRoot)
{
    osg::Node* scene = childNamed(&fileRoot, model.getSceneName());
    osg::Node* beacons = childNamed(scene, model.getBeaconsName());
    osg::Node* pluginData = childNamed(&fileRoot, model.getPluginDataName());
    for (const osg::ref_ptr<osg::Node>& child : collectChildren(scene))
        if (child != beacons && child->getName() != model.getCamerasName())
            m_sceneContent.push_back(child);
    m_beaconContent = collectChildren(beacons);
    m_pluginDataContent = collectChildren(pluginData);
    for (osg::Node* group : {beacons, scene, pluginData})
        if (group && group->asGroup())
            group->asGroup()->removeChildren(0, group->asGroup()->getNumChildren());
}

void LoadScene::mergeLayoutContent(IOSGModel& model)
{
    addNodes(m_beaconContent, model.getBeacons());
    addNodes(m_sceneContent, model.getScene());
    osg::ref_ptr<osg::Group> pluginData = model.getPluginData();
    pluginData->removeChildren(0, pluginData->getNumChildren());
    addNodes(m_pluginDataContent, pluginData);
}

void LoadScene::addNodes(const NodeList& nodes, osg::Group* parent)
{
    for (const osg::ref_ptr<osg::Node>& node : nodes)
        parent->addChild(node);
}

void LoadScene::removeNodes(const NodeList& nodes, osg::Group* parent)
{
    for (const osg::ref_ptr<osg::Node>& node : nodes)
        parent->removeChild(node);
}

NodeList LoadScene::collectChildren(const osg::Node* node)
{
    NodeList children;
    const osg::Group* group = node ? node->asGroup() : nullptr;
    for (unsigned int i = 0; group && i < group->getNumChildren(); ++i)
        children.push_back(const_cast<osg::Node*>(group->getChild(i)));
    return children;
}

} // namespace MODCMD
