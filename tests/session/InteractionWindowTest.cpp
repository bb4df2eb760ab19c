#include "KernelInterface/IKernel.h"
#include "PluginSystem/PluginFactory.h"
#include "ProgramRun.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "ScratchInstall.h"
#include "Zelvista.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <osg/Camera>
#include <osgViewer/View>

// The whole program in this process, driven with Qt events at the viewer's widget as a user
// would: the test executable lies in a bin/ folder next to Plugins/ with the viewer, the scene
// reader, navigation and selection, so the window finds them as the program does.
namespace {

const QString sample = QString(ZELVISTA_SOURCE_ROOT) + "/Media/samples/sample.osgt";

int countPixels(const QImage& image, bool (*matches)(const QColor&))
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += matches(image.pixelColor(x, y));
    return count;
}

bool isHighlightRed(const QColor& c)
{
    return c.red() > 220 && c.green() < 30 && c.blue() < 30;
}

void keepOnFailure(const QImage& image, const QString& name)
{
    if (!::testing::Test::HasFailure())
        return;
    const QString directory = QString(ZELVISTA_BUILD_ROOT) + "/tests/rendering-failures";
    QDir().mkpath(directory);
    if (image.save(directory + "/" + name + ".png"))
        std::cerr << "Frame kept in " << (directory + "/" + name + ".png").toStdString() << "\n";
}

class InteractionWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", m_dir.filePath("xdg").toUtf8());
        qputenv("TMP", m_dir.path().toUtf8());
        static char name[] = "Zelvista";
        static char option[] = "--loadFile";
        static QByteArray file = sample.toUtf8();
        static char* argv[] = {name, option, file.data(), nullptr};
        m_window = std::make_unique<Zelvista>(3, argv);
        m_window->resize(900, 700);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        // The sample is read in the background.
        QDeadlineTimer deadline(60000);
        while (m_window->isLoading() && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_FALSE(m_window->isLoading());
        QApplication::processEvents();
        const auto viewers = m_window->getKernel()->getPluginFactory()->getInstances<IOSGViewer>();
        ASSERT_FALSE(viewers.empty());
        m_viewer = viewers.front();
        m_widget = qobject_cast<QOpenGLWidget*>(m_viewer->getWidget());
        ASSERT_NE(m_widget, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_widget->isValid(); }, 10000));
    }

    QString userFile(const QString& relative) const
    {
        return m_dir.filePath("xdg/Korvath Lab/Zelvista/user/" + relative);
    }

    QImage frame()
    {
        // What the last input posted (selection boxes, camera moves) is in the frame.
        QCoreApplication::processEvents();
        return m_widget->grabFramebuffer();
    }

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, at, m_widget->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(m_widget, &event);
    }
    void drag(QPoint from, QPoint to)
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int step = 1; step <= 5; ++step)
            mouse(QEvent::MouseMove, from + (to - from) * step / 5, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    void click(QPoint at)
    {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    void key(Qt::Key code)
    {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::sendEvent(m_widget, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
        QApplication::sendEvent(m_widget, &release);
    }

    osg::Node* sceneChild(const std::string& name)
    {
        osg::ref_ptr<osg::Group> scene = m_viewer->getModel()->getScene();
        for (unsigned i = 0; i < scene->getNumChildren(); ++i)
            if (scene->getChild(i)->getName() == name)
                return scene->getChild(i);
        return nullptr;
    }

    // Where a world point is drawn in the widget, in Qt's logical pixels.
    QPoint widgetPosition(const osg::Vec3d& world)
    {
        const osg::Camera& camera = *m_viewer->getScene()->getCamera();
        const osg::Vec3d window = world * camera.getViewMatrix() * camera.getProjectionMatrix() *
                                  camera.getViewport()->computeWindowMatrix();
        const double ratio = m_widget->devicePixelRatioF();
        return QPoint(int(window.x() / ratio),
                      int((camera.getViewport()->height() - window.y()) / ratio));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Zelvista> m_window;
    IOSGViewer* m_viewer = nullptr;
    QOpenGLWidget* m_widget = nullptr;
};

TEST_F(InteractionWindowTest, ClickShowsRedBoxesAndDragTurnsTheCamera)
{
    // Framed from the front, the sphere stands between the box and the cone.
    const QImage loaded = frame();
    osg::Node* sphere = sceneChild("Sphere");
    ASSERT_NE(sphere, nullptr);
    click(widgetPosition(sphere->getBound().center()));
    const SetOfNodes selected = m_viewer->getModel()->getSelectedNodes();
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected.begin()->get(), sphere);
    const QImage boxed = frame();
    EXPECT_GT(countPixels(boxed, isHighlightRed), countPixels(loaded, isHighlightRed) + 100)
        << "no red box lines";
    keepOnFailure(boxed, "InteractionSelect");
    key(Qt::Key_Escape);
    EXPECT_TRUE(m_viewer->getModel()->getSelectedNodes().isEmpty());
    EXPECT_EQ(countPixels(frame(), isHighlightRed), countPixels(loaded, isHighlightRed));

    const QPoint middle(m_widget->width() / 2, m_widget->height() / 2);
    drag(middle, middle + QPoint(m_widget->width() / 10, -m_widget->height() / 10));
    const QImage turned = frame();
    ASSERT_EQ(turned.size(), loaded.size());
    int changed = 0;
    for (int y = 0; y < loaded.height(); ++y)
        for (int x = 0; x < loaded.width(); ++x)
            changed += loaded.pixel(x, y) != turned.pixel(x, y);
    EXPECT_GT(changed, loaded.width() * loaded.height() / 50) << "the camera did not turn";
    keepOnFailure(turned, "InteractionDrag");
}

TEST_F(InteractionWindowTest, BindingChangedInTheDockWorksAtOnceAndIsSavedAtExit)
{
    const osg::Vec3d center = m_viewer->getModel()->getScene()->getBound().center();
    auto eye = [this] {
        return osg::Matrixd::inverse(m_viewer->getScene()->getCamera()->getViewMatrix()).getTrans();
    };
    const double framed = (eye() - center).length();

    // Bind "Frame scene" to F in the navigation dock.
    auto* dock = m_window->findChild<QDockWidget*>("Navigation");
    ASSERT_NE(dock, nullptr);
    QLineEdit* field = nullptr;
    for (QLabel* label : dock->findChildren<QLabel*>("lblConfigElement"))
        if (label->text() == "Frame scene")
            field =
                label->parentWidget()->findChild<QLineEdit*>("lineEditConfigElementPrimaryBinding");
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->text().contains("Space"));
    QTest::mouseDClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_F);

    const QPoint middle(m_widget->width() / 2, m_widget->height() / 2);
    drag(middle, middle + QPoint(40, 0));
    key(Qt::Key_Minus);
    const osg::Matrixd moved = m_viewer->getScene()->getCamera()->getViewMatrix();
    key(Qt::Key_Space);
    EXPECT_EQ(m_viewer->getScene()->getCamera()->getViewMatrix(), moved);
    m_viewer->getScene()->getCamera()->setViewMatrixAsLookAt(center + osg::Vec3d(0, -3 * framed, 0),
                                                             center, osg::Vec3d(0, 0, 1));
    key(Qt::Key_F);
    EXPECT_NEAR((eye() - center).length(), framed, 1e-3 * framed);

    m_window.reset();
    QFile saved(userFile("Navigation/NavigationBindings.xml"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    const int frameEntry = text.indexOf("<m_actionName>Frame scene</m_actionName>");
    ASSERT_GE(frameEntry, 0);
    EXPECT_EQ(text.indexOf("<m_key>70</m_key>", frameEntry), text.indexOf("<m_key>", frameEntry));
    EXPECT_TRUE(QFile::exists(userFile("Selection/SelectionBindings.xml")));
}

// The installed program writes the user's bindings files when it is closed.
TEST(InteractionProgramTest, UserBindingsFilesAppearAfterExit)
{
    ScratchInstall install;
    for (const char* plugin : {"Viewer.so", "SceneReader.so", "Navigation.so", "Selection.so"})
        install.addShippedPlugin(plugin);
    ASSERT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/bin/SceneReaderHelper",
                            install.root() + "/bin/SceneReaderHelper"));
    ProgramRun run(install.program(), {"--loadFile", sample}, install.dataHome(),
                   {"QT_QPA_PLATFORM=xcb", "TMP=" + install.root()});
    ASSERT_TRUE(run.waitForLog("First frame drawn")) << run.standardError().toStdString();
    EXPECT_FALSE(QFile::exists(install.appDataPath() + "/user/Navigation/NavigationBindings.xml"));
    run.sendSignal(SIGTERM);
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(run.exitCode(), 0) << run.standardError().toStdString();
    EXPECT_TRUE(QFile::exists(install.appDataPath() + "/user/Navigation/NavigationBindings.xml"));
    EXPECT_TRUE(QFile::exists(install.appDataPath() + "/user/Selection/SelectionBindings.xml"));
}

} // namespace
