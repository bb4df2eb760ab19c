#include "EventSystem/EventSystem.h"
#include "HumanInterface/InputMapper.h"
#include "HumanInterface/InputMapperRegistry.h"
#include "LogCapture.h"
#include "PluginKernel.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/INavigationPlugin.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "StandInViewer.h"

#include <QFile>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <osg/ShapeDrawable>
#include <osgGA/TrackballManipulator>

namespace {

const osg::Vec3d sceneCenter(1.0, 2.0, 0.5);

class NavigationFixture : public ::testing::Test
{
protected:
    explicit NavigationFixture(bool shippedConfig = true)
        : m_kernel({"Navigation.so"}, shippedConfig), m_model(m_kernel.createModel()),
          m_viewer(m_kernel.events(), m_model),
          m_plugin(
              m_kernel.create<Navigation::INavigationPlugin>(WellKnownPlugins::navigation, "nav"))
    {
        m_model->getScene()->addChild(
            new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(sceneCenter), 1.5f)));
    }

    double distanceToCenter() { return (m_viewer.eye() - sceneCenter).length(); }
    // The scene's bounding sphere fits the 30 degrees of the narrower opening angle.
    double framedDistance()
    {
        return m_model->getScene()->getBound().radius() / std::sin(osg::DegreesToRadians(15.0));
    }
    std::vector<HI::InputMapper*> mappers()
    {
        return m_kernel.kernel().getInputMapperRegistry()->getInputMappers();
    }

    LogCapture m_log;
    PluginKernel m_kernel;
    std::shared_ptr<OSGModel> m_model;
    StandInViewer m_viewer;
    Navigation::INavigationPlugin* m_plugin;
};

bool near(const osg::Vec3d& a, const osg::Vec3d& b, double tolerance = 1e-6)
{
    return (a - b).length() < tolerance;
}

TEST_F(NavigationFixture, FramingOrbitPanDollyAndZoomMoveTheCamera)
{
    ASSERT_NE(m_plugin, nullptr);
    m_plugin->attachViewer("view", m_viewer.getScene(), &m_viewer);

    // Space frames the scene: its centre straight ahead, the whole sphere in view.
    m_viewer.key(Qt::Key_Space);
    const osg::Vec3d toCenter = sceneCenter - m_viewer.eye();
    EXPECT_TRUE(near(m_viewer.lookDirection(), toCenter / toCenter.length()));
    const double framed = distanceToCenter();
    EXPECT_NEAR(framed, framedDistance(), 1e-6);
    EXPECT_GT(m_viewer.redraws, 0);

    // A left drag turns the camera around the centre at the same distance.
    const osg::Matrixd before = m_viewer.camera().getViewMatrix();
    m_viewer.drag(Qt::LeftButton, {100, 75}, {150, 40});
    EXPECT_NE(m_viewer.camera().getViewMatrix(), before);
    EXPECT_NEAR(distanceToCenter(), framed, 1e-6 * framed);
    const osg::Vec3d turned = m_viewer.lookDirection();
    EXPECT_FALSE(near(turned, toCenter / toCenter.length(), 1e-3));

    // Panning (middle, and Shift with left) keeps the direction and moves the camera sideways.
    const osg::Vec3d eyeBeforePan = m_viewer.eye();
    m_viewer.drag(Qt::MiddleButton, {100, 75}, {60, 75});
    EXPECT_TRUE(near(m_viewer.lookDirection(), turned));
    const osg::Vec3d panned = m_viewer.eye() - eyeBeforePan;
    EXPECT_GT(panned.length(), 0.1);
    EXPECT_NEAR(panned * turned, 0.0, 1e-6);
    m_viewer.drag(Qt::LeftButton, {100, 75}, {140, 75}, Qt::ShiftModifier);
    EXPECT_TRUE(near(m_viewer.lookDirection(), turned));
    EXPECT_TRUE(near(m_viewer.eye(), eyeBeforePan, 1e-6)) << "Shift+left pans back";

    // The wheel zooms in and out by a fixed step, a right drag dollies.
    const osg::Vec3d center = m_viewer.eye() + turned * framed;
    m_viewer.wheel(120);
    EXPECT_NEAR((center - m_viewer.eye()).length(), framed * 0.8, 1e-6);
    m_viewer.wheel(-120);
    EXPECT_NEAR((center - m_viewer.eye()).length(), framed, 1e-6);
    m_viewer.drag(Qt::RightButton, {100, 75}, {100, 100});
    EXPECT_GT((center - m_viewer.eye()).length(), framed * 1.1);
    EXPECT_TRUE(near(m_viewer.lookDirection(), turned));

    // Home looks along +y at the framed scene again.
    m_viewer.key(Qt::Key_Home);
    EXPECT_TRUE(near(m_viewer.lookDirection(), osg::Vec3d(0, 1, 0)));
    EXPECT_NEAR(distanceToCenter(), framed, 1e-6);
}

