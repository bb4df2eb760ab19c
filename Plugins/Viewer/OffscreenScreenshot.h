#pragma once

#include <osg/Image>
#include <osg/ref_ptr>

class QSurfaceFormat;
namespace osg {
class Node;
}
namespace osgViewer {
class Viewer;
}
namespace OSGU {
class ScreenshotProgress;
}

// A screenshot of what a viewer shows, taken in an OpenGL context of its own: for a widget that
// has not been shown and so has no context. A viewer of its own draws the same scene through a
// camera like the given viewer's; every GL object it makes goes with its context. visitedScene
// is drawn by the scene's stages without being part of it. Null when it failed (logged).
osg::ref_ptr<osg::Image> takeOffscreenScreenshot(osgViewer::Viewer& shown, osg::Node* visitedScene,
                                                 const QSurfaceFormat& format, unsigned int width,
                                                 unsigned int height,
                                                 OSGU::ScreenshotProgress* progress);
