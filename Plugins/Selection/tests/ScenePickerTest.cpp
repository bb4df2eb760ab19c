#include "ScenePicker.h"

#include "KdTreeBuilder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <osg/Camera>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/KdTree>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>

namespace {

osg::ref_ptr<osg::Geode> namedBox(const char* name, const osg::Vec3& center, float size)
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName(name);
    geode->addDrawable(new osg::ShapeDrawable(new osg::Box(center, size)));
    return geode;
}

// A camera at eye looking along +y, with a 100 by 100 viewport.
osg::ref_ptr<osg::Camera> cameraAt(const osg::Vec3d& eye)
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setViewport(0, 0, 100, 100);
    camera->setProjectionMatrixAsPerspective(30.0, 1.0, 1.0, 1000.0);
    camera->setViewMatrixAsLookAt(eye, eye + osg::Vec3d(0, 1, 0), osg::Vec3d(0, 0, 1));
    return camera;
}

std::string pickedName(const osg::Camera& camera, osg::Node& scene, double x, double y,
                       bool useKdTrees = true)
{
    osg::Node* object = ScenePicker::objectOf(ScenePicker::pick(camera, scene, x, y, useKdTrees));
    return object ? object->getName() : "(nothing)";
}

TEST(ScenePickerTest, HitsAlongTheWholeLineOfSightButNotBehindTheEye)
{
    osg::ref_ptr<osg::MatrixTransform> scene = new osg::MatrixTransform;
    scene->addChild(namedBox("Near", osg::Vec3(0, 0, 0), 0.2f));
    scene->addChild(namedBox("Behind", osg::Vec3(1, -5, 0), 0.5f));

    // Closer than the camera's near plane, and nearer than anything else on the line.
    osg::ref_ptr<osg::Camera> camera = cameraAt(osg::Vec3d(0, -0.5, 0));
    EXPECT_EQ(pickedName(*camera, *scene, 50, 50), "Near");
    EXPECT_EQ(pickedName(*camera, *scene, 50, 50, false), "Near");
    EXPECT_EQ(pickedName(*camera, *scene, 2, 50), "(nothing)");

    // Beyond the far plane of an orthographic camera.
    camera->setProjectionMatrixAsOrtho(-2, 2, -2, 2, 1, 10);
    camera->setViewMatrixAsLookAt(osg::Vec3d(1, -40, 0), osg::Vec3d(1, 0, 0), {0, 0, 1});
    EXPECT_EQ(pickedName(*camera, *scene, 50, 50), "Behind");
}

TEST(ScenePickerTest, PicksPointsWhereNoSurfaceIsAndNamesTheObject)
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    osg::ref_ptr<osg::Geometry> points = new osg::Geometry;
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->push_back(osg::Vec3(0, 0, 0));
    points->setVertexArray(vertices.get());
    points->addPrimitiveSet(new osg::DrawArrays(GL_POINTS, 0, 1));
    osg::ref_ptr<osg::Geode> cloud = new osg::Geode;
    cloud->setName("Cloud");
    cloud->addDrawable(points.get());
    osg::ref_ptr<osg::Group> unnamed = new osg::Group;
    osg::ref_ptr<osg::Geode> unnamedBox = namedBox("", osg::Vec3(0, 5, 0), 4.0f);
    unnamed->addChild(unnamedBox.get());
    scene->addChild(cloud.get());
    scene->addChild(unnamed.get());

    osg::ref_ptr<osg::Camera> camera = cameraAt(osg::Vec3d(0, -10, 0));
    // The point lies in front of the box: surfaces come first.
    EXPECT_EQ(ScenePicker::objectOf(ScenePicker::pick(*camera, *scene, 50, 50)), unnamed.get());
    unnamed->setNodeMask(0);
    EXPECT_EQ(pickedName(*camera, *scene, 51, 49), "Cloud");
    EXPECT_EQ(pickedName(*camera, *scene, 80, 80), "(nothing)");

    EXPECT_EQ(ScenePicker::objectOf({scene.get()}), nullptr);
    EXPECT_EQ(ScenePicker::objectOf({scene.get(), unnamed.get(), unnamedBox.get()}), unnamed.get());
}

// A wavy square mesh of 2 * quads^2 triangles at x0 <= x <= x0 + 1, y = 0 (facing -y).
osg::ref_ptr<osg::Geode> namedMesh(const char* name, float x0, int quads)
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (int j = 0; j <= quads; ++j)
        for (int i = 0; i <= quads; ++i) {
            const float x = x0 + float(i) / quads, z = float(j) / quads - 0.5f;
            vertices->push_back(osg::Vec3(x, 0.05f * std::sin(20.0f * x) * std::cos(9.0f * z), z));
        }
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    for (int j = 0; j < quads; ++j)
        for (int i = 0; i < quads; ++i) {
            const GLuint a = GLuint(j * (quads + 1) + i), b = a + 1, c = a + quads + 1, d = c + 1;
            for (GLuint index : {a, b, d, a, d, c})
                triangles->push_back(index);
        }
    osg::ref_ptr<osg::Geometry> mesh = new osg::Geometry;
    mesh->setVertexArray(vertices);
    mesh->addPrimitiveSet(triangles);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName(name);
    geode->addDrawable(mesh);
    return geode;
}

// The trees are built off the GUI thread and attached on it: a pick in between tests the
// triangles one by one and must find what the trees find.
TEST(ScenePickerTest, APickDuringTheTreeBuildFindsWhatItFindsAfterIt)
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(namedMesh("Left", -1.0f, 100));
    scene->addChild(namedMesh("Right", 0.0f, 100));
    auto meshOf = [&](unsigned i) {
        return scene->getChild(i)->asGroup()->getChild(0);
    };
    osg::ref_ptr<osg::Camera> camera = cameraAt(osg::Vec3d(0, -3, 0));
    const double positions[][2] = {{20, 50}, {49, 55}, {51, 45}, {80, 50}, {50, 95}};

    KdTreeBuilder builder;
    builder.build(*scene);
    std::vector<std::string> during;
    for (const auto& position : positions) {
        // Attached only when the GUI thread's events run, which they do not here.
        ASSERT_EQ(meshOf(0)->asGeometry()->getShape(), nullptr);
        during.push_back(pickedName(*camera, *scene, position[0], position[1]));
    }
    EXPECT_EQ(builder.pending(), 2u);
    const QDeadlineTimer deadline(60000);
    while (builder.pending() > 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(builder.pending(), 0u);
    for (unsigned i = 0; i < 2; ++i)
        EXPECT_NE(dynamic_cast<osg::KdTree*>(meshOf(i)->asGeometry()->getShape()), nullptr);

    std::vector<std::string> after;
    for (const auto& position : positions)
        after.push_back(pickedName(*camera, *scene, position[0], position[1]));
    EXPECT_EQ(during, after);
    EXPECT_EQ(after.front(), "Left");
    EXPECT_EQ(after.back(), "(nothing)");
}

} // namespace
