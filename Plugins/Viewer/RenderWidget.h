#pragma once

#include <QOpenGLWidget>
#include <QPointer>
#include <QString>
#include <memory>
#include <osg/Image>
#include <osg/observer_ptr>
#include <osg/ref_ptr>

class EventSystem;
class QImage;
namespace osg {
class Node;
}
namespace OSGU {
class ScreenshotProgress;
}
namespace osgViewer {
class GraphicsWindowEmbedded;
class Viewer;
} // namespace osgViewer

// The viewer's drawing surface: an osgViewer::Viewer drawing into the widget's frame buffer
// object. It draws only when asked (update()), never in a loop, and feeds its Qt input and its
// drag-and-drop events into the event system.
class RenderWidget : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit RenderWidget(EventSystem* eventSystem, QWidget* parent = nullptr);
    ~RenderWidget() override;

    osgViewer::Viewer* viewer() const { return m_viewer.get(); }
    // The viewer's scene data, with pagers that load nothing from disk.
    void setSceneData(osg::Node* root);
    // The scene the pipeline visits: it lies outside the camera's subgraph, but its GL objects
    // live in this widget's context too and go with it.
    void setVisitedScene(osg::Node* scene);
    // Writes the first completed frame to the file, once; after expectScene(), the first one
    // that shows the scene.
    void setSnapshotFile(const QString& file) { m_snapshotFile = file; }
    // A scene is on its way (read in the background): the frames before it do not count.
    void expectScene() { m_sceneExpected = true; }
    // The scene arrived: the next frame shows it, and says so once it is on the screen.
    void sceneArrived();
    int framesDrawn() const { return m_framesDrawn; }
    // Draws a frame at once, outside of a paint event, for a caller that reads it back right
    // after; false when the widget has no GL context yet or takes a screenshot.
    bool drawFrameNow();

    // The view rendered off screen at width by height pixels (see OSGU::takeScreenshot), in the
    // widget's context, or in one of its own while the widget has none; the widget shows its
    // last frame meanwhile. Null when it failed (logged) or was cancelled.
    osg::ref_ptr<osg::Image> takeScreenshot(unsigned int width, unsigned int height,
                                            OSGU::ScreenshotProgress* progress);
    // The size of a screenshot like the view, in physical pixels.
    QSize pixelSize() const;

    // Shows the widget as a frameless window over the geometry; returnToHost puts it back.
    void showAsWindowOver(const QRect& geometry);
    void returnToHost();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    bool event(QEvent* event) override;

private:
    void handleInput(QEvent* event);
    void handleDragAndDrop(QEvent* event);
    void releaseGLObjects();
    void closeWindowThatNeverDrew();
    void replaceGraphicsWindow();
    void takeSnapshot();
    static void writeSnapshot(const QString& file, const QImage& image);
    void reportSceneShown();

    EventSystem* m_eventSystem;
    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::ref_ptr<osgViewer::GraphicsWindowEmbedded> m_window;
    osg::observer_ptr<osg::Node> m_visitedScene;
    qreal m_pixelRatio = 1.0;
    int m_framesDrawn = 0;
    // While a screenshot renders, a paint must not draw a frame in the middle of it.
    bool m_takingScreenshot = false;
    bool m_contextReplaced = false;
    QString m_snapshotFile;
    bool m_sceneExpected = false;
    bool m_sceneArrived = false;
    // The scene that arrived is in a frame drawn but not yet swapped to the screen.
    bool m_sceneDrawn = false;
    // Where the widget sat before it was shown as a window of its own.
    QPointer<QWidget> m_host;
    int m_hostLayoutIndex = -1;
};
