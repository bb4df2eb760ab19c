#include "ViewerManipulator.h"

#include "HumanInterface/InputActionToInputEventMapping.h"
#include "OSGUtility/IConstrainedInteraction.h"
#include "ObjectHandles.h"
#include "QtOSGPluginBase/IOSGViewer.h"

#include <QWidget>
#include <cmath>
#include <osgViewer/View>

ViewerManipulator::ViewerManipulator(IOSGViewer& viewer, HandlesOf handlesOf)
    : m_viewer(viewer), m_handlesOf(std::move(handlesOf)), m_widget(viewer.getWidget())
{}

ViewerManipulator::~ViewerManipulator()
{
    if (m_dragging)
        m_dragging->cancelMove();
}

std::vector<HI::InputAction> ViewerManipulator::actions()
{
    return {{Highlight, "Highlight handle", this, HI::Single},
            {Drag, "Drag handle", this, HI::Continuous}};
}

void ViewerManipulator::applyDefaultBindings(HI::InputActionToInputEventMapping& mapping)
{
    for (HI::ActionMapping& record : mapping.mappings()) {
        if (record.actionId == Highlight)
            record.primary = {HI::MouseHover, 0, 0, 0};
        else if (record.actionId == Drag)
            record.primary = {HI::MouseDrag, 0, 0, Qt::LeftButton};
    }
}

bool ViewerManipulator::reach(ObjectHandles*& handles, osg::Camera*& camera) const
{
    std::shared_ptr<IOSGModel> model = m_widget ? m_viewer.getModel() : nullptr;
    osgViewer::View* view = model ? m_viewer.getScene() : nullptr;
    handles = view ? m_handlesOf(model) : nullptr;
    camera = view ? view->getCamera() : nullptr;
    if (!handles || !camera || !camera->getViewport())
        return false;
    handles->sync();
    return handles->isShown();
}

void ViewerManipulator::toViewport(const osg::Camera& camera, int x, int y, int& column,
                                   int& row) const
{
    const double ratio = m_widget ? m_widget->devicePixelRatioF() : 1.0;
    column = int(std::floor((x + 0.5) * ratio));
    row = int(std::floor(camera.getViewport()->height() - (y + 0.5) * ratio));
}

bool ViewerManipulator::triggerAction(int actionId, int x, int y, QEvent*)
{
    ObjectHandles* handles = nullptr;
    osg::Camera* camera = nullptr;
    if (actionId != Highlight || m_dragging || !reach(handles, camera))
        return false;
    int column = 0, row = 0;
    toViewport(*camera, x, y, column, row);
    if (handles->interactions().mouseMove(column, row, *camera).second)
        m_viewer.requestRedraw();
    // Hovering is everybody's: the pointer's moves go on to the other handlers.
    return false;
}

bool ViewerManipulator::beginAction(int actionId, int x, int y, QEvent*)
{
    ObjectHandles* handles = nullptr;
    osg::Camera* camera = nullptr;
    if (actionId != Drag || m_dragging || !reach(handles, camera))
        return false;
    int column = 0, row = 0;
    toViewport(*camera, x, y, column, row);
    if (!handles->interactions().mousePress(column, row, *camera))
        return false;
    if (!handles->beginMove()) {
        handles->interactions().mouseRelease();
        return false;
    }
    m_dragging = handles;
    return true;
}

bool ViewerManipulator::updateAction(int actionId, int x, int y, QEvent*)
{
    osg::Camera* camera = m_viewer.getScene() ? m_viewer.getScene()->getCamera() : nullptr;
    if (actionId != Drag || !m_dragging || !camera || !camera->getViewport())
        return false;
    int column = 0, row = 0;
    toViewport(*camera, x, y, column, row);
    OSGU::ConstrainedInteractionAccumulation& interactions = m_dragging->interactions();
    if (interactions.mouseDrag(column, row, *camera, m_dragging->grabFrame())) {
        m_dragging->follow(*interactions.getDragged());
        m_viewer.requestRedraw();
    }
    // A drag the handle refuses (the line of sight along its line) stays this handler's.
    return true;
}

bool ViewerManipulator::endAction(int actionId, int, int, QEvent*)
{
    if (actionId != Drag || !m_dragging)
        return false;
    ObjectHandles* handles = m_dragging;
    m_dragging = nullptr;
    handles->interactions().mouseRelease();
    handles->finishMove();
    m_viewer.requestRedraw();
    return true;
}
