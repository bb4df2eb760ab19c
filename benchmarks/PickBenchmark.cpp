// Picks the object under the pointer in a scene of a million triangles, two ways on the same
// scene and the same pointer positions: the selection plug-in's pick (through the k-d trees it
// builds when a scene is loaded) and a plain LineSegmentIntersector without k-d trees, as
// osgViewer::View::computeIntersections does it. Prints the time to build the trees, both
// medians and their ratio.
//   PickBenchmark [TRIANGLES] [PICKS]
// Run it from a build without sanitizers.
#include "ScenePicker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <osg/Camera>
#include <osg/Geode>
#include <osg/Geometry>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const int tilesPerSide = 4;
const int viewportSize = 1000;

double seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One wavy tile of quads (two triangles each) over [x0, x0 + 1] by [y0, y0 + 1].
osg::ref_ptr<osg::Geometry> makeTile(int quadsPerSide, float x0, float y0)
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    const int n = quadsPerSide;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const float x = x0 + float(i) / n, y = y0 + float(j) / n;
            vertices->push_back(osg::Vec3(x, y, 0.05f * std::sin(9.0f * x) * std::cos(7.0f * y)));
        }
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    triangles->reserve(std::size_t(n) * n * 6);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const unsigned a = j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
            for (unsigned v : {a, b, d, a, d, c})
                triangles->push_back(v);
        }
    osg::ref_ptr<osg::Geometry> tile = new osg::Geometry;
    tile->setVertexArray(vertices.get());
    tile->addPrimitiveSet(triangles.get());
    return tile;
}

// Named tiles under one group, as a loaded file hangs under SCENE.
osg::ref_ptr<osg::Group> makeScene(long triangles)
{
    const int tiles = tilesPerSide * tilesPerSide;
    const int quadsPerSide = std::max(1, int(std::lround(std::sqrt(triangles / 2.0 / tiles))));
    osg::ref_ptr<osg::Group> file = new osg::Group;
    for (int t = 0; t < tiles; ++t) {
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->setName("Tile" + std::to_string(t));
        geode->addDrawable(
            makeTile(quadsPerSide, float(t % tilesPerSide), float(t / tilesPerSide)));
        file->addChild(geode.get());
    }
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(file.get());
    return scene;
}

osg::Node* plainPick(osg::Camera& camera, double x, double y)
{
    osg::ref_ptr<osgUtil::LineSegmentIntersector> intersector =
        new osgUtil::LineSegmentIntersector(osgUtil::Intersector::WINDOW, x, y);
    osgUtil::IntersectionVisitor visitor(intersector.get());
    visitor.setUseKdTreeWhenAvailable(false);
    camera.accept(visitor);
    if (!intersector->containsIntersections())
        return nullptr;
    return intersector->getFirstIntersection().drawable.get();
}

} // namespace

int main(int argc, char** argv)
{
    const long triangleTarget = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int picks = argc > 2 ? std::atoi(argv[2]) : 200;

    osg::ref_ptr<osg::Group> root = new osg::Group;
    osg::ref_ptr<osg::Group> scene = makeScene(triangleTarget);
    root->addChild(scene.get());
    long triangles = 0;
    for (unsigned i = 0; i < scene->getChild(0)->asGroup()->getNumChildren(); ++i)
        triangles += long(scene->getChild(0)
                              ->asGroup()
                              ->getChild(i)
                              ->asGeode()
                              ->getDrawable(0)
                              ->asGeometry()
                              ->getPrimitiveSet(0)
                              ->getNumIndices() /
                          3);

    // Looking down at the tiles from above, slightly tilted.
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setViewport(0, 0, viewportSize, viewportSize);
    camera->setProjectionMatrixAsPerspective(30.0, 1.0, 0.1, 100.0);
    const osg::Vec3d center(tilesPerSide / 2.0, tilesPerSide / 2.0, 0.0);
    camera->setViewMatrixAsLookAt(center + osg::Vec3d(0.0, -3.0, 7.0), center, {0.0, 0.0, 1.0});
    camera->addChild(scene.get());

    unsigned trees = 0;
    const double buildTime = seconds([&] { trees = ScenePicker::buildKdTrees(*scene); });

    std::mt19937 random(7);
    std::uniform_real_distribution<double> position(viewportSize * 0.2, viewportSize * 0.8);
    std::vector<double> plugin, plain;
    int hits = 0, agreeing = 0;
    for (int i = 0; i < picks; ++i) {
        const double x = position(random), y = position(random);
        osg::Node* picked = nullptr;
        osg::Node* plainHit = nullptr;
        plugin.push_back(seconds(
            [&] { picked = ScenePicker::objectOf(ScenePicker::pick(*camera, *scene, x, y)); }));
        plain.push_back(seconds([&] { plainHit = plainPick(*camera, x, y); }));
        hits += picked != nullptr;
        agreeing += plainHit && picked && plainHit->getParent(0) == picked;
    }

    const double pluginMedian = median(plugin), plainMedian = median(plain);
    std::printf("scene: %ld triangles in %d meshes; %d picks, %d hits, %d agreeing\n", triangles,
                tilesPerSide * tilesPerSide, picks, hits, agreeing);
    std::printf("k-d trees built at scene load: %u trees in %.1f ms\n", trees, buildTime * 1e3);
    std::printf("selection plug-in pick, median: %.1f us\n", pluginMedian * 1e6);
    std::printf("plain LineSegmentIntersector, median: %.1f us\n", plainMedian * 1e6);
    std::printf("ratio: %.1fx faster%s\n", plainMedian / pluginMedian,
                plainMedian / pluginMedian >= 20.0 ? "" : " (below the 20x target)");
    return agreeing == hits && hits > 0 ? 0 : 1;
}
