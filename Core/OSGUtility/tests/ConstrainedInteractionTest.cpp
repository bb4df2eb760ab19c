#include "OSGUtility/ConstrainedInteractionAccumulation.h"
#include "OSGUtility/ConstrainedRotateInteraction.h"
#include "OSGUtility/ConstrainedTranslateInteraction.h"
#include "OSGUtility/HandleGeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <osg/Camera>
#include <osg/MatrixTransform>

namespace {

using OSGU::ConstrainedInteractionAccumulation;
using OSGU::ConstrainedRotateInteraction;
using OSGU::ConstrainedTranslateInteraction;

const osg::Vec4 White(1, 1, 1, 1);
const osg::Vec4 Yellow(1, 1, 0, 1);

// A 400 by 400 viewport with a 30 degree perspective camera.
osg::ref_ptr<osg::Camera> cameraAt(const osg::Vec3d& eye, const osg::Vec3d& centre = {},
                                   const osg::Vec3d& up = {0, 0, 1})
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setViewport(0, 0, 400, 400);
    camera->setProjectionMatrixAsPerspective(30.0, 1.0, 0.1, 100.0);
    camera->setViewMatrixAsLookAt(eye, centre, up);
    return camera;
}

// The pixel a world point falls in, counted from the viewport's bottom left.
std::pair<int, int> pixelOf(const osg::Camera& camera, const osg::Vec3d& world)
{
    const osg::Vec3d window = world * camera.getViewMatrix() * camera.getProjectionMatrix() *
                              camera.getViewport()->computeWindowMatrix();
    return {int(std::floor(window.x())), int(std::floor(window.y()))};
}

bool press(OSGU::IConstrainedInteractionMethods& handle, const osg::Camera& camera,
           const osg::Vec3d& world, osg::Node* node = nullptr)
{
    const auto [x, y] = pixelOf(camera, world);
    return handle.mousePress(x, y, camera, node);
}

bool drag(OSGU::IConstrainedInteractionMethods& handle, const osg::Camera& camera,
          const osg::Vec3d& world)
{
    const auto [x, y] = pixelOf(camera, world);
    return handle.mouseDrag(x, y, camera);
}

double angleAbout(const osg::Quat& rotation, const osg::Vec3d& axis)
{
    double angle = 0.0;
    osg::Vec3d turnedAbout;
    rotation.getRotate(angle, turnedAbout);
    return turnedAbout * axis < 0.0 ? -angle : angle;
}

std::unique_ptr<ConstrainedRotateInteraction> zRing()
{
    return std::make_unique<ConstrainedRotateInteraction>(
        OSGU::makeRingGeometry(2, 1.0f, 0.1f, White), OSGU::makeRingGeometry(2, 1.0f, 0.1f, Yellow),
        "ringZ", 2);
}

std::unique_ptr<ConstrainedTranslateInteraction> xArrow()
{
    return std::make_unique<ConstrainedTranslateInteraction>(
        OSGU::makeArrowGeometry(0, 3.0f, 0.1f, White), nullptr, "arrowX", osg::Plane(1, 0, 0, 0),
        ConstrainedTranslateInteraction::Line);
}

