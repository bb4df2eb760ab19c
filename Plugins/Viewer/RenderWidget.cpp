#include "RenderWidget.h"

#include "EventSystem/EventSystem.h"
#include "Logger/Log.h"
#include "OSGUtility/Screenshot.h"
#include "OSGUtility/ScreenshotProgress.h"
#include "OffDiskPagers.h"
#include "OffscreenScreenshot.h"
#include "QtUtility/QtEvents.h"

#include <QBoxLayout>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTimer>
#include <algorithm>
#include <osg/DisplaySettings>
#include <osg/GLExtensions>
#include <osg/GLObjects>
#include <osgViewer/Viewer>
#include <utility>

RenderWidget::RenderWidget(EventSystem* eventSystem, QWidget* parent)
    : QOpenGLWidget(parent), m_eventSystem(eventSystem), m_viewer(new osgViewer::Viewer)
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    setFormat(format);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    // Handlers may react to the pointer passing over the view (a manipulator's handle lights up).
    setMouseTracking(true);
    setMinimumSize(32, 32);

    // A copy of the global settings, so that stereo switches only this view.
    m_viewer->setDisplaySettings(new osg::DisplaySettings(*osg::DisplaySettings::instance()));
    m_window =
        m_viewer->setUpViewerAsEmbeddedInWindow(0, 0, std::max(width(), 1), std::max(height(), 1));
    m_viewer->setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
    m_viewer->setKeyEventSetsDone(0);
    m_viewer->setQuitEventSetsDone(false);
    m_viewer->setReleaseContextAtEndOfFrameHint(false);
    keepPagersOffDisk(*m_viewer);
    connect(this, &QOpenGLWidget::frameSwapped, this, &RenderWidget::reportSceneShown);
}

void RenderWidget::setSceneData(osg::Node* root)
{
    m_viewer->setSceneData(root);
    keepPagersOffDisk(*m_viewer);
}

RenderWidget::~RenderWidget()
{
    // The context goes in QOpenGLWidget's destructor, after this class: clean up now, while the
    // viewer still exists, and do not listen any longer.
    if (QOpenGLContext* glContext = context())
        disconnect(glContext, nullptr, this, nullptr);
    releaseGLObjects();
    if (m_window && m_window->getState())
        closeWindowThatNeverDrew();
    makeCurrent();
    m_window = nullptr;
    m_viewer = nullptr;
    doneCurrent();
}

void RenderWidget::setVisitedScene(osg::Node* scene)
{
    m_visitedScene = scene;
}

void RenderWidget::initializeGL()
{
    // Reparenting into another window replaces the context: the GL objects of the old one go
    // with it and are made again in the new one.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &RenderWidget::releaseGLObjects,
            Qt::DirectConnection);
    if (std::exchange(m_contextReplaced, false))
        replaceGraphicsWindow();
}

// The new context is a new graphics context to OpenSceneGraph: nothing of the old one's state
// or objects carries over.
void RenderWidget::replaceGraphicsWindow()
{
    const osg::Viewport* viewport = m_viewer->getCamera()->getViewport();
    m_window = m_viewer->setUpViewerAsEmbeddedInWindow(0, 0, int(viewport->width()),
                                                       int(viewport->height()));
}

void RenderWidget::resizeGL(int width, int height)
{
    // Qt sizes are logical pixels, GL draws in physical ones.
    m_pixelRatio = devicePixelRatioF();
    const int pixelWidth = qRound(width * m_pixelRatio);
    const int pixelHeight = qRound(height * m_pixelRatio);
    m_window->resized(0, 0, pixelWidth, pixelHeight);
    m_window->getEventQueue()->windowResize(0, 0, pixelWidth, pixelHeight);
}

void RenderWidget::paintGL()
{
    if (m_takingScreenshot)
        return;
    // The widget's frame buffer object is replaced on every resize.
    m_window->setDefaultFboId(defaultFramebufferObject());
    m_viewer->frame();
    if (++m_framesDrawn == 1)
        ZEL_INFO << "RenderWidget::paintGL: First frame drawn.\n";
    if (m_sceneArrived) {
        m_sceneArrived = false;
        m_sceneDrawn = true;
    }
    if (!m_snapshotFile.isEmpty() && (!m_sceneExpected || m_sceneDrawn))
        takeSnapshot();
    // Only an animation (a handler asking for continuous updates) draws the next frame unasked.
    if (m_viewer->getRequestContinousUpdate())
        update();
}

bool RenderWidget::drawFrameNow()
{
    // A screenshot's tiles hold the viewer's camera until it is done.
    if (!isValid() || !m_window || m_takingScreenshot)
        return false;
    makeCurrent();
    m_window->setDefaultFboId(defaultFramebufferObject());
    m_viewer->frame();
    doneCurrent();
    // No update(): the frame buffer now holds the current frame, and a repaint would draw it
    // a second time for every exported frame.
    return true;
}

bool RenderWidget::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        handleInput(event);
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        handleDragAndDrop(event);
        return true;
    default:
        return QOpenGLWidget::event(event);
    }
}

void RenderWidget::handleInput(QEvent* event)
{
    QtInputEvent record(this, event);
    // The camera moves through the navigation plug-in's actions, fed from here.
    if (m_eventSystem)
        m_eventSystem->dispatch(record);
    event->accept();
    // The pointer passing over the view changes nothing by itself: a handler that shows
    // something for it asks for the frame.
    const bool hovering = event->type() == QEvent::MouseMove &&
                          static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
    if (!hovering)
        update();
}

