#include "NavigationPlugin.h"

#include "CameraController.h"
#include "HumanInterface/InputMapper.h"
#include "HumanInterface/InputMapperRegistry.h"
#include "HumanInterface/InputMappingConfiguration.h"
#include "Logger/Log.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/IOSGViewer.h"

#include <QTabWidget>
#include <algorithm>
#include <boost/filesystem/operations.hpp>

namespace {

const char* const configName = "Navigation";
const char* const bindingsFile = "NavigationBindings.xml";

} // namespace

NavigationPlugin::NavigationPlugin(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info), m_dock(new QTabWidget)
{
    m_dock->setWindowTitle("Navigation");
    m_dock->setTabBarAutoHide(true);
}

NavigationPlugin::~NavigationPlugin()
{
    while (!m_attached.empty())
        release(std::prev(m_attached.end()));
    delete m_dock.data();
}

void NavigationPlugin::attachViewer(const std::string& viewerName, osgViewer::View* scene,
                                    IOSGViewer* viewer)
{
    if (!scene || !viewer) {
        ZEL_WARN << "NavigationPlugin::attachViewer: No view to navigate in " << viewerName
                 << ".\n";
        return;
    }
    if (std::any_of(m_attached.begin(), m_attached.end(),
                    [scene](const Attached& a) { return a.controller->getView() == scene; })) {
        ZEL_WARN << "NavigationPlugin::attachViewer: " << viewerName << " is attached already.\n";
        return;
    }
    HI::InputMapperRegistry* registry = getKernel()->getInputMapperRegistry();
    auto controller = std::make_unique<CameraController>(*viewer, *scene);
    HI::InputMapper* mapper =
        registry->createInputMapper(controller.get(), controller->actions(), viewer->getWidget(),
                                    getKernel()->getConfigLocation(configName, bindingsFile));
    if (!mapper) {
        ZEL_ERROR << "NavigationPlugin::attachViewer: No input mapper for " << viewerName << ".\n";
        return;
    }
    const ConfigLocation* location = registry->getConfigLocation(mapper);
    boost::system::error_code error;
    if (location &&
        !boost::filesystem::exists(HI::InputMapperRegistry::getReadPath(*location), error)) {
        ZEL_WARN << "NavigationPlugin::attachViewer: No bindings file for " << viewerName
                 << "; using the built-in bindings.\n";
        CameraController::applyDefaultBindings(mapper->getMapping());
    }

    Attached attached{std::move(controller), nullptr};
    if (m_dock) {
        attached.bindingsFrame = mapper->createConfigurationFrame(m_dock);
        m_dock->addTab(attached.bindingsFrame, QString::fromStdString(viewerName));
    }
    m_attached.push_back(std::move(attached));
}

void NavigationPlugin::detachViewer(osgViewer::View* scene)
{
    auto it = std::find_if(m_attached.begin(), m_attached.end(),
                           [scene](const Attached& a) { return a.controller->getView() == scene; });
    if (it != m_attached.end())
        release(it);
}

void NavigationPlugin::release(std::vector<Attached>::iterator attached)
{
    // The frame edits the mapper's bindings in place: it goes first.
    delete attached->bindingsFrame.data();
    getKernel()->getInputMapperRegistry()->destroyInputMappers(attached->controller.get());
    m_attached.erase(attached);
}

std::list<QWidget*> NavigationPlugin::getDockWidgets()
{
    return m_dock ? std::list<QWidget*>{m_dock.data()} : std::list<QWidget*>{};
}

ZEL_PLUGIN_DESCRIPTOR(NavigationPlugin,
                      PluginSDK::describe<NavigationPlugin>("Navigation",
                                                            WellKnownPlugins::navigation, 30000)
                          .description("Moves the viewers' cameras: orbit, pan, dolly, zoom, "
                                       "frame the scene")
                          .version("1.0"))
ZEL_PLUGIN_LIBRARY(NavigationPlugin)