TEST(ConstrainedRotateInteractionTest, AnAxisAtTheCameraTurnsLikeADialOneSeenFromTheSideByPulling)
{
    auto ring = zRing();
    osg::ref_ptr<osg::Camera> above = cameraAt({0.5, 0.3, 10}, {}, {0, 1, 0});
    ASSERT_TRUE(press(*ring, *above, {1, 0, 0.1}));
    ASSERT_TRUE(drag(*ring, *above, {1.2, 0.3, 0.1}));
    EXPECT_EQ(ring->getMode(), ConstrainedRotateInteraction::Plane);
    EXPECT_TRUE(ring->mouseRelease());

    osg::ref_ptr<osg::Camera> side = cameraAt({0, -10, 1});
    ASSERT_TRUE(press(*ring, *side, {0.7, -0.75, 0}));
    ASSERT_TRUE(drag(*ring, *side, {0.9, -0.75, 0}));
    EXPECT_EQ(ring->getMode(), ConstrainedRotateInteraction::Tangent);
    // Pulled to the right, the front of the ring turns counter-clockwise seen from above.
    EXPECT_GT(angleAbout(ring->getRotation(), {0, 0, 1}), 0.0);
    ring->mouseRelease();

    // Forced tangent mode holds even for an axis at the camera.
    ring->setTangentMode(true);
    ASSERT_TRUE(press(*ring, *above, {1, 0, 0.1}));
    ASSERT_TRUE(drag(*ring, *above, {1.2, 0.3, 0.1}));
    EXPECT_EQ(ring->getMode(), ConstrainedRotateInteraction::Tangent);
}

TEST(ConstrainedRotateInteractionTest, AQuarterTurnInPlaneModeComposesToNinetyDegrees)
{
    auto ring = zRing();
    osg::ref_ptr<osg::MatrixTransform> frame = new osg::MatrixTransform(
        osg::Matrixd::scale(2, 2, 2) * osg::Matrixd::translate(0.5, -0.5, 0));
    frame->addChild(ring->getRootNode());
    osg::ref_ptr<osg::Camera> above = cameraAt({0.5, -0.5, 20}, {0.5, -0.5, 0}, {0, 1, 0});
    const osg::Vec3d centre(0.5, -0.5, 0.2);
    ASSERT_TRUE(press(*ring, *above, centre + osg::Vec3d(2, 0, 0)));

    osg::Quat turned;
    const int steps = 12;
    for (int step = 1; step <= steps; ++step) {
        const double angle = osg::PI_2 * step / steps;
        ASSERT_TRUE(
            drag(*ring, *above, centre + osg::Vec3d(std::cos(angle), std::sin(angle), 0) * 2.6));
        turned = turned * ring->getRotation();
    }
    EXPECT_NEAR(osg::RadiansToDegrees(angleAbout(turned, {0, 0, 1})), 90.0, 1.5);
    EXPECT_EQ(ring->getMode(), ConstrainedRotateInteraction::Plane);
}

TEST(ConstrainedRotateInteractionTest, InsideThePickedRadiusPlaneModeWaitsAndThenCatchesUp)
{
    auto ring = zRing();
    osg::ref_ptr<osg::Camera> above = cameraAt({0, 0, 10}, {}, {0, 1, 0});
    ASSERT_TRUE(press(*ring, *above, {1, 0, 0.1}));
    const osg::Vec3d diagonal(std::sqrt(0.5), std::sqrt(0.5), 0.1);

    ASSERT_TRUE(drag(*ring, *above, diagonal * 0.5));
    EXPECT_NEAR(angleAbout(ring->getRotation(), {0, 0, 1}), 0.0, 1e-9);
    ASSERT_TRUE(drag(*ring, *above, osg::Vec3d(0, 0.3, 0.1)));
    EXPECT_NEAR(angleAbout(ring->getRotation(), {0, 0, 1}), 0.0, 1e-9);

    // Outside again, the step runs from where the pointer last was outside: the press.
    ASSERT_TRUE(drag(*ring, *above, diagonal * 1.5));
    EXPECT_NEAR(osg::RadiansToDegrees(angleAbout(ring->getRotation(), {0, 0, 1})), 45.0, 1.5);

    // A smaller factor shrinks the dead zone.
    ring->mouseRelease();
    ring->setRadiusFactor(0.3f);
    ASSERT_TRUE(press(*ring, *above, {1, 0, 0.1}));
    ASSERT_TRUE(drag(*ring, *above, diagonal * 0.5));
    EXPECT_NEAR(osg::RadiansToDegrees(angleAbout(ring->getRotation(), {0, 0, 1})), 45.0, 2.0);
}