void RenderWidget::handleDragAndDrop(QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    QtEventEvent record(EventType::QtDrop, event);
    const bool consumed = m_eventSystem && m_eventSystem->dispatch(record);
    // Nobody claims the drag itself; files are welcome so that their drop can follow.
    const bool filesOffered = event->type() != QEvent::Drop && drop->mimeData()->hasUrls();
    if (consumed || filesOffered)
        drop->acceptProposedAction();
    else
        drop->ignore();
}

void RenderWidget::releaseGLObjects()
{
    if (!m_window || !m_window->getState() || !context())
        return;
    makeCurrent();
    osg::State* state = m_window->getState();
    m_viewer->getCamera()->releaseGLObjects(state);
    osg::ref_ptr<osg::Node> scene;
    if (m_visitedScene.lock(scene))
        scene->releaseGLObjects(state);
    osg::flushAllDeletedGLObjects(state->getContextID());
    // Whatever else the graphics window made goes with the context it was made in.
    m_window->close();
    doneCurrent();
    m_contextReplaced = true;
}

// Closing a graphics window asks for the GL extensions of its context number; with no context
// ever current, OpenSceneGraph keeps the empty answer for the next window that gets the number,
// which then has no frame buffer objects. The answer goes with the window.
void RenderWidget::closeWindowThatNeverDrew()
{
    const unsigned int contextID = m_window->getState()->getContextID();
    m_window->close(false);
    osg::GLExtensions::Set(contextID, nullptr);
}

namespace {

// Passes progress on; whatever the caller does meanwhile (a progress dialog processing events),
// the next tile must find the widget's context current again.
class KeepContextCurrent : public OSGU::ScreenshotProgress
{
public:
    KeepContextCurrent(QOpenGLWidget& widget, OSGU::ScreenshotProgress* progress)
        : m_widget(widget), m_progress(progress)
    {}

    bool progress(unsigned int percent) override
    {
        const bool goOn = !m_progress || m_progress->progress(percent);
        m_widget.makeCurrent();
        return goOn;
    }

private:
    QOpenGLWidget& m_widget;
    OSGU::ScreenshotProgress* m_progress;
};

} // namespace

QSize RenderWidget::pixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(width() * ratio), qRound(height() * ratio));
}

osg::ref_ptr<osg::Image> RenderWidget::takeScreenshot(unsigned int width, unsigned int height,
                                                      OSGU::ScreenshotProgress* progress)
{
    if (m_takingScreenshot)
        return nullptr;
    m_takingScreenshot = true;
    osg::ref_ptr<osg::Image> image;
    if (!isValid() || !context()) {
        osg::ref_ptr<osg::Node> visited;
        m_visitedScene.lock(visited);
        image =
            takeOffscreenScreenshot(*m_viewer, visited.get(), format(), width, height, progress);
    } else {
        makeCurrent();
        m_window->setDefaultFboId(defaultFramebufferObject());
        if (!m_viewer->isRealized())
            m_viewer->realize();
        KeepContextCurrent current(*this, progress);
        if (!OSGU::takeScreenshot(m_window.get(), m_viewer.get(), width, height, image, &current,
                                  m_viewer->getSceneData()))
            image = nullptr;
        doneCurrent();
    }
    m_takingScreenshot = false;
    update();
    return image;
}

void RenderWidget::sceneArrived()
{
    m_sceneArrived = true;
    update();
}

void RenderWidget::reportSceneShown()
{
    if (!std::exchange(m_sceneDrawn, false))
        return;
    ZEL_INFO << "RenderWidget: The loaded scene is on the screen ("
             << qRound(width() * m_pixelRatio) << "x" << qRound(height() * m_pixelRatio)
             << " pixels).\n";
}

// Read from the frame buffer just drawn: grabbing it later would draw the frame again.
void RenderWidget::takeSnapshot()
{
    const int width = qRound(this->width() * m_pixelRatio);
    const int height = qRound(this->height() * m_pixelRatio);
    QImage image(width, height, QImage::Format_RGBA8888);
    QOpenGLFunctions* gl = context()->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    const QString file = std::exchange(m_snapshotFile, QString());
    image = image.mirrored().convertToFormat(QImage::Format_RGB32);
    // Saved after the frame: a PNG takes longer than drawing.
    QTimer::singleShot(0, this, [file, image] { writeSnapshot(file, image); });
}

void RenderWidget::writeSnapshot(const QString& file, const QImage& image)
{
    if (image.save(file))
        ZEL_INFO << "RenderWidget::writeSnapshot: Wrote the first frame to " << file.toStdString()
                 << "\n";
    else
        ZEL_ERROR << "RenderWidget::writeSnapshot: Failed to write the first frame to "
                  << file.toStdString() << "\n";
}

void RenderWidget::showAsWindowOver(const QRect& geometry)
{
    if (!isWindow()) {
        m_host = parentWidget();
        m_hostLayoutIndex = m_host && m_host->layout() ? m_host->layout()->indexOf(this) : -1;
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    }
    setGeometry(geometry);
    show();
    raise();
    activateWindow();
}

void RenderWidget::returnToHost()
{
    if (!isWindow())
        return;
    if (!m_host) {
        // The host is gone: stay a window, with a frame again.
        setWindowFlags(Qt::Window);
        show();
        return;
    }
    setParent(m_host);
    if (auto* box = qobject_cast<QBoxLayout*>(m_host->layout()))
        box->insertWidget(m_hostLayoutIndex, this);
    else if (m_host->layout())
        m_host->layout()->addWidget(this);
    show();
}
