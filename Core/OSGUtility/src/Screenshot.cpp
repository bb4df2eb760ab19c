#include "OSGUtility/Screenshot.h"

#include "Logger/Log.h"
#include "OSGUtility/ImageFileWriter.h"
#include "OSGUtility/ScreenshotProgress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <osg/Camera>
#include <osg/GLExtensions>
#include <osg/GLObjects>
#include <osg/GraphicsContext>
#include <osg/LightSource>
#include <osg/Texture>
#include <osg/View>
#include <osgViewer/ViewerBase>
#include <vector>

namespace OSGU {

namespace {

const unsigned int preferredTileSize = 1024;

std::string formatted(const char* format, unsigned int a, unsigned int b)
{
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string formatted(const char* format, unsigned int a, unsigned int b, unsigned int c,
                      unsigned int d)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

osg::Camera* singleCamera(osg::GraphicsContext& window)
{
    const osg::GraphicsContext::Cameras& cameras = window.getCameras();
    return cameras.size() == 1 ? cameras.front() : nullptr;
}

// The GL limits need the window's context current; zero when no context is.
unsigned int tileSize()
{
    if (!glGetString(GL_VERSION))
        return 0;
    GLint dimensions[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dimensions);
    if (dimensions[0] <= 0 || dimensions[1] <= 0)
        return 0;
    return std::min({preferredTileSize, unsigned(dimensions[0]), unsigned(dimensions[1])});
}

bool hasFrameBufferObjects(osg::GraphicsContext& window)
{
    if (!window.getState() || !glGetString(GL_VERSION))
        return false;
    const osg::GLExtensions* extensions =
        osg::GLExtensions::Get(window.getState()->getContextID(), true);
    return extensions && extensions->isFrameBufferObjectSupported;
}

// The projection of the whole shot cut into tiles of t by t pixels, tile (i, j) counted from
// the bottom left: the shot's projection scaled up by the tile count and shifted to the tile.
class TileProjection
{
public:
    TileProjection(const osg::Matrixd& projection, unsigned int width, unsigned int height,
                   unsigned int tile)
        : m_projection(projection), m_tilesAcross(double(width) / tile),
          m_tilesUp(double(height) / tile), m_tile(tile)
    {}

    osg::Matrixd forTileAt(unsigned int x, unsigned int y) const
    {
        const double i = double(x) / m_tile;
        const double j = double(y) / m_tile;
        return m_projection * osg::Matrixd::scale(m_tilesAcross, m_tilesUp, 1.0) *
               osg::Matrixd::translate(m_tilesAcross - 1.0 - 2.0 * i, m_tilesUp - 1.0 - 2.0 * j,
                                       0.0);
    }

private:
    osg::Matrixd m_projection;
    double m_tilesAcross;
    double m_tilesUp;
    unsigned int m_tile;
};

// The view's own light (a headlight, say), which the window's camera gets from its renderer
// only for what it draws itself, not for a camera drawing into a buffer of its own.
osg::ref_ptr<osg::LightSource> viewLight(osg::Camera& camera, osg::StateSet& stateSet)
{
    osg::View* view = camera.getView();
    if (!view || !view->getLight() || view->getLightingMode() == osg::View::NO_LIGHT)
        return nullptr;
    osg::ref_ptr<osg::LightSource> source = new osg::LightSource;
    source->setLight(view->getLight());
    if (view->getLightingMode() == osg::View::HEADLIGHT)
        source->setReferenceFrame(osg::LightSource::ABSOLUTE_RF);
    source->setStateSetModes(stateSet, osg::StateAttribute::ON);
    return source;
}

// What a shot changes on the window's camera, undone when it goes: the camera draws the tile
// camera above the scene instead of the scene, and clears nothing of the window meanwhile.
class ShotSetup
{
public:
    ShotSetup(osg::GraphicsContext& window, osg::Camera& camera, osg::Node* sceneRoot,
              unsigned int tile, const osg::Image& shot)
        : m_window(window), m_camera(camera), m_clearMask(camera.getClearMask()),
          m_tileCamera(new osg::Camera), m_tileImage(new osg::Image)
    {
        for (unsigned int i = 0; i < camera.getNumChildren(); ++i)
            m_children.push_back(camera.getChild(i));

        m_tileImage->allocateImage(int(tile), int(tile), 1, shot.getPixelFormat(),
                                   GL_UNSIGNED_BYTE);
        m_tileImage->setInternalTextureFormat(GL_RGBA8);
        m_tileCamera->setName("ScreenshotTileCamera");
        m_tileCamera->setRenderOrder(osg::Camera::PRE_RENDER);
        m_tileCamera->setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
        m_tileCamera->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
        m_tileCamera->setViewport(0, 0, int(tile), int(tile));
        m_tileCamera->setClearColor(camera.getClearColor());
        m_tileCamera->setClearMask(camera.getClearMask());
        m_tileCamera->setViewMatrix(camera.getViewMatrix());
        m_tileCamera->attach(osg::Camera::COLOR_BUFFER0, m_tileImage.get());
        m_tileCamera->attach(osg::Camera::PACKED_DEPTH_STENCIL_BUFFER, GL_DEPTH24_STENCIL8_EXT);
        if (osg::ref_ptr<osg::LightSource> light =
                viewLight(camera, *m_tileCamera->getOrCreateStateSet()))
            m_tileCamera->addChild(light.get());
        if (sceneRoot)
            m_tileCamera->addChild(sceneRoot);
        else
            for (const osg::ref_ptr<osg::Node>& child : m_children)
                m_tileCamera->addChild(child.get());

        camera.removeChildren(0, camera.getNumChildren());
        camera.addChild(m_tileCamera.get());
        camera.setClearMask(0);
    }

    ~ShotSetup()
    {
        m_camera.removeChildren(0, m_camera.getNumChildren());
        for (const osg::ref_ptr<osg::Node>& child : m_children)
            m_camera.addChild(child.get());
        m_camera.setClearMask(m_clearMask);
        // The tile buffers go now, in the context they live in.
        m_window.makeCurrent();
        if (osg::State* state = m_window.getState()) {
            m_tileCamera->releaseGLObjects(state);
            osg::flushAllDeletedGLObjects(state->getContextID());
        }
    }

    ShotSetup(const ShotSetup&) = delete;
    ShotSetup& operator=(const ShotSetup&) = delete;

    osg::Camera& tileCamera() { return *m_tileCamera; }
    const osg::Image& tileImage() const { return *m_tileImage; }

private:
    osg::GraphicsContext& m_window;
    osg::Camera& m_camera;
    std::vector<osg::ref_ptr<osg::Node>> m_children;
    GLbitfield m_clearMask;
    osg::ref_ptr<osg::Camera> m_tileCamera;
    osg::ref_ptr<osg::Image> m_tileImage;
};

// The part of the tile that lies inside the shot, placed at (x, y).
void copyTile(const osg::Image& tile, osg::Image& shot, unsigned int x, unsigned int y)
{
    const unsigned int columns = std::min<unsigned int>(tile.s(), shot.s() - x);
    const unsigned int rows = std::min<unsigned int>(tile.t(), shot.t() - y);
    const std::size_t bytes = std::size_t(columns) * shot.getPixelSizeInBits() / 8;
    for (unsigned int row = 0; row < rows; ++row)
        std::memcpy(shot.data(x, y + row), tile.data(0, row), bytes);
}

// The shot's projection: the camera's, widened or narrowed to the shot's aspect.
osg::Matrixd shotProjection(const osg::Camera& camera, unsigned int width, unsigned int height)
{
    const osg::Viewport* viewport = camera.getViewport();
    if (!viewport || viewport->width() <= 0 || viewport->height() <= 0)
        return camera.getProjectionMatrix();
    const double viewportAspect = viewport->width() / viewport->height();
    const double shotAspect = double(width) / height;
    return camera.getProjectionMatrix() * osg::Matrixd::scale(viewportAspect / shotAspect, 1, 1);
}

} // namespace

ScreenshotProgress::~ScreenshotProgress() = default;

bool screenshotSizeFor(unsigned int& width, unsigned int& height)
{
    if (width == 0 || height == 0)
        return false;
    while (width > maxScreenshotSide || height > maxScreenshotSide) {
        unsigned int& larger = width >= height ? width : height;
        unsigned int& other = width >= height ? height : width;
        other = std::max(1u, unsigned(double(other) * maxScreenshotSide / larger));
        larger = maxScreenshotSide;
    }
    return true;
}

bool takeScreenshot(osg::GraphicsContext* window, osgViewer::ViewerBase* renderAction,
                    unsigned int width, unsigned int height, osg::ref_ptr<osg::Image>& image,
                    ScreenshotProgress* progress, osg::Node* sceneRoot)
{
    if (!window) {
        ZEL_ERROR << "Window is NULL, cannot take screen shot.\n";
        return false;
    }
    if (!renderAction) {
        ZEL_ERROR << "Render action is NULL, cannot take screen shot.\n";
        return false;
    }
    if (!singleCamera(*window)) {
        ZEL_ERROR << "Viewport count is != 1, cannot handle that.\n";
        return false;
    }
    window->makeCurrent();
    const bool frameBufferObjects = hasFrameBufferObjects(*window);
    if (width == 0 || height == 0) {
        ZEL_ERROR << formatted("zero image resolution not allowed (%u %u)\n", width, height);
        return false;
    }
    unsigned int finalWidth = width;
    unsigned int finalHeight = height;
    screenshotSizeFor(finalWidth, finalHeight);
    if (finalWidth != width || finalHeight != height)
        ZEL_INFO << formatted("image resolution (%u %u) too high, changed to (%u %u)\n", width,
                              height, finalWidth, finalHeight);

    try {
        image = new osg::Image;
        image->allocateImage(int(finalWidth), int(finalHeight), 1, GL_BGRA, GL_UNSIGNED_BYTE);
    } catch (const std::bad_alloc&) {
        image = nullptr;
    }
    if (!image || !image->data()) {
        ZEL_ERROR << "takeScreenshot: No memory for an image of " << finalWidth << " by "
                  << finalHeight << " pixels.\n";
        image = nullptr;
        return false;
    }
    if (!frameBufferObjects) {
        ZEL_ERROR << "FBO support required for screen shot.\n";
        return false;
    }
    return renderScreenshotTiles(window, renderAction, finalWidth, finalHeight, image.get(),
                                 progress, sceneRoot);
}

bool renderScreenshotTiles(osg::GraphicsContext* window, osgViewer::ViewerBase* renderAction,
                           unsigned int width, unsigned int height, osg::Image* image,
                           ScreenshotProgress* progress, osg::Node* sceneRoot)
{
    osg::Camera* camera = window ? singleCamera(*window) : nullptr;
    if (!camera || !renderAction || !image || image->s() != int(width) ||
        image->t() != int(height) || image->getDataType() != GL_UNSIGNED_BYTE) {
        ZEL_ERROR << "renderScreenshotTiles: No window of one viewport, render action or image "
                     "of the screenshot's size.\n";
        return false;
    }
    window->makeCurrent();
    const unsigned int tile = tileSize();
    if (tile == 0) {
        ZEL_ERROR << "renderScreenshotTiles: The window's OpenGL context is not current.\n";
        return false;
    }

    const unsigned int tileCount = ((width + tile - 1) / tile) * ((height + tile - 1) / tile);
    const unsigned int step = tileCount > 1 ? 10000 / tileCount : tileCount;
    unsigned int accumulated = 0;
    const TileProjection projection(shotProjection(*camera, width, height), width, height, tile);

    ShotSetup setup(*window, *camera, sceneRoot, tile, *image);
    ZEL_INFO << "Screenshot tiling ...\n";
    for (unsigned int x = 0; x < width; x += tile) {
        for (unsigned int y = 0; y < height; y += tile) {
            setup.tileCamera().setProjectionMatrix(projection.forTileAt(x, y));
            renderAction->advance();
            renderAction->renderingTraversals();
            window->makeCurrent();
            glFinish();
            copyTile(setup.tileImage(), *image, x, y);
            if (progress && step != 0) {
                if (!progress->progress(accumulated / 100)) {
                    ZEL_INFO << "Screenshot cancelled.\n";
                    return false;
                }
                accumulated += step;
            }
        }
    }
    ZEL_INFO << " done.\n";
    if (progress)
        progress->progress(100);
    return true;
}

void writeFBOColorBuffer(const osg::Camera& fbo, const std::string& fileName, unsigned int index)
{
    const osg::Camera::BufferAttachmentMap& attachments = fbo.getBufferAttachmentMap();
    const auto found =
        attachments.find(osg::Camera::BufferComponent(osg::Camera::COLOR_BUFFER0 + index));
    if (found == attachments.end() || (!found->second._texture && !found->second._image)) {
        ZEL_ERROR << "writeFBOColorBuffer: No buffer found\n";
        return;
    }
    const osg::Camera::Attachment& attachment = found->second;
    const osg::Image* source = attachment._image.get();
    if (!source) {
        const osg::Texture* texture = attachment._texture.get();
        if (!texture) {
            ZEL_ERROR << "writeFBOColorBuffer: No texture found\n";
            return;
        }
        source = texture->getImage(attachment._face);
    }
    if (!source) {
        ZEL_ERROR << "writeFBOColorBuffer: No image found\n";
        return;
    }
    ZEL_INFO << "writeFBOColorBuffer Writing " << fileName << "\n";
    // The camera keeps reading back into its image: the file gets a copy.
    osg::ref_ptr<osg::Image> copy = new osg::Image(*source, osg::CopyOp::DEEP_COPY_ALL);
    std::string reason;
    if (!writeImageFile(*copy, fileName, reason))
        ZEL_ERROR << "writeFBOColorBuffer: Cannot write " << fileName << ": " << reason << "\n";
}

} // namespace OSGU