TEST(ConstrainedTranslateInteractionTest, TheTranslationIsTheWholeMoveSinceTheGrabInWorldUnits)
{
    auto arrow = xArrow();
    // A frame scaled by two: the move follows the pointer, not the frame's units.
    osg::ref_ptr<osg::MatrixTransform> frame =
        new osg::MatrixTransform(osg::Matrixd::scale(2, 2, 2));
    frame->addChild(arrow->getRootNode());
    osg::ref_ptr<osg::Camera> camera = cameraAt({2, -12, 3}, {2, 0, 0});

    ASSERT_TRUE(press(*arrow, *camera, {1, 0, 0}));
    ASSERT_TRUE(drag(*arrow, *camera, {2, 0, 0}));
    EXPECT_NEAR((arrow->getTranslation() - osg::Vec3d(1, 0, 0)).length(), 0.0, 0.03);
    ASSERT_TRUE(drag(*arrow, *camera, {3.5, 0, 0}));
    EXPECT_NEAR((arrow->getTranslation() - osg::Vec3d(2.5, 0, 0)).length(), 0.0, 0.05);
    EXPECT_TRUE(arrow->mouseRelease());
    EXPECT_EQ(arrow->getTranslation(), osg::Vec3d());
}

TEST(ConstrainedTranslateInteractionTest, ADragIsRefusedWithinFiveDegreesOfTheLineOrOfThePlane)
{
    auto arrow = xArrow();
    osg::ref_ptr<osg::Camera> camera = cameraAt({1, -10, 1}, {1, 0, 0});
    ASSERT_TRUE(press(*arrow, *camera, {1, 0, 0}));
    // Looking along the line from behind the handle: the line of sight is 3 degrees off it.
    camera->setViewMatrixAsLookAt({-20, 0, 0}, {0, 0, 0}, {0, 0, 1});
    const double inside = std::tan(osg::DegreesToRadians(3.0)) * 30;
    const double outside = std::tan(osg::DegreesToRadians(8.0)) * 30;
    EXPECT_TRUE(drag(*arrow, *camera, {10, 0, outside}));
    EXPECT_FALSE(drag(*arrow, *camera, {10, 0, inside}));
    EXPECT_FALSE(arrow->isActive());
    EXPECT_FALSE(drag(*arrow, *camera, {10, 0, outside})) << "a refused drag ends the interaction";

    ConstrainedTranslateInteraction square(OSGU::makeSquareGeometry(2, 0.5f, 1.0f, White), nullptr,
                                           "squareXY", osg::Plane(0, 0, 1, 0),
                                           ConstrainedTranslateInteraction::Plane);
    camera->setViewMatrixAsLookAt({1, -10, 10}, {1, 1, 0}, {0, 0, 1});
    ASSERT_TRUE(press(square, *camera, {1, 1, 0}));
    ASSERT_TRUE(drag(square, *camera, {2, 2, 0}));
    EXPECT_NEAR((square.getTranslation() - osg::Vec3d(1, 1, 0)).length(), 0.0, 0.05);
    // From just above the plane its surface is seen at 3 degrees: refused.
    camera->setViewMatrixAsLookAt({-30, 1, 30 * std::tan(osg::DegreesToRadians(3.0))}, {1, 1, 0},
                                  {0, 0, 1});
    EXPECT_FALSE(drag(square, *camera, {1, 1, 0}));
}

TEST(ConstrainedInteractionTest, ReleasingAnIdleHandleReturnsTrueAndChangesNothing)
{
    auto arrow = xArrow();
    osg::ref_ptr<osg::Camera> camera = cameraAt({1, -10, 1}, {1, 0, 0});
    EXPECT_TRUE(arrow->mouseRelease());
    EXPECT_FALSE(arrow->isActive());
    EXPECT_FALSE(drag(*arrow, *camera, {2, 0, 0})) << "an idle handle takes no drag";
    // A press beside the handle leaves it idle.
    EXPECT_FALSE(press(*arrow, *camera, {1, 0, 2}));
    EXPECT_TRUE(arrow->mouseRelease());
    EXPECT_EQ(arrow->getTranslation(), osg::Vec3d());
}

