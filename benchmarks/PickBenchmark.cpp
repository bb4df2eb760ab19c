// Picks the object under the pointer in a scene of a million triangles, three ways on the same
// scene and the same pointer positions: the selection plug-in's pick (through the k-d trees it
// builds in the background when a scene is loaded), OpenSceneGraph's own LineSegmentIntersector
// as osgViewer::View::computeIntersections uses it, over the same k-d trees, and that
// intersector without them. Prints the time to build the trees and the medians (with min and
// max) of the picks; the selection's pick must be at least as fast as the stock one with trees.
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
#include <string>
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
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Reads more memory than the caches hold, so that a way of picking starts without the trees'
// nodes that the way before it left in the cache.
void evictCaches()
{
    static std::vector<long> block(16 << 20, 1);
    volatile long sum = 0;
    for (std::size_t i = 0; i < block.size(); i += 8)
        sum = sum + block[i];
}

// Median (min-max) in microseconds.
std::string spread(const std::vector<double>& values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    char text[96];
    std::snprintf(text, sizeof text, "%.1f us (%.1f-%.1f)", median(values) * 1e6, *low * 1e6,
                  *high * 1e6);
    return text;
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

osg::Node* stockPick(osg::Camera& camera, double x, double y, bool useKdTrees)
{
    osg::ref_ptr<osgUtil::LineSegmentIntersector> intersector =
        new osgUtil::LineSegmentIntersector(osgUtil::Intersector::WINDOW, x, y);
    osgUtil::IntersectionVisitor visitor(intersector.get());
    visitor.setUseKdTreeWhenAvailable(useKdTrees);
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
    std::vector<std::pair<double, double>> positions;
    for (int i = 0; i < picks; ++i)
        positions.emplace_back(position(random), position(random));
    // One way at a time over the same positions, each starting with cold caches: a pick right
    // after another at the same place finds the trees' nodes in the cache, which would favour
    // whichever way comes second.
    std::vector<double> selection, stockWithTrees, stockWithout;
    std::vector<osg::Node*> picked, withTrees, without;
    // The first round only warms up (the trees' first reads come from memory, not the cache).
    for (int round = 0; round < 2; ++round) {
        selection.clear();
        stockWithTrees.clear();
        stockWithout.clear();
        picked.clear();
        withTrees.clear();
        without.clear();
        evictCaches();
        for (const auto& [x, y] : positions)
            selection.push_back(seconds([&, x = x, y = y] {
                picked.push_back(ScenePicker::objectOf(ScenePicker::pick(*camera, *scene, x, y)));
            }));
        evictCaches();
        for (const auto& [x, y] : positions)
            stockWithTrees.push_back(seconds(
                [&, x = x, y = y] { withTrees.push_back(stockPick(*camera, x, y, true)); }));
        evictCaches();
        for (const auto& [x, y] : positions)
            stockWithout.push_back(
                seconds([&, x = x, y = y] { without.push_back(stockPick(*camera, x, y, false)); }));
    }
    int hits = 0, agreeing = 0;
    for (int i = 0; i < picks; ++i) {
        hits += picked[i] != nullptr;
        agreeing += withTrees[i] && without[i] && picked[i] &&
                    withTrees[i]->getParent(0) == picked[i] && without[i] == withTrees[i];
    }

    std::printf("scene: %ld triangles in %d meshes; %d picks, %d hits, %d agreeing\n", triangles,
                tilesPerSide * tilesPerSide, picks, hits, agreeing);
    std::printf("k-d trees (built in the background after a load): %u trees in %.1f ms\n", trees,
                buildTime * 1e3);
    std::printf("selection plug-in's pick:                    %s\n", spread(selection).c_str());
    std::printf("LineSegmentIntersector over the same trees:  %s\n",
                spread(stockWithTrees).c_str());
    std::printf("LineSegmentIntersector without trees:        %s\n", spread(stockWithout).c_str());
    const double ratio = median(stockWithTrees) / median(selection);
    std::printf("stock with trees / selection: %.2f (target >= 1.00)\n", ratio);
    return agreeing == hits && hits > 0 ? 0 : 1;
}
