#pragma once

#include <QtGlobal>
#include <osg/ref_ptr>

class QEvent;
namespace osgGA {
class EventQueue;
}
namespace osgViewer {
class View;
}

// Stand-in camera handling until the navigation plug-in moves the camera: a trackball
// manipulator on the view, fed with the input no event handler consumed. Remove it, and its two
// calls in RenderWidget, when navigation takes over.
class TrackballCameraControl
{
public:
    TrackballCameraControl(osgViewer::View& view, osgGA::EventQueue& queue);
    ~TrackballCameraControl();

    void handle(const QEvent& event, qreal pixelRatio);
    void setEventQueue(osgGA::EventQueue& queue);

private:
    osg::ref_ptr<osgGA::EventQueue> m_queue;
};
