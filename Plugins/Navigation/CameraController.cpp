#include "CameraController.h"

#include "HumanInterface/InputActionToInputEventMapping.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/IOSGViewer.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <osgGA/CameraManipulator>
#include <osgViewer/View>

namespace {

const osg::Vec3d worldUp(0.0, 0.0, 1.0);
const double defaultFieldOfView = 30.0;
// Below this the camera would sit on its centre and stop moving.
const double minimumDistance = 1e-6;
const double dollyPerPixel = 0.01;
const double zoomStep = 0.8;

HI::InputEvent drag(Qt::MouseButton button, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return {HI::MouseDrag, std::uint32_t(modifiers), 0, std::uint32_t(button)};
}

HI::InputEvent key(Qt::Key code)
{
    return {HI::Key, 0, std::uint32_t(code), 0};
}

} // namespace

CameraController::CameraController(IOSGViewer& viewer, osgViewer::View& view)
    : m_viewer(viewer), m_view(&view), m_widget(viewer.getWidget())
{
    takeCameraOver();
}

std::vector<HI::InputAction> CameraController::actions()
{
    return {{Orbit, "Orbit", this, HI::Continuous},   {Pan, "Pan", this, HI::Continuous},
            {Dolly, "Dolly", this, HI::Continuous},   {ZoomIn, "Zoom in", this, HI::Single},
            {ZoomOut, "Zoom out", this, HI::Single},  {FrameScene, "Frame scene", this, HI::Single},
            {HomeView, "Home view", this, HI::Single}};
}

void CameraController::applyDefaultBindings(HI::InputActionToInputEventMapping& mapping)
{
    for (HI::ActionMapping& record : mapping.mappings()) {
        switch (record.actionId) {
        case Orbit:
            record.primary = drag(Qt::LeftButton);
            break;
        case Pan:
            record.primary = drag(Qt::MiddleButton);
            record.secondary = drag(Qt::LeftButton, Qt::ShiftModifier);
            break;
        case Dolly:
            record.primary = drag(Qt::RightButton);
            break;
        case ZoomIn:
            record.primary = {HI::WheelUp, 0, 0, 0};
            break;
        case ZoomOut:
            record.primary = {HI::WheelDown, 0, 0, 0};
            break;
        case FrameScene:
            record.primary = key(Qt::Key_Space);
            record.secondary = {HI::MouseDoubleClick, 0, 0, Qt::LeftButton};
            break;
        case HomeView:
            record.primary = key(Qt::Key_Home);
            record.secondary = key(Qt::Key_H);
            break;
        default:
            break;
        }
    }
}

// A manipulator would overwrite the view matrix on every frame.
void CameraController::takeCameraOver()
{
    if (osgGA::CameraManipulator* manipulator = m_view->getCameraManipulator()) {
        m_view->getCamera()->setViewMatrix(manipulator->getInverseMatrix());
        m_view->setCameraManipulator(nullptr, false);
    }
}

bool CameraController::triggerAction(int actionId, int, int, QEvent*)
{
    if (!m_view.valid())
        return false;
    followCamera();
    switch (actionId) {
    case ZoomIn:
        dolly(zoomStep);
        return true;
    case ZoomOut:
        dolly(1.0 / zoomStep);
        return true;
    case FrameScene:
        frameScene(false);
        return true;
    case HomeView:
        frameScene(true);
        return true;
    default:
        return false;
    }
}

bool CameraController::beginAction(int actionId, int x, int y, QEvent*)
{
    if (!m_view.valid() || (actionId != Orbit && actionId != Pan && actionId != Dolly))
        return false;
    followCamera();
    m_lastPointer = QPoint(x, y);
    return true;
}

bool CameraController::updateAction(int actionId, int x, int y, QEvent*)
{
    if (!m_view.valid())
        return false;
    const double dx = x - m_lastPointer.x();
    const double dy = y - m_lastPointer.y();
    m_lastPointer = QPoint(x, y);
    if (dx == 0.0 && dy == 0.0)
        return true;
    followCamera();
    switch (actionId) {
    case Orbit:
        orbit(dx, dy);
        return true;
    case Pan:
        pan(dx, dy);
        return true;
    case Dolly:
        dolly(std::exp(dy * dollyPerPixel));
        return true;
    default:
        return false;
    }
}

bool CameraController::endAction(int, int, int, QEvent*)
{
    return true;
}

