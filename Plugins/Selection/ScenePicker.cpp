#include "ScenePicker.h"

#include <algorithm>
#include <cmath>
#include <osg/Camera>
#include <osg/Geometry>
#include <osg/KdTree>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>
#include <osgUtil/PolytopeIntersector>
#include <set>

namespace {

// Half the side of the square in which points and lines are caught, in pixels.
const double thinPickRadius = 4.0;

class MeshVisitor : public osg::NodeVisitor
{
public:
    MeshVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) { setNodeMaskOverride(~0u); }

    void apply(osg::Geometry& geometry) override
    {
        const osg::Array* vertices = geometry.getVertexArray();
        if (geometry.getShape() || !vertices ||
            vertices->getNumElements() < ScenePicker::minimumKdTreeVertices)
            return;
        if (m_seen.insert(&geometry).second)
            meshes.push_back(&geometry);
    }

    std::vector<osg::ref_ptr<osg::Geometry>> meshes;

private:
    std::set<const osg::Geometry*> m_seen;
};

// Into the coordinates of the scene's parent: a node's bound is given in those.
// Along the first parents: a scene below shared groups has many paths up, too many to list.
osg::Matrixd parentToWorld(osg::Node& scene)
{
    osg::NodePath path;
    for (osg::Node* at = scene.getNumParents() > 0 ? scene.getParent(0) : nullptr;
         at && path.size() < 4096; at = at->getNumParents() > 0 ? at->getParent(0) : nullptr)
        path.insert(path.begin(), at);
    return osg::computeLocalToWorld(path);
}

// eye: where a perspective camera sees from; null for an orthographic camera.
osg::NodePath pickSurface(const osg::Matrixd& fromWindow, const osg::Vec3d* eye, osg::Node& scene,
                          double x, double y, bool useKdTrees)
{
    const osg::BoundingSphere bound = scene.getBound();
    if (!bound.valid())
        return {};
    const osg::Vec3d nearPoint = osg::Vec3d(x, y, 0.0) * fromWindow;
    const osg::Vec3d farPoint = osg::Vec3d(x, y, 1.0) * fromWindow;
    osg::Vec3d direction = farPoint - nearPoint;
    direction.normalize();
    const osg::Vec3d center = bound.center();
    const double radius = bound.radius();
    // An orthographic camera sees along the whole line.
    const osg::Vec3d from =
        eye ? *eye : nearPoint - direction * ((nearPoint - center).length() + radius);
    const double along = (center - from) * direction;
    const double offLine = (center - from).length2() - along * along;
    if (offLine > radius * radius)
        return {};
    // Between the near and far planes, as the view's own intersection goes (which its k-d
    // trees search fastest), stretched to the parts of the scene's sphere the planes cut off.
    const double inside = std::sqrt(radius * radius - offLine);
    const double nearAt = (nearPoint - from) * direction;
    const double farAt = (farPoint - from) * direction;
    const double startAt = std::min(nearAt, std::max(0.0, along - inside));
    const double endAt = std::max(farAt, along + inside);
    const osg::Vec3d start = from + direction * startAt;
    const osg::Vec3d end = from + direction * endAt;

    osg::ref_ptr<osgUtil::LineSegmentIntersector> intersector =
        new osgUtil::LineSegmentIntersector(osgUtil::Intersector::MODEL, start, end);
    osgUtil::IntersectionVisitor visitor(intersector.get());
    visitor.setUseKdTreeWhenAvailable(useKdTrees);
    scene.accept(visitor);
    return intersector->containsIntersections() ? intersector->getFirstIntersection().nodePath
                                                : osg::NodePath();
}

// toWindow: from the coordinates the scene's bound is given in to the window.
osg::NodePath pickThin(const osg::Matrixd& toWindow, osg::Node& scene, double x, double y)
{
    osg::ref_ptr<osgUtil::PolytopeIntersector> window = new osgUtil::PolytopeIntersector(
        osgUtil::Intersector::WINDOW, x - thinPickRadius, y - thinPickRadius, x + thinPickRadius,
        y + thinPickRadius);
    osg::Polytope polytope = window->getPolytope();
    polytope.transformProvidingInverse(toWindow);
    osg::ref_ptr<osgUtil::PolytopeIntersector> intersector =
        new osgUtil::PolytopeIntersector(osgUtil::Intersector::MODEL, polytope);
    intersector->setPrimitiveMask(osgUtil::PolytopeIntersector::POINT_PRIMITIVES |
                                  osgUtil::PolytopeIntersector::LINE_PRIMITIVES);
    osgUtil::IntersectionVisitor visitor(intersector.get());
    scene.accept(visitor);
    return intersector->containsIntersections() ? intersector->getFirstIntersection().nodePath
                                                : osg::NodePath();
}

} // namespace

unsigned ScenePicker::buildKdTrees(osg::Node& node)
{
    unsigned built = 0;
    for (const osg::ref_ptr<osg::Geometry>& geometry : meshesWithoutKdTrees(node))
        if (osg::ref_ptr<osg::Shape> tree = makeKdTree(*geometry)) {
            geometry->setShape(tree);
            ++built;
        }
    return built;
}

std::vector<osg::ref_ptr<osg::Geometry>> ScenePicker::meshesWithoutKdTrees(osg::Node& node)
{
    MeshVisitor visitor;
    node.accept(visitor);
    return std::move(visitor.meshes);
}

osg::ref_ptr<osg::Shape> ScenePicker::makeKdTree(osg::Geometry& geometry)
{
    osg::ref_ptr<osg::KdTree> tree = new osg::KdTree;
    osg::KdTree::BuildOptions options;
    return tree->build(options, &geometry) ? tree : nullptr;
}

osg::NodePath ScenePicker::pick(const osg::Camera& camera, osg::Node& scene, double x, double y,
                                bool useKdTrees)
{
    const osg::Viewport* viewport = camera.getViewport();
    if (!viewport)
        return {};
    const osg::Matrixd model = parentToWorld(scene);
    const osg::Matrixd modelView = model * camera.getViewMatrix();
    const osg::Matrixd& projection = camera.getProjectionMatrix();
    const osg::Matrixd toWindow = modelView * projection * viewport->computeWindowMatrix();
    const osg::Matrixd fromWindow = osg::Matrixd::inverse(toWindow);
    const osg::Vec3d eye = osg::Matrixd::inverse(modelView).getTrans();
    const bool perspective = projection(3, 3) == 0.0;
    osg::NodePath path =
        pickSurface(fromWindow, perspective ? &eye : nullptr, scene, x, y, useKdTrees);
    if (path.empty())
        path = pickThin(toWindow, scene, x, y);
    return path;
}

osg::Node* ScenePicker::objectOf(const osg::NodePath& path)
{
    if (path.size() < 2)
        return nullptr;
    for (std::size_t i = path.size() - 1; i > 1; --i)
        if (!path[i]->getName().empty())
            return path[i];
    return path[1];
}
