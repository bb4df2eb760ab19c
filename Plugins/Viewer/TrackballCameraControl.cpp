#include "TrackballCameraControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <osgGA/EventQueue>
#include <osgGA/TrackballManipulator>
#include <osgViewer/View>

namespace {

unsigned int osgButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::MiddleButton:
        return 2;
    case Qt::RightButton:
        return 3;
    default:
        return 0;
    }
}

} // namespace

TrackballCameraControl::TrackballCameraControl(osgViewer::View& view, osgGA::EventQueue& queue)
    : m_queue(&queue)
{
    osg::ref_ptr<osgGA::TrackballManipulator> trackball = new osgGA::TrackballManipulator;
    // A thrown camera would spin on and need a frame after frame.
    trackball->setAllowThrow(false);
    trackball->setAutoComputeHomePosition(false);
    trackball->setHomePosition(osg::Vec3d(0.0, -3.0, 0.0), osg::Vec3d(), osg::Vec3d(0.0, 0.0, 1.0));
    trackball->home(0.0);
    view.setCameraManipulator(trackball.get(), false);
}

TrackballCameraControl::~TrackballCameraControl() = default;

void TrackballCameraControl::setEventQueue(osgGA::EventQueue& queue)
{
    m_queue = &queue;
}

void TrackballCameraControl::handle(const QEvent& event, qreal pixelRatio)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        const auto& mouse = static_cast<const QMouseEvent&>(event);
        const float x = static_cast<float>(mouse.x() * pixelRatio);
        const float y = static_cast<float>(mouse.y() * pixelRatio);
        if (event.type() == QEvent::MouseButtonPress)
            m_queue->mouseButtonPress(x, y, osgButton(mouse.button()));
        else if (event.type() == QEvent::MouseButtonRelease)
            m_queue->mouseButtonRelease(x, y, osgButton(mouse.button()));
        else if (event.type() == QEvent::MouseButtonDblClick)
            m_queue->mouseDoubleButtonPress(x, y, osgButton(mouse.button()));
        else
            m_queue->mouseMotion(x, y);
        break;
    }
    case QEvent::Wheel: {
        const int delta = static_cast<const QWheelEvent&>(event).angleDelta().y();
        if (delta != 0)
            m_queue->mouseScroll(delta > 0 ? osgGA::GUIEventAdapter::SCROLL_UP
                                           : osgGA::GUIEventAdapter::SCROLL_DOWN);
        break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const QString text = static_cast<const QKeyEvent&>(event).text();
        if (text.isEmpty())
            break;
        const int key = text.at(0).unicode();
        if (event.type() == QEvent::KeyPress)
            m_queue->keyPress(key);
        else
            m_queue->keyRelease(key);
        break;
    }
    default:
        break;
    }
}
