#pragma once

#include "QtOSGPluginBase/IOSGViewer.h"

#include <QPoint>
#include <QWidget>
#include <osgViewer/View>

class EventSystem;
class QEvent;

// A viewer for tests: a plain widget and an osgViewer::View whose camera has a viewport and a
// projection but no graphics context, which is all that camera math and picking need. Input is
// fed into the event system as the default viewer feeds it: QtInputEvent from the widget.
class StandInViewer : public IOSGViewer
{
public:
    static constexpr int Width = 200;
    static constexpr int Height = 150;

    StandInViewer(EventSystem& events, const std::shared_ptr<IOSGModel>& model);
    ~StandInViewer() override;

    QWidget* getWidget() override { return &m_widget; }
    osgViewer::View* getScene() override { return m_view.get(); }
    void setRenderWindowFullScreen(bool, const std::list<int>&) override {}
    void setModel(const std::shared_ptr<IOSGModel>& model) override { m_model = model; }
    std::shared_ptr<IOSGModel> getModel() const override { return m_model; }
    void getSelectionContext(osg::ref_ptr<osg::Referenced>& context) override { context = nullptr; }
    void onSceneLoaded() override {}
    bool isNavigationDisabled() const override { return false; }
    void setSideBySideStereo(bool) override {}
    void setHeadMountedDisplay(bool, bool) override {}
    void requestRedraw() override { ++redraws; }

    osg::Camera& camera() { return *m_view->getCamera(); }
    osg::Vec3d eye();
    osg::Vec3d lookDirection();
    // Where a world point appears in the widget (logical pixels from the top left).
    QPoint widgetPosition(const osg::Vec3d& world);

    void send(QEvent& event);
    void drag(Qt::MouseButton button, QPoint from, QPoint to,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void wheel(int delta);
    void key(Qt::Key key);

    int redraws = 0;

private:
    EventSystem& m_events;
    QWidget m_widget;
    osg::ref_ptr<osgViewer::View> m_view;
    std::shared_ptr<IOSGModel> m_model;
};
