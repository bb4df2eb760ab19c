#include "SelectionPlugin.h"

#include "HumanInterface/InputMapper.h"
#include "HumanInterface/InputMapperRegistry.h"
#include "HumanInterface/InputMappingConfiguration.h"
#include "KdTreeBuilder.h"
#include "Logger/Log.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "ScenePicker.h"
#include "SceneTreeDock.h"
#include "ViewerSelection.h"

#include <QTabWidget>
#include <algorithm>
#include <boost/filesystem/operations.hpp>

namespace {

const char* const configName = "Selection";
const char* const bindingsFile = "SelectionBindings.xml";

} // namespace

SelectionPlugin::SelectionPlugin(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info), m_trees(std::make_unique<KdTreeBuilder>()),
      m_sceneDock(new SceneTreeDock), m_bindingsDock(new QTabWidget)
{
    m_bindingsDock->setWindowTitle("Selection");
    m_bindingsDock->setTabBarAutoHide(true);
    m_sceneDock->setSelectionHandler([this](const SetOfNodes& nodes) {
        if (std::shared_ptr<IOSGModel> model = m_sceneDock->getSceneModel())
            setSelectedNodes(model, nodes);
    });
}

SelectionPlugin::~SelectionPlugin()
{
    reset();
    delete m_sceneDock.data();
    delete m_bindingsDock.data();
}

void SelectionPlugin::registerViewer(osgViewer::View* scene, IOSGViewer* viewer,
                                     const osg::ref_ptr<osg::Referenced>&,
                                     const ConfigLocation& location)
{
    if (!scene || !viewer) {
        ZEL_WARN << "SelectionPlugin::registerViewer: No view to pick in.\n";
        return;
    }
    if (std::any_of(m_registered.begin(), m_registered.end(),
                    [scene](const Registered& r) { return r.selection->getView() == scene; }))
        return;

    ConfigLocation where = location.pluginName.empty()
                               ? getKernel()->getConfigLocation(configName, bindingsFile)
                               : location;
    if (where.fileName.empty())
        where.fileName = bindingsFile;
    HI::InputMapperRegistry* registry = getKernel()->getInputMapperRegistry();
    auto selection =
        std::make_unique<ViewerSelection>(*this, *viewer, *scene, getKernel()->getEventSystem());
    HI::InputMapper* mapper = registry->createInputMapper(selection.get(), selection->actions(),
                                                          selection->inputSource(), where);
    if (!mapper) {
        ZEL_ERROR << "SelectionPlugin::registerViewer: No input mapper.\n";
        return;
    }
    selection->setInputMapper(mapper);
    const ConfigLocation* stored = registry->getConfigLocation(mapper);
    boost::system::error_code error;
    if (stored &&
        !boost::filesystem::exists(HI::InputMapperRegistry::getReadPath(*stored), error)) {
        ZEL_WARN << "SelectionPlugin::registerViewer: No bindings file; using the built-in "
                    "bindings.\n";
        ViewerSelection::applyDefaultBindings(mapper->getMapping());
    }

    Registered registered{std::move(selection), nullptr};
    if (m_bindingsDock) {
        QWidget* widget = viewer->getWidget();
        registered.bindingsFrame = mapper->createConfigurationFrame(m_bindingsDock);
        m_bindingsDock->addTab(registered.bindingsFrame,
                               widget ? widget->windowTitle() : QString("Viewer"));
    }
    m_registered.push_back(std::move(registered));

    if (std::shared_ptr<IOSGModel> model = viewer->getModel()) {
        sceneChanged(model, true);
        if (m_sceneDock && !m_sceneDock->getSceneModel())
            m_sceneDock->setSceneModel(model);
    }
}

void SelectionPlugin::reset()
{
    for (Registered& registered : m_registered) {
        if (std::shared_ptr<IOSGModel> model = registered.selection->getModel()) {
            model->clearSelectedNodes();
            showSelection(model);
        }
        release(registered);
    }
    m_registered.clear();
    if (m_sceneDock)
        m_sceneDock->setSceneModel(nullptr);
}

void SelectionPlugin::release(Registered& registered)
{
    // The frame edits the mapper's bindings in place: it goes first.
    delete registered.bindingsFrame.data();
    getKernel()->getInputMapperRegistry()->destroyInputMappers(registered.selection.get());
    registered.selection.reset();
}

std::list<QWidget*> SelectionPlugin::getDockWidgets()
{
    std::list<QWidget*> docks;
    if (m_sceneDock)
        docks.push_back(m_sceneDock);
    if (m_bindingsDock)
        docks.push_back(m_bindingsDock);
    return docks;
}

void SelectionPlugin::changeSelection(const std::shared_ptr<IOSGModel>& model, osg::Node* node,
                                      Change change)
{
    SetOfNodes nodes = model->getSelectedNodes();
    if (change == Toggle && node) {
        if (!nodes.remove(node))
            nodes.add(node);
    } else {
        nodes.clear();
        if (change == Replace && node)
            nodes.add(node);
    }
    setSelectedNodes(model, nodes);
    if (!m_sceneDock)
        return;
    if (m_sceneDock->getSceneModel() != model)
        m_sceneDock->setSceneModel(model);
    else
        m_sceneDock->showModelSelection();
}

void SelectionPlugin::sceneChanged(const std::shared_ptr<IOSGModel>& model, bool loaded)
{
    if (osg::ref_ptr<osg::Group> scene = model->getScene(); loaded && scene)
        m_trees->build(*scene);
    if (m_sceneDock && m_sceneDock->getSceneModel() == model)
        m_sceneDock->scheduleRefresh();
}

void SelectionPlugin::setSelectedNodes(const std::shared_ptr<IOSGModel>& model,
                                       const SetOfNodes& nodes)
{
    model->setSelectedNodes(nodes);
    showSelection(model);
}

void SelectionPlugin::showSelection(const std::shared_ptr<IOSGModel>& model)
{
    if (auto* boxes = dynamic_cast<OSGModel*>(model.get()))
        boxes->showBoundingBoxesOfSelectedNodes();
    for (const Registered& registered : m_registered)
        if (registered.selection && registered.selection->getModel() == model)
            registered.selection->getViewer().requestRedraw();
}

ZEL_PLUGIN_DESCRIPTOR(SelectionPlugin,
                      PluginSDK::describe<SelectionPlugin>("Selection", WellKnownPlugins::selection,
                                                           30100)
                          .description("Picks and selects objects in the viewers; shows the "
                                       "scene as a tree")
                          .version("1.0"))
ZEL_PLUGIN_LIBRARY(SelectionPlugin)
