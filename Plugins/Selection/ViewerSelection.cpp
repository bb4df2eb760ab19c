#include "ViewerSelection.h"

#include "EventSystem/EventSystem.h"
#include "HumanInterface/InputActionToInputEventMapping.h"
#include "HumanInterface/InputMapper.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "QtUtility/QtEvents.h"
#include "ScenePicker.h"
#include "SelectionPlugin.h"

#include <QWidget>
#include <osgViewer/View>

ViewerSelection::ViewerSelection(SelectionPlugin& plugin, IOSGViewer& viewer, osgViewer::View& view,
                                 EventSystem* eventSystem)
    : EventHandler(eventSystem, "Selection", EventType::QtInput | EventType::Model),
      m_plugin(plugin), m_viewer(viewer), m_view(&view), m_widget(viewer.getWidget())
{
    if (eventSystem)
        eventSystem->moveHandler(EventSystem::ToFront, this);
}

ViewerSelection::~ViewerSelection() = default;

std::vector<HI::InputAction> ViewerSelection::actions()
{
    return {{Select, "Select", this, HI::Single},
            {ToggleSelection, "Toggle selection", this, HI::Single},
            {ClearSelection, "Clear selection", this, HI::Single}};
}

void ViewerSelection::applyDefaultBindings(HI::InputActionToInputEventMapping& mapping)
{
    for (HI::ActionMapping& record : mapping.mappings()) {
        if (record.actionId == Select)
            record.primary = {HI::MouseClick, 0, 0, Qt::LeftButton};
        else if (record.actionId == ToggleSelection)
            record.primary = {HI::MouseClick, Qt::ControlModifier, 0, Qt::LeftButton};
        else if (record.actionId == ClearSelection)
            record.primary = {HI::Key, 0, Qt::Key_Escape, 0};
    }
}

std::shared_ptr<IOSGModel> ViewerSelection::getModel() const
{
    return m_widget ? m_viewer.getModel() : nullptr;
}

bool ViewerSelection::handleEvent(Event& event)
{
    if (event.type == EventType::Model) {
        const auto& modelEvent = static_cast<const ModelEvent&>(event);
        std::shared_ptr<IOSGModel> model = getModel();
        if (model && modelEvent.modelUuid == model->getUuid() &&
            (modelEvent.kind == ModelEvent::Changed || modelEvent.kind == ModelEvent::SceneLoaded))
            m_plugin.sceneChanged(model, modelEvent.kind == ModelEvent::SceneLoaded);
        return false;
    }
    auto& input = static_cast<QtInputEvent&>(event);
    if (!m_mapper || !m_widget || input.source != m_widget.data())
        return false;
    // Pipelines created since stand before this handler; model events must reach it first.
    // Moving itself to the front keeps the dispatch walk intact.
    if (EventSystem* events = getEventSystem())
        events->moveHandler(EventSystem::ToFront, this);
    QtInputEvent tapped(&m_inputSource, input.qtEvent);
    m_mapper->handleEvent(tapped);
    return false;
}

bool ViewerSelection::triggerAction(int actionId, int x, int y, QEvent*)
{
    std::shared_ptr<IOSGModel> model = getModel();
    if (!model)
        return false;
    switch (actionId) {
    case Select:
        m_plugin.changeSelection(model, pick(x, y), SelectionPlugin::Replace);
        return true;
    case ToggleSelection:
        if (osg::Node* node = pick(x, y))
            m_plugin.changeSelection(model, node, SelectionPlugin::Toggle);
        return true;
    case ClearSelection:
        m_plugin.changeSelection(model, nullptr, SelectionPlugin::Clear);
        return true;
    default:
        return false;
    }
}

// Qt counts logical pixels from the top, the viewport physical ones from the bottom.
osg::Node* ViewerSelection::pick(int x, int y) const
{
    std::shared_ptr<IOSGModel> model = getModel();
    osg::ref_ptr<osg::Group> scene = model ? model->getScene() : nullptr;
    if (!scene || !m_view.valid() || !m_view->getCamera()->getViewport())
        return nullptr;
    const osg::Camera& camera = *m_view->getCamera();
    const osg::Viewport& viewport = *camera.getViewport();
    const double ratio = m_widget ? m_widget->devicePixelRatioF() : 1.0;
    const double windowX = viewport.x() + (x + 0.5) * ratio;
    const double windowY = viewport.y() + viewport.height() - (y + 0.5) * ratio;
    return ScenePicker::objectOf(ScenePicker::pick(camera, *scene, windowX, windowY));
}
