#include "QtOSGPluginBase/ModelCommands/LoadScene.h"

#include "Logger/Log.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/ModelEvent.h"

#include <osg/MatrixTransform>
#include <utility>

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

LoadScene::LoadScene(const std::string& path, bool replace, osg::ref_ptr<osg::Node> read)
    : m_path(path), m_replace(replace), m_read(std::move(read))
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
    osg::ref_ptr<osg::Node> node =
        m_read ? std::exchange(m_read, nullptr) : model->loadNodeFromFile(m_path, result);
    if (!node)
        return fail(result.reason);
    m_layoutFile = node->getName() == model->getFileRootName();
    if (m_layoutFile)
        recordLayoutContent(*model, *node);
    else
        m_node = node;
    return true;
}

NodeList LoadScene::heldNodes() const
{
    NodeList held{m_node};
    for (const NodeList* list :
         {&m_sceneContent, &m_beaconContent, &m_pluginDataContent, &m_previousPluginData.children})
        held.insert(held.end(), list->begin(), list->end());
    for (const GroupContent& content : m_replacedContent)
        held.insert(held.end(), content.children.begin(), content.children.end());
    return held;
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
    if (m_layoutFile || m_node) {
        if (m_replace)
            clearScene(*model);
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
        removeNodes(m_sceneContent, model->getScene());
        m_previousPluginData.restore();
    } else if (m_node) {
        model->getScene()->removeChild(m_node);
    }
    if (m_replace)
        for (GroupContent& content : m_replacedContent)
            content.restore();
    ModelEvent loaded(ModelEvent::SceneLoaded);
    model->sendEvent(loaded);
}

// The groups of the layout stay (commands further up the stack refer to them); only their
// content goes, and comes back on undo as it was.
void LoadScene::clearScene(IOSGModel& model)
{
    osg::ref_ptr<osg::Group> scene = model.getScene();
    osg::Group* beacons = model.getBeacons().get();
    osg::Node* cameras = childNamed(scene.get(), model.getCamerasName());
    m_replacedContent.clear();
    m_replacedContent.emplace_back(scene.get());
    for (osg::Node* group : {static_cast<osg::Node*>(beacons), cameras})
        if (group && group->asGroup())
            m_replacedContent.emplace_back(group->asGroup());

    for (unsigned int i = scene->getNumChildren(); i-- > 0;)
        if (scene->getChild(i) != beacons && scene->getChild(i) != cameras)
            scene->removeChildren(i, 1);
    for (std::size_t i = 1; i < m_replacedContent.size(); ++i)
        m_replacedContent[i].group->removeChildren(0, m_replacedContent[i].group->getNumChildren());
    if (auto* transform = dynamic_cast<osg::MatrixTransform*>(scene.get()))
        transform->setMatrix(osg::Matrix::identity());
}

LoadScene::GroupContent::GroupContent(osg::Group* group_) : group(group_)
{
    for (unsigned int i = 0; group && i < group->getNumChildren(); ++i)
        children.push_back(group->getChild(i));
    if (auto* transform = dynamic_cast<osg::MatrixTransform*>(group_))
        matrix = transform->getMatrix();
}

void LoadScene::GroupContent::restore()
{
    if (!group)
        return;
    group->removeChildren(0, group->getNumChildren());
    addNodes(children, group.get());
    if (auto* transform = dynamic_cast<osg::MatrixTransform*>(group.get()))
        transform->setMatrix(matrix);
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
    m_previousPluginData = GroupContent(pluginData.get());
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
