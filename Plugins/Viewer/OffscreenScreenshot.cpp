#include "OffscreenScreenshot.h"

#include "Logger/Log.h"
#include "OSGUtility/Screenshot.h"
#include "OffDiskPagers.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <osg/GLObjects>
#include <osgViewer/Viewer>

osg::ref_ptr<osg::Image> takeOffscreenScreenshot(osgViewer::Viewer& shown, osg::Node* visitedScene,
                                                 const QSurfaceFormat& format, unsigned int width,
                                                 unsigned int height,
                                                 OSGU::ScreenshotProgress* progress)
{
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    QOpenGLContext context;
    context.setFormat(format);
    if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface)) {
        ZEL_ERROR << "takeOffscreenScreenshot: No OpenGL context to draw the screenshot in.\n";
        return nullptr;
    }

    const osg::Camera& camera = *shown.getCamera();
    const osg::Viewport* viewport = camera.getViewport();
    osg::ref_ptr<osgViewer::Viewer> viewer = new osgViewer::Viewer;
    viewer->setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
    viewer->setReleaseContextAtEndOfFrameHint(false);
    osg::ref_ptr<osgViewer::GraphicsWindowEmbedded> window =
        viewer->setUpViewerAsEmbeddedInWindow(0, 0, viewport ? int(viewport->width()) : int(width),
                                              viewport ? int(viewport->height()) : int(height));
    window->setDefaultFboId(context.defaultFramebufferObject());
    viewer->getCamera()->setViewMatrix(camera.getViewMatrix());
    viewer->getCamera()->setProjectionMatrix(camera.getProjectionMatrix());
    viewer->getCamera()->setClearColor(camera.getClearColor());
    viewer->setLightingMode(shown.getLightingMode());
    if (shown.getLight())
        viewer->setLight(shown.getLight());
    viewer->setSceneData(shown.getSceneData());
    keepPagersOffDisk(*viewer);
    viewer->realize();

    osg::ref_ptr<osg::Image> image;
    const bool taken = OSGU::takeScreenshot(window.get(), viewer.get(), width, height, image,
                                            progress, viewer->getSceneData());

    // The scene's GL objects of this context go with it.
    context.makeCurrent(&surface);
    if (osg::State* state = window->getState()) {
        viewer->getCamera()->releaseGLObjects(state);
        if (visitedScene)
            visitedScene->releaseGLObjects(state);
        osg::flushAllDeletedGLObjects(state->getContextID());
    }
    window->close();
    viewer->setSceneData(nullptr);
    context.doneCurrent();
    return taken ? image : nullptr;
}
