#include "EventSystem/EventSystem.h"
#include "PluginKernel.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "QtUtility/QtEvents.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QUndoStack>
#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>
#include <osgViewer/View>

namespace {

const char* const manipulatorType = "4f6c2a91-7d3e-4b8a-9e15-2c7b0d9a6f31";

osg::Matrixd worldMatrix(const osg::Node& node)
{
    return osg::computeLocalToWorld(node.getParentalNodePaths().front());
}

// The real viewer (not shown: picking needs only its camera) with the manipulator attached, and
// a box of edge 2 at (1, 0, 0) as the selected object.
class ManipulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_model = m_plugins.createModel();
        m_viewer = m_plugins.create<IOSGViewer>(WellKnownPlugins::defaultViewer, "Viewer");
        ASSERT_NE(m_viewer, nullptr);
        m_viewer->setModel(m_model);
        m_manipulator = m_plugins.create<IQtInteraction>(manipulatorType, "Manipulator");
        ASSERT_NE(m_manipulator, nullptr);

        m_box = new osg::Geode;
        m_box->setName("Box");
        m_box->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(1, 0, 0), 2.0f)));
        m_model->getScene()->addChild(new osg::Group);
        m_model->getScene()->addChild(m_box);
        camera().setViewMatrixAsLookAt({1, -12, 4}, {1, 0, 0}, {0, 0, 1});
        select({m_box.get()});
        // The manipulator follows the viewer's model once the event loop runs.
        QCoreApplication::processEvents();
    }

    void TearDown() override { m_model->getUndoStack()->clear(); }

    osg::Camera& camera() { return *m_viewer->getScene()->getCamera(); }

    void select(const std::vector<osg::Node*>& nodes)
    {
        SetOfNodes selection;
        for (osg::Node* node : nodes)
            selection.add(node);
        m_model->setSelectedNodes(selection);
    }

    // Where a world point is drawn in the widget, from its top left.
    QPoint at(const osg::Vec3d& world)
    {
        const osg::Vec3d window = world * camera().getViewMatrix() *
                                  camera().getProjectionMatrix() *
                                  camera().getViewport()->computeWindowMatrix();
        return QPoint(int(window.x()), int(camera().getViewport()->height() - window.y()));
    }

    bool send(QEvent::Type type, QPoint position, Qt::MouseButtons held)
    {
        QMouseEvent event(type, position, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
        QtInputEvent record(m_viewer->getWidget(), &event);
        return m_plugins.events().dispatch(record);
    }

    // True when the press was taken.
    bool drag(const osg::Vec3d& from, const osg::Vec3d& to)
    {
        const bool taken = send(QEvent::MouseButtonPress, at(from), Qt::LeftButton);
        for (int step = 1; step <= 4; ++step)
            send(QEvent::MouseMove, at(from + (to - from) * (step / 4.0)), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, at(to), Qt::NoButton);
        return taken;
    }

    // The handles are scaled to the box's bound: radius sqrt(3) times 1.25.
    double handleScale() const { return m_box->getBound().radius() * 1.25; }

    PluginKernel m_plugins{{"Viewer.so", "Manipulator.so"}};
    std::shared_ptr<OSGModel> m_model;
    IOSGViewer* m_viewer = nullptr;
    IQtInteraction* m_manipulator = nullptr;
    osg::ref_ptr<osg::Geode> m_box;
};

TEST_F(ManipulatorTest, DraggingTheXArrowMovesTheObjectAlongXInOneUndoableStep)
{
    const osg::Vec3d centre(1, 0, 0);
    const osg::Vec3d onArrow = centre + osg::Vec3d(handleScale(), 0, 0);
    const unsigned int index = m_model->getScene()->getChildIndex(m_box);
    ASSERT_TRUE(drag(onArrow, onArrow + osg::Vec3d(2, 0, 0))) << "the press on the arrow";
    ASSERT_EQ(m_model->getUndoStack()->count(), 1);
    EXPECT_EQ(m_model->getUndoStack()->undoText(), "Move Object");

    // The box got a transform of its own, in its place under SCENE.
    ASSERT_EQ(m_box->getNumParents(), 1u);
    auto* transform = dynamic_cast<osg::MatrixTransform*>(m_box->getParent(0));
    ASSERT_NE(transform, nullptr);
    EXPECT_EQ(m_model->getScene()->getChildIndex(transform), index);
    const osg::Vec3d moved = worldMatrix(*m_box).getTrans();
    EXPECT_NEAR(moved.x(), 2.0, 0.1);
    EXPECT_NEAR(moved.y(), 0.0, 1e-6);
    EXPECT_NEAR(moved.z(), 0.0, 1e-6);

    m_model->getUndoStack()->undo();
    EXPECT_EQ(m_box->getParent(0), m_model->getScene().get());
    EXPECT_EQ(m_model->getScene()->getChildIndex(m_box), index);
    EXPECT_EQ(worldMatrix(*m_box), osg::Matrixd());
    m_model->getUndoStack()->redo();
    EXPECT_EQ(m_box->getParent(0), transform);
    EXPECT_NEAR(worldMatrix(*m_box).getTrans().x(), moved.x(), 1e-9);

    // The next move sets the same transform; the handles moved with the box.
    const osg::Vec3d onArrowNow = onArrow + osg::Vec3d(moved.x(), 0, 0);
    ASSERT_TRUE(drag(onArrowNow, onArrowNow - osg::Vec3d(1, 0, 0)));
    EXPECT_EQ(m_box->getParent(0), transform);
    EXPECT_NEAR(worldMatrix(*m_box).getTrans().x(), moved.x() - 1.0, 0.1);
    EXPECT_EQ(m_model->getUndoStack()->count(), 2);
}