TEST_F(NavigationFixture, FollowsACameraMovedElsewhereAndTakesOverAManipulator)
{
    osg::ref_ptr<osgGA::TrackballManipulator> manipulator = new osgGA::TrackballManipulator;
    manipulator->setHomePosition(osg::Vec3d(0, -20, 0), osg::Vec3d(), osg::Vec3d(0, 0, 1));
    manipulator->home(0.0);
    m_viewer.getScene()->setCameraManipulator(manipulator.get(), false);
    m_plugin->attachViewer("view", m_viewer.getScene(), &m_viewer);
    EXPECT_EQ(m_viewer.getScene()->getCameraManipulator(), nullptr);
    EXPECT_TRUE(near(m_viewer.eye(), osg::Vec3d(0, -20, 0)));

    // Someone else (a load framing the view) puts the camera elsewhere: orbiting starts there
    // and turns around the point of the line of sight nearest the scene.
    m_viewer.camera().setViewMatrixAsLookAt(osg::Vec3d(1, -8, 0.5), osg::Vec3d(1, 0, 0.5),
                                            osg::Vec3d(0, 0, 1));
    const double distance = (m_viewer.eye() - osg::Vec3d(1, 2, 0.5)).length();
    m_viewer.drag(Qt::LeftButton, {100, 75}, {130, 75});
    EXPECT_NEAR((m_viewer.eye() - osg::Vec3d(1, 2, 0.5)).length(), distance, 1e-6);
    EXPECT_FALSE(near(m_viewer.eye(), osg::Vec3d(1, -8, 0.5), 1e-3));
}

TEST_F(NavigationFixture, EachViewerHasItsOwnMapperAndBindingsFile)
{
    auto other = m_kernel.createModel("other");
    StandInViewer second(m_kernel.events(), other);
    m_plugin->attachViewer("first", m_viewer.getScene(), &m_viewer);
    m_plugin->attachViewer("second", second.getScene(), &second);
    m_plugin->attachViewer("again", second.getScene(), &second);
    ASSERT_EQ(mappers().size(), 2u);

    auto* interaction = dynamic_cast<IQtInteraction*>(m_plugin);
    ASSERT_NE(interaction, nullptr);
    ASSERT_EQ(interaction->getDockWidgets().size(), 1u);
    auto* dock = qobject_cast<QTabWidget*>(interaction->getDockWidgets().front());
    ASSERT_NE(dock, nullptr);
    EXPECT_EQ(dock->count(), 2);

    // Input of one viewer moves only its own camera.
    const osg::Matrixd secondView = second.camera().getViewMatrix();
    m_viewer.drag(Qt::LeftButton, {100, 75}, {150, 75});
    EXPECT_EQ(second.camera().getViewMatrix(), secondView);

    // Detaching saves the bindings; the second viewer's go to a folder of their own.
    m_plugin->detachViewer(second.getScene());
    EXPECT_EQ(dock->count(), 1);
    EXPECT_EQ(mappers().size(), 1u);
    const QString user = m_kernel.dataPath() + "/user/";
    EXPECT_TRUE(QFile::exists(user + "Navigation_2/NavigationBindings.xml"));
    second.drag(Qt::LeftButton, {100, 75}, {150, 75});
    EXPECT_EQ(second.camera().getViewMatrix(), secondView);

    m_plugin->detachViewer(m_viewer.getScene());
    EXPECT_TRUE(QFile::exists(user + "Navigation/NavigationBindings.xml"));
    EXPECT_EQ(dock->count(), 0);
}

TEST_F(NavigationFixture, ChangedBindingWorksAtOnceAndIsKeptForTheNextRun)
{
    m_plugin->attachViewer("view", m_viewer.getScene(), &m_viewer);
    ASSERT_EQ(mappers().size(), 1u);
    for (HI::ActionMapping& record : mappers().front()->getMapping().mappings())
        if (record.actionName == "Frame scene")
            record.primary = {HI::Key, 0, Qt::Key_F, 0};
    m_viewer.key(Qt::Key_F);
    EXPECT_NEAR(distanceToCenter(), framedDistance(), 1e-6);
    m_plugin->detachViewer(m_viewer.getScene());

    m_viewer.camera().setViewMatrixAsLookAt(osg::Vec3d(0, -50, 0), osg::Vec3d(),
                                            osg::Vec3d(0, 0, 1));
    m_plugin->attachViewer("view", m_viewer.getScene(), &m_viewer);
    m_viewer.key(Qt::Key_Space);
    EXPECT_NEAR(m_viewer.eye().y(), -50.0, 1e-9) << "Space no longer frames";
    m_viewer.key(Qt::Key_F);
    EXPECT_NEAR(distanceToCenter(), framedDistance(), 1e-6);
}

class NavigationWithoutConfigFixture : public NavigationFixture
{
protected:
    NavigationWithoutConfigFixture() : NavigationFixture(false) {}
};

// The shipped file and the built-in bindings agree, so a missing file changes nothing.
TEST_F(NavigationWithoutConfigFixture, BuiltInBindingsEqualTheShippedFile)
{
    m_plugin->attachViewer("view", m_viewer.getScene(), &m_viewer);
    ASSERT_EQ(mappers().size(), 1u);
    HI::InputActionToInputEventMapping& mapping = mappers().front()->getMapping();
    std::vector<HI::ActionMapping> builtIn(mapping.mappings().begin(), mapping.mappings().end());
    for (HI::ActionMapping& record : mapping.mappings())
        record.primary = record.secondary = {};
    ASSERT_TRUE(mapping.loadBindings(std::string(ZELVISTA_BUILD_ROOT) +
                                     "/config/default/Navigation/NavigationBindings.xml"));
    ASSERT_EQ(mapping.mappings().size(), builtIn.size());
    for (std::size_t i = 0; i < builtIn.size(); ++i) {
        EXPECT_EQ(mapping.mappings()[i].primary, builtIn[i].primary) << builtIn[i].actionName;
        EXPECT_EQ(mapping.mappings()[i].secondary, builtIn[i].secondary) << builtIn[i].actionName;
    }
    m_viewer.drag(Qt::LeftButton, {100, 75}, {150, 75});
    EXPECT_GT(m_viewer.redraws, 0);
}

} // namespace
