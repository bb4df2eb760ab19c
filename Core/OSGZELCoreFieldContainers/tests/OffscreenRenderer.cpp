#include "OffscreenRenderer.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <iostream>
#include <link.h>
#include <osg/Geode>
#include <osg/ShapeDrawable>
#include <osgDB/WriteFile>

namespace {

// Reads the frame back before the buffers are swapped.
struct ReadBack : osg::Camera::DrawCallback
{
    explicit ReadBack(osg::Image* image) : frame(image) {}

    void operator()(osg::RenderInfo&) const override
    {
        frame->readPixels(0, 0, OffscreenRenderer::Size, OffscreenRenderer::Size, GL_RGBA,
                          GL_UNSIGNED_BYTE);
    }

    osg::ref_ptr<osg::Image> frame;
};

// Mesa unloads its driver when the display connection closes, and the driver's static data
// then looks like leaked memory to the leak checker. Keep every loaded driver until exit.
void keepGraphicsDriversLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            const std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("_dri.so") != std::string::npos)
                dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

} // namespace

OffscreenRenderer::OffscreenRenderer() : m_viewer(new osgViewer::Viewer), m_frame(new osg::Image)
{
    osg::ref_ptr<osg::GraphicsContext::Traits> traits = new osg::GraphicsContext::Traits;
    traits->width = Size;
    traits->height = Size;
    traits->windowDecoration = false;
    traits->doubleBuffer = true;
    traits->red = traits->green = traits->blue = traits->alpha = 8;
    traits->depth = 24;
    traits->readDISPLAY();
    traits->setUndefinedScreenDetailsToDefaultScreen();
    osg::ref_ptr<osg::GraphicsContext> context =
        osg::GraphicsContext::createGraphicsContext(traits.get());
    if (!context)
        return;

    osg::Camera* camera = m_viewer->getCamera();
    camera->setGraphicsContext(context.get());
    camera->setViewport(0, 0, Size, Size);
    camera->setDrawBuffer(GL_BACK);
    camera->setReadBuffer(GL_BACK);
    camera->setClearColor(osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    camera->setProjectionMatrixAsPerspective(30.0, 1.0, 1.0, 100.0);
    camera->setViewMatrixAsLookAt(osg::Vec3(0.0f, -10.0f, 0.0f), osg::Vec3(), osg::Vec3(0, 0, 1));
    camera->setFinalDrawCallback(new ReadBack(m_frame.get()));
    m_viewer->setLightingMode(osg::View::NO_LIGHT);
    m_viewer->setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
    m_viewer->realize();
    m_valid = m_viewer->isRealized();
    keepGraphicsDriversLoaded();
}

OffscreenRenderer::~OffscreenRenderer() = default;

osg::ref_ptr<osg::Image> OffscreenRenderer::render(osg::Node* scene)
{
    m_viewer->setSceneData(scene);
    m_viewer->frame();
    return new osg::Image(*m_frame, osg::CopyOp::DEEP_COPY_ALL);
}

osg::ref_ptr<osg::Node> makeBox(const osg::Vec3& center, float size, const osg::Vec4& color)
{
    osg::ref_ptr<osg::ShapeDrawable> box = new osg::ShapeDrawable(new osg::Box(center, size));
    box->setColor(color);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(box.get());
    geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return geode;
}

::testing::AssertionResult pixelIs(const osg::Image& image, int x, int y,
                                   const osg::Vec4ub& expected, int tolerance)
{
    if (!image.data() || x >= image.s() || y >= image.t())
        return ::testing::AssertionFailure() << "no pixel (" << x << ", " << y << ") in the frame";
    const unsigned char* pixel = image.data(x, y);
    for (int channel = 0; channel < 3; ++channel) {
        if (std::abs(int(pixel[channel]) - int(expected[channel])) > tolerance) {
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") is " << int(pixel[0]) << " "
                   << int(pixel[1]) << " " << int(pixel[2]) << ", expected " << int(expected[0])
                   << " " << int(expected[1]) << " " << int(expected[2]);
        }
    }
    return ::testing::AssertionSuccess();
}

void keepImageOnFailure(const osg::Image& image, const std::string& name)
{
    if (!::testing::Test::HasFailure())
        return;
    const std::string directory = std::string(ZELVISTA_BUILD_ROOT) + "/tests/rendering-failures";
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    const std::string file = directory + "/" + name + ".png";
    if (osgDB::writeImageFile(image, file))
        std::cerr << "The rendered frame is kept in " << file << "\n";
}
