#pragma once

#include <osg/Geometry>
#include <osg/Node>
#include <vector>

namespace osg {
class Camera;
}

// Finds the object under a window position. Large meshes are searched through k-d trees, which
// are built once, off the GUI thread, when a scene arrives (KdTreeBuilder).
class ScenePicker
{
public:
    // Meshes with fewer vertices are searched directly; a tree would not pay for itself.
    static constexpr unsigned minimumKdTreeVertices = 256;

    // Gives every large geometry below node a k-d tree, also below hidden nodes. Geometries that
    // carry a shape already (a k-d tree, or the shape a ShapeDrawable draws) keep it. Returns the
    // number of trees built.
    static unsigned buildKdTrees(osg::Node& node);
    // The large geometries below node that buildKdTrees would give a tree, each once.
    static std::vector<osg::ref_ptr<osg::Geometry>> meshesWithoutKdTrees(osg::Node& node);
    // A k-d tree of the geometry, or null when none can be built. Reads the geometry only.
    static osg::ref_ptr<osg::Shape> makeKdTree(osg::Geometry& geometry);

    // The path from scene down to the nearest drawable under the window position (physical
    // pixels, origin at the bottom left of the camera's viewport), or an empty path. Surfaces
    // are hit along the whole line of sight through the scene, whatever the camera's near and
    // far planes; points and lines, which a line segment never hits, are tried when no surface
    // is under the pointer.
    static osg::NodePath pick(const osg::Camera& camera, osg::Node& scene, double x, double y,
                              bool useKdTrees = true);

    // The object a user means by the picked path: the nearest named node below its first node,
    // else the first node's child on the path (what was added to the scene); null for a path
    // of fewer than two nodes.
    static osg::Node* objectOf(const osg::NodePath& path);
};
