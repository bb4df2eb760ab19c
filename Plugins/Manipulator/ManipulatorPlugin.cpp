#include "ManipulatorPlugin.h"

#include "EventSystem/EventSystem.h"
#include "HumanInterface/InputMapper.h"
#include "HumanInterface/InputMapperRegistry.h"
#include "HumanInterface/InputMappingConfiguration.h"
#include "Logger/Log.h"
#include "ObjectHandles.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtUtility/QtEvents.h"
#include "ViewerManipulator.h"

#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <boost/filesystem/operations.hpp>

namespace {

const char* const configName = "Manipulator";
const char* const bindingsFile = "ManipulatorBindings.xml";

} // namespace

ManipulatorPlugin::ManipulatorPlugin(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info),
      EventHandler(kernel->getEventSystem(), "Manipulator", EventType::QtInput | EventType::Model),
      m_dock(new QTabWidget)
{
    m_dock->setWindowTitle("Manipulator");
    m_dock->setTabBarAutoHide(true);
    attachKnownViewers();
    // The window hands the viewers their models after the plug-ins are made.
    QTimer::singleShot(0, m_dock, [this] { followModels(); });
}

ManipulatorPlugin::~ManipulatorPlugin()
{
    HI::InputMapperRegistry* registry = getKernel()->getInputMapperRegistry();
    for (Attached& attached : m_attached) {
        delete attached.bindingsFrame.data();
        if (registry)
            registry->destroyInputMappers(attached.manipulator.get());
        attached.manipulator.reset();
    }
    m_attached.clear();
    m_handles.clear();
    delete m_dock.data();
}

std::list<QWidget*> ManipulatorPlugin::getDockWidgets()
{
    return m_dock ? std::list<QWidget*>{m_dock.data()} : std::list<QWidget*>{};
}

bool ManipulatorPlugin::handleEvent(Event& event)
{
    if (event.type == EventType::Model) {
        followModels();
        return false;
    }
    if (event.type != EventType::QtInput || m_attachScheduled)
        return false;
    const auto* widget = qobject_cast<const QWidget*>(static_cast<QtInputEvent&>(event).source);
    if (!widget || isAttached(widget))
        return false;
    // Mappers must not come or move while the event system hands this event round.
    m_attachScheduled = true;
    QTimer::singleShot(0, m_dock, [this] {
        m_attachScheduled = false;
        attachKnownViewers();
        followModels();
    });
    return false;
}

void ManipulatorPlugin::attachKnownViewers()
{
    PluginFactory* factory = getKernel()->getPluginFactory();
    if (!factory)
        return;
    for (IOSGViewer* viewer : factory->getInstances<IOSGViewer>())
        if (viewer && viewer->getWidget() && !isAttached(viewer->getWidget()))
            attach(*viewer);
}

void ManipulatorPlugin::followModels()
{
    for (const Attached& attached : m_attached)
        if (attached.manipulator->getWidget())
            handlesOf(attached.manipulator->getViewer().getModel());
}

bool ManipulatorPlugin::isAttached(const QWidget* widget) const
{
    return std::any_of(m_attached.begin(), m_attached.end(), [widget](const Attached& attached) {
        return attached.manipulator->getWidget() == widget;
    });
}

void ManipulatorPlugin::attach(IOSGViewer& viewer)
{
    HI::InputMapperRegistry* registry = getKernel()->getInputMapperRegistry();
    if (!registry)
        return;
    auto manipulator = std::make_unique<ViewerManipulator>(
        viewer, [this](const std::shared_ptr<IOSGModel>& model) { return handlesOf(model); });
    HI::InputMapper* mapper =
        registry->createInputMapper(manipulator.get(), manipulator->actions(), viewer.getWidget(),
                                    getKernel()->getConfigLocation(configName, bindingsFile));
    if (!mapper) {
        ZEL_ERROR << "ManipulatorPlugin::attach: No input mapper for a viewer.\n";
        return;
    }
    // A press reaches the handles before navigation, which would take every drag.
    getEventSystem()->moveHandler(EventSystem::ToFront, mapper);
    const ConfigLocation* location = registry->getConfigLocation(mapper);
    boost::system::error_code error;
    if (location &&
        !boost::filesystem::exists(HI::InputMapperRegistry::getReadPath(*location), error)) {
        ZEL_WARN << "ManipulatorPlugin::attach: No bindings file; using the built-in bindings.\n";
        ViewerManipulator::applyDefaultBindings(mapper->getMapping());
    }

    Attached attached{std::move(manipulator), nullptr};
    if (m_dock) {
        attached.bindingsFrame = mapper->createConfigurationFrame(m_dock);
        m_dock->addTab(attached.bindingsFrame, viewer.getWidget()->windowTitle());
    }
    m_attached.push_back(std::move(attached));
}

ObjectHandles* ManipulatorPlugin::handlesOf(const std::shared_ptr<IOSGModel>& model)
{
    if (!model)
        return nullptr;
    // Handles of models that are gone go with them.
    for (auto it = m_handles.begin(); it != m_handles.end();)
        it = it->second->getModel() ? std::next(it) : m_handles.erase(it);
    std::unique_ptr<ObjectHandles>& handles = m_handles[model.get()];
    if (!handles)
        handles = std::make_unique<ObjectHandles>(model);
    return handles.get();
}

ZEL_PLUGIN_DESCRIPTOR(ManipulatorPlugin,
                      PluginSDK::describe<ManipulatorPlugin>("Manipulator",
                                                             "4f6c2a91-7d3e-4b8a-9e15-2c7b0d9a6f31",
                                                             30200)
                          .description("Handles on the selected object: turn it about an axis, "
                                       "move it along an axis or in a plane (undoable)")
                          .version("1.0"))
ZEL_PLUGIN_LIBRARY(ManipulatorPlugin)
