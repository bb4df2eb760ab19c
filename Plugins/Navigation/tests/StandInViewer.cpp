#include "StandInViewer.h"

#include "EventSystem/EventSystem.h"
#include "QtUtility/QtEvents.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

StandInViewer::StandInViewer(EventSystem& events, const std::shared_ptr<IOSGModel>& model)
    : m_events(events), m_view(new osgViewer::View), m_model(model)
{
    m_widget.resize(Width, Height);
    m_view->getCamera()->setViewport(0, 0, Width, Height);
    m_view->getCamera()->setProjectionMatrixAsPerspective(30.0, double(Width) / Height, 1.0,
                                                          1000.0);
    m_view->getCamera()->setViewMatrixAsLookAt(osg::Vec3d(0, -10, 0), osg::Vec3d(),
                                               osg::Vec3d(0, 0, 1));
}

StandInViewer::~StandInViewer() = default;

osg::Vec3d StandInViewer::eye()
{
    return osg::Matrixd::inverse(camera().getViewMatrix()).getTrans();
}

osg::Vec3d StandInViewer::lookDirection()
{
    osg::Vec3d eyePoint, center, up;
    camera().getViewMatrixAsLookAt(eyePoint, center, up);
    osg::Vec3d direction = center - eyePoint;
    direction.normalize();
    return direction;
}

QPoint StandInViewer::widgetPosition(const osg::Vec3d& world)
{
    const osg::Vec3d window = world * camera().getViewMatrix() * camera().getProjectionMatrix() *
                              camera().getViewport()->computeWindowMatrix();
    return QPoint(int(window.x()), int(Height - window.y()));
}

void StandInViewer::send(QEvent& event)
{
    QtInputEvent record(&m_widget, &event);
    m_events.dispatch(record);
}

void StandInViewer::drag(Qt::MouseButton button, QPoint from, QPoint to,
                         Qt::KeyboardModifiers modifiers)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, button, button, modifiers);
    send(press);
    for (int step = 1; step <= 4; ++step) {
        const QPoint at = from + (to - from) * step / 4;
        QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, button, modifiers);
        send(move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, to, button, Qt::NoButton, modifiers);
    send(release);
}

void StandInViewer::click(QPoint at, Qt::KeyboardModifiers modifiers)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
    send(press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
    send(release);
}

void StandInViewer::wheel(int delta)
{
    const QPointF at(Width / 2, Height / 2);
    QWheelEvent event(at, at, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    send(event);
}

void StandInViewer::key(Qt::Key code)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    send(press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
    send(release);
}