// The switch of the handle named, under the model's TOOLS.
osg::Switch* handleNamed(osg::Node* node, const std::string& name)
{
    if (!node)
        return nullptr;
    if (node->getName() == name)
        return node->asSwitch();
    osg::Group* group = node->asGroup();
    for (unsigned int i = 0; group && i < group->getNumChildren(); ++i)
        if (osg::Switch* found = handleNamed(group->getChild(i), name))
            return found;
    return nullptr;
}

TEST_F(ManipulatorTest, TheHandleUnderThePointerLightsUpWithoutTakingThePointer)
{
    osg::Switch* arrow = handleNamed(m_model->getTools(), "MoveX");
    ASSERT_NE(arrow, nullptr);
    EXPECT_TRUE(arrow->getValue(0));
    const osg::Vec3d onArrow(1 + handleScale(), 0, 0);
    EXPECT_FALSE(send(QEvent::MouseMove, at(onArrow), Qt::NoButton));
    EXPECT_TRUE(arrow->getValue(1));
    EXPECT_FALSE(arrow->getValue(0));
    EXPECT_FALSE(send(QEvent::MouseMove, at({1, 0, 6}), Qt::NoButton));
    EXPECT_TRUE(arrow->getValue(0));
}

TEST_F(ManipulatorTest, RingsTurnTheObjectAboutItsCentreAndOtherDragsGoOn)
{
    // The z ring half way between its x and its y ring crossings, pulled sideways.
    const double radius = handleScale();
    const osg::Vec3d onRing =
        osg::Vec3d(1, 0, 0) + osg::Vec3d(1, -1, 0) * (radius * std::sqrt(0.5));
    ASSERT_TRUE(drag(onRing, onRing + osg::Vec3d(radius, 0, 0)));
    EXPECT_EQ(m_model->getUndoStack()->undoText(), "Rotate Object");
    const osg::Matrixd turned = worldMatrix(*m_box);
    const osg::Vec3d xAxis = osg::Matrixd::transform3x3(osg::Vec3d(1, 0, 0), turned);
    EXPECT_GT(std::abs(xAxis.y()), 0.3) << "turned about z";
    EXPECT_NEAR(xAxis.z(), 0.0, 1e-9);
    EXPECT_NEAR((osg::Vec3d(1, 0, 0) * turned - osg::Vec3d(1, 0, 0)).length(), 0.0, 1e-6)
        << "the centre stays";

    // Beside every handle: not taken, so navigation gets the drag.
    const int steps = m_model->getUndoStack()->count();
    EXPECT_FALSE(drag({1, 0, 6}, {2, 0, 6}));
    // Two objects selected: no handles.
    select({m_box.get(), m_model->getScene()->getChild(0)});
    const osg::Vec3d onArrow(1 + radius, 0, 0);
    EXPECT_FALSE(drag(onArrow, onArrow + osg::Vec3d(1, 0, 0)));
    EXPECT_EQ(m_model->getUndoStack()->count(), steps);
}

TEST_F(ManipulatorTest, AnObjectThatIsATransformKeepsItsPlaceInTheGraph)
{
    osg::ref_ptr<osg::MatrixTransform> placed =
        new osg::MatrixTransform(osg::Matrixd::translate(0, 0, 3));
    placed->addChild(m_box);
    m_model->getScene()->replaceChild(m_box, placed);
    const unsigned int index = m_model->getScene()->getChildIndex(placed);
    select({placed.get()});
    const osg::Vec3d onArrow(1, 0, 3 + handleScale());
    ASSERT_TRUE(drag(onArrow, onArrow + osg::Vec3d(0, 0, 1.5)));
    EXPECT_EQ(m_model->getScene()->getChild(index), placed.get());
    EXPECT_NEAR(placed->getMatrix().getTrans().z(), 4.5, 0.1);
    m_model->getUndoStack()->undo();
    EXPECT_EQ(placed->getMatrix(), osg::Matrixd::translate(0, 0, 3));
}

} // namespace
