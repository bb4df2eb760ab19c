#include "ViewerFixture.h"

#include "ApplicationBase/KernelAPI.h"
#include "LogCapture.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "PluginSystem/PluginFactory.h"
#include "PluginSystem/PluginInstanceInfo.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/OSGModel.h"

#include <QDir>
#include <QFile>
#include <QOpenGLWidget>
#include <QSignalSpy>
#include <QTest>
#include <iostream>
#include <osg/Material>
#include <osg/ShapeDrawable>

namespace {} // namespace

ViewerFixture::ViewerFixture() : m_log(std::make_unique<LogCapture>())
{
    const QString built = QString(ZELVISTA_BUILD_ROOT) + "/Plugins/";
    for (const QString name : {"Viewer.so", "SceneReader.so"})
        EXPECT_TRUE(QFile::copy(built + name, m_plugins.filePath(name))) << name.toStdString();
    m_kernel = std::make_unique<KernelAPI>(std::string(ZELVISTA_BUILD_ROOT) + "/bin",
                                           m_files.path().toStdString(),
                                           m_plugins.path().toStdString(), false);
}

ViewerFixture::~ViewerFixture()
{
    m_kernel.reset();
}

IOSGViewer* ViewerFixture::createViewer(const std::string& name)
{
    IPlugin* plugin = m_kernel->getPluginFactory()->createInstance(
        uuidFromString(WellKnownPlugins::defaultViewer), PluginInstanceInfo(name));
    return dynamic_cast<IOSGViewer*>(plugin);
}

std::shared_ptr<OSGModel> ViewerFixture::createModel(const std::string& name)
{
    return std::make_shared<OSGModel>(m_kernel->getPluginFactory(), m_kernel->getEventSystem(),
                                      name, Uuid{});
}

void ViewerFixture::show(IOSGViewer& viewer)
{
    auto* widget = qobject_cast<QOpenGLWidget*>(viewer.getWidget());
    ASSERT_NE(widget, nullptr);
    QSignalSpy drawn(widget, &QOpenGLWidget::frameSwapped);
    widget->resize(Width, Height);
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
    // The first frame, then whatever showing the widget posted.
    ASSERT_TRUE(!drawn.isEmpty() || drawn.wait(10000));
    QCoreApplication::processEvents();
}

QImage ViewerFixture::grab(IOSGViewer& viewer)
{
    auto* widget = qobject_cast<QOpenGLWidget*>(viewer.getWidget());
    return widget ? widget->grabFramebuffer() : QImage();
}

osg::ref_ptr<osg::Geometry> makeBox(const osg::Vec3& center, float size, const osg::Vec4& color)
{
    osg::ref_ptr<osg::ShapeDrawable> box = new osg::ShapeDrawable(new osg::Box(center, size));
    box->setColor(color);
    box->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return box;
}

::testing::AssertionResult pixelIs(const QImage& image, int x, int y, const QColor& expected,
                                   int tolerance)
{
    if (!image.valid(x, y))
        return ::testing::AssertionFailure() << "no pixel (" << x << ", " << y << ") in the frame";
    const QColor got = image.pixelColor(x, y);
    if (std::abs(got.red() - expected.red()) > tolerance ||
        std::abs(got.green() - expected.green()) > tolerance ||
        std::abs(got.blue() - expected.blue()) > tolerance)
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is " << got.red() << " " << got.green() << " "
               << got.blue() << ", expected " << expected.red() << " " << expected.green() << " "
               << expected.blue();
    return ::testing::AssertionSuccess();
}

void keepImageOnFailure(const QImage& image, const std::string& name)
{
    if (!::testing::Test::HasFailure())
        return;
    const QString directory = QString(ZELVISTA_BUILD_ROOT) + "/tests/rendering-failures";
    QDir().mkpath(directory);
    const QString path = directory + "/" + QString::fromStdString(name) + ".png";
    if (image.save(path))
        std::cerr << "The rendered frame is kept in " << path.toStdString() << "\n";
}