// The orbit centre is the point on the line of sight nearest the scene's centre.
void CameraController::followCamera()
{
    const osg::Matrixd viewMatrix = m_view->getCamera()->getViewMatrix();
    if (m_hasSetViewMatrix && viewMatrix == m_viewMatrixSet)
        return;
    const osg::Matrixd world = osg::Matrixd::inverse(viewMatrix);
    const osg::Vec3d eye = world.getTrans();
    m_rotation = world.getRotate();
    const osg::Vec3d forward = m_rotation * osg::Vec3d(0.0, 0.0, -1.0);
    const osg::BoundingSphere bound = sceneBound();
    double distance = bound.valid() ? (osg::Vec3d(bound.center()) - eye) * forward : 0.0;
    if (distance <= minimumDistance)
        distance = bound.valid() && bound.radius() > 0.0f ? bound.radius() : 1.0;
    m_distance = distance;
    m_center = eye + forward * distance;
}

void CameraController::applyToCamera()
{
    const osg::Matrixd world = osg::Matrixd::translate(0.0, 0.0, m_distance) *
                               osg::Matrixd::rotate(m_rotation) * osg::Matrixd::translate(m_center);
    m_viewMatrixSet = osg::Matrixd::inverse(world);
    m_hasSetViewMatrix = true;
    m_view->getCamera()->setViewMatrix(m_viewMatrixSet);
    m_viewer.requestRedraw();
}

osg::BoundingSphere CameraController::sceneBound() const
{
    const std::shared_ptr<IOSGModel> model = m_viewer.getModel();
    osg::ref_ptr<osg::Group> scene = model ? model->getScene() : nullptr;
    return scene ? scene->getBound() : osg::BoundingSphere();
}

// Fits the scene's bounding sphere into the narrower opening angle; the home view looks along
// +y with z up, as a freshly loaded scene is shown.
void CameraController::frameScene(bool homeOrientation)
{
    const osg::BoundingSphere bound = sceneBound();
    if (!bound.valid() || bound.radius() <= 0.0f)
        return;
    if (homeOrientation)
        m_rotation = osg::Matrixd::inverse(
                         osg::Matrixd::lookAt(osg::Vec3d(0.0, -1.0, 0.0), osg::Vec3d(), worldUp))
                         .getRotate();
    double fovy = defaultFieldOfView, aspect = 1.0, zNear = 1.0, zFar = 1000.0;
    if (!m_view->getCamera()->getProjectionMatrixAsPerspective(fovy, aspect, zNear, zFar))
        fovy = defaultFieldOfView;
    const double halfAngle =
        std::atan(std::tan(osg::DegreesToRadians(fovy) / 2.0) * std::min(aspect, 1.0));
    m_center = bound.center();
    m_distance = bound.radius() / std::sin(halfAngle);
    applyToCamera();
}

// A drag across the whole height turns the scene half around.
void CameraController::orbit(double dx, double dy)
{
    const double perPixel = osg::PI / widgetHeight();
    const osg::Vec3d right = m_rotation * osg::Vec3d(1.0, 0.0, 0.0);
    m_rotation = m_rotation * osg::Quat(-dy * perPixel, right) * osg::Quat(-dx * perPixel, worldUp);
    applyToCamera();
}

// The point under the pointer stays under it, at the depth of the centre.
void CameraController::pan(double dx, double dy)
{
    const double worldPerPixel = 2.0 * m_distance *
                                 std::tan(osg::DegreesToRadians(verticalFieldOfView()) / 2.0) /
                                 widgetHeight();
    const osg::Vec3d right = m_rotation * osg::Vec3d(1.0, 0.0, 0.0);
    const osg::Vec3d up = m_rotation * osg::Vec3d(0.0, 1.0, 0.0);
    m_center += right * (-dx * worldPerPixel) + up * (dy * worldPerPixel);
    applyToCamera();
}

void CameraController::dolly(double factor)
{
    m_distance = std::max(m_distance * factor, minimumDistance);
    applyToCamera();
}

double CameraController::verticalFieldOfView() const
{
    double fovy = defaultFieldOfView, aspect = 1.0, zNear = 1.0, zFar = 1000.0;
    if (!m_view->getCamera()->getProjectionMatrixAsPerspective(fovy, aspect, zNear, zFar))
        return defaultFieldOfView;
    return fovy;
}

int CameraController::widgetHeight() const
{
    return m_widget ? std::max(m_widget->height(), 1) : 1;
}
