#pragma once

#include "HumanInterface/IActionHandler.h"
#include "HumanInterface/InputAction.h"

#include <QPoint>
#include <QPointer>
#include <osg/BoundingSphere>
#include <osg/Matrixd>
#include <osg/Quat>
#include <osg/Vec3d>
#include <osg/observer_ptr>
#include <vector>

class IOSGViewer;
class QWidget;
namespace HI {
class InputActionToInputEventMapping;
}
namespace osgViewer {
class View;
}

// Moves one viewer's camera around an orbit centre, driven by the actions of its own input
// mapper. The camera is this controller's: it sets the view matrix itself, and starts from
// wherever someone else (a scene load framing the view) has put the camera meanwhile.
class CameraController : public HI::IActionHandler
{
public:
    enum Action
    {
        Orbit = 1,
        Pan,
        Dolly,
        ZoomIn,
        ZoomOut,
        FrameScene,
        HomeView
    };

    CameraController(IOSGViewer& viewer, osgViewer::View& view);

    std::vector<HI::InputAction> actions();
    // What a user gets when neither a user nor a shipped bindings file exists.
    static void applyDefaultBindings(HI::InputActionToInputEventMapping& mapping);

    osgViewer::View* getView() const { return m_view.get(); }

    std::string getActionHandlerName() const override { return "Navigation"; }
    bool triggerAction(int actionId, int x, int y, QEvent* event) override;
    bool beginAction(int actionId, int x, int y, QEvent* event) override;
    bool updateAction(int actionId, int x, int y, QEvent* event) override;
    bool endAction(int actionId, int x, int y, QEvent* event) override;

private:
    void takeCameraOver();
    void followCamera();
    void applyToCamera();
    osg::BoundingSphere sceneBound() const;
    void frameScene(bool homeOrientation);
    void orbit(double dx, double dy);
    void pan(double dx, double dy);
    void dolly(double factor);
    double verticalFieldOfView() const;
    int widgetHeight() const;

    IOSGViewer& m_viewer;
    osg::observer_ptr<osgViewer::View> m_view;
    QPointer<QWidget> m_widget;
    // The camera sits m_distance behind m_center, turned by m_rotation.
    osg::Vec3d m_center;
    osg::Quat m_rotation;
    double m_distance = 1.0;
    // The view matrix this controller set last; any other means the camera was moved elsewhere.
    osg::Matrixd m_viewMatrixSet;
    bool m_hasSetViewMatrix = false;
    QPoint m_lastPointer;
};