TEST(ConstrainedInteractionTest, AHandleHiddenBehindAnotherObjectIsNotPicked)
{
    auto arrow = xArrow();
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(arrow->getRootNode());
    osg::ref_ptr<osg::MatrixTransform> wall =
        new osg::MatrixTransform(osg::Matrixd::translate(0, -3, -1));
    wall->addChild(OSGU::makeSquareGeometry(1, 0.0f, 2.0f, White));
    scene->addChild(wall);
    osg::ref_ptr<osg::Camera> camera = cameraAt({1, -10, 1}, {1, 0, 0});

    EXPECT_TRUE(press(*arrow, *camera, {2.8, 0, 0}, scene)) << "beside the wall";
    arrow->mouseRelease();
    EXPECT_FALSE(press(*arrow, *camera, {1, 0, 0}, scene)) << "behind the wall";
    EXPECT_TRUE(press(*arrow, *camera, {1, 0, 0})) << "picked alone";
}

TEST(ConstrainedInteractionAccumulationTest, ADragGoesToTheFirstActiveHandleOnly)
{
    ConstrainedInteractionAccumulation handles;
    osg::ref_ptr<osg::Geometry> shared = OSGU::makeSquareGeometry(2, -1.0f, 2.0f, White);
    osg::ref_ptr<osg::Geometry> lit = OSGU::makeSquareGeometry(2, -1.0f, 2.0f, Yellow);
    auto* first = handles.add(std::make_unique<ConstrainedTranslateInteraction>(
        shared, lit, "x", osg::Plane(1, 0, 0, 0), ConstrainedTranslateInteraction::Line));
    auto* second = handles.add(std::make_unique<ConstrainedTranslateInteraction>(
        shared, lit, "y", osg::Plane(0, 1, 0, 0), ConstrainedTranslateInteraction::Line));
    auto* third = handles.add(std::make_unique<ConstrainedTranslateInteraction>(
        shared, lit, "z", osg::Plane(0, 0, 1, 0), ConstrainedTranslateInteraction::Plane));
    ASSERT_EQ(handles.getNode()->getNumChildren(), 3u);
    osg::ref_ptr<osg::Camera> camera = cameraAt({0, -8, 8});

    const auto [x, y] = pixelOf(*camera, {0, 0, 0});
    EXPECT_EQ(handles.mouseMove(x, y, *camera), std::make_pair(true, true));
    EXPECT_EQ(handles.mouseMove(x, y, *camera), std::make_pair(true, false));
    EXPECT_EQ(first->getRootNode()->getValue(1), true);

    ASSERT_TRUE(handles.mousePress(x, y, *camera));
    EXPECT_TRUE(first->isActive() && second->isActive() && third->isActive());
    const auto [toX, toY] = pixelOf(*camera, {0.5, 0.5, 0});
    ASSERT_TRUE(handles.mouseDrag(toX, toY, *camera));
    EXPECT_EQ(handles.getDragged(), first);
    EXPECT_GT(first->getTranslation().x(), 0.3);
    EXPECT_EQ(second->getTranslation(), osg::Vec3d());
    EXPECT_EQ(third->getTranslation(), osg::Vec3d());
    EXPECT_TRUE(handles.mouseRelease());
    EXPECT_FALSE(first->isActive() || second->isActive() || third->isActive());

    const auto [farX, farY] = pixelOf(*camera, {3, 0, 3});
    EXPECT_EQ(handles.mouseMove(farX, farY, *camera), std::make_pair(false, true));
    EXPECT_FALSE(handles.mousePress(farX, farY, *camera));
    EXPECT_FALSE(handles.mouseDrag(toX, toY, *camera));
}

} // namespace
