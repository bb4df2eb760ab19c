#include "OSGUtility/IConstrainedInteraction.h"

#include <algorithm>
#include <osg/Camera>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>

namespace OSGU {

namespace {

// From the coordinates a node's bound is given in (its parent's) to the world.
osg::Matrixd parentToWorld(const osg::Node& node)
{
    const osg::NodePathList paths = node.getParentalNodePaths();
    if (paths.empty())
        return {};
    osg::NodePath path = paths.front();
    path.pop_back();
    return osg::computeLocalToWorld(path);
}

osg::Matrixd localToWorld(const osg::Node& node)
{
    const osg::NodePathList paths = node.getParentalNodePaths();
    return paths.empty() ? osg::Matrixd() : osg::computeLocalToWorld(paths.front());
}

} // namespace

IConstrainedInteractionMethods::~IConstrainedInteractionMethods() = default;

IConstrainedInteraction::IConstrainedInteraction(osg::Node* handle, osg::Node* highlight,
                                                 const std::string& name)
    : m_root(new osg::Switch), m_hasHighlight(highlight != nullptr)
{
    if (!name.empty())
        m_root->setName(name);
    if (handle)
        m_root->addChild(handle, true);
    if (highlight)
        m_root->addChild(highlight, false);
}

IConstrainedInteraction::~IConstrainedInteraction() = default;

std::pair<bool, bool> IConstrainedInteraction::mouseMove(int x, int y, const osg::Camera& camera,
                                                         osg::Node* node)
{
    if (!m_hasHighlight)
        return {false, false};
    Ray ray;
    osg::Vec3d hitPoint;
    const bool hit = Ray::throughPixel(camera, x, y, ray) && pick(ray, node, hitPoint);
    const unsigned int shown = hit ? 1 : 0;
    const bool changed = !m_root->getValue(shown);
    if (changed)
        m_root->setSingleChildOn(shown);
    return {hit, changed};
}

bool IConstrainedInteraction::mousePress(int x, int y, const osg::Camera& camera, osg::Node* node)
{
    m_active = false;
    m_pressX = x;
    m_pressY = y;
    m_pickedPoint = osg::Vec3d();
    Ray ray;
    const bool rayFound = Ray::throughPixel(camera, x, y, ray);
    if (const osg::Viewport* viewport = camera.getViewport()) {
        Ray centre;
        if (Ray::throughPixel(camera, viewport->width() / 2, viewport->height() / 2, centre))
            m_viewDirection = centre.direction;
    }
    if (!rayFound)
        return false;
    osg::Vec3d hitPoint;
    if (pick(ray, node, hitPoint)) {
        m_pickedPoint = hitPoint;
        beginInteraction(ray);
        m_active = true;
    }
    return m_active;
}

bool IConstrainedInteraction::mouseDrag(int x, int y, const osg::Camera& camera, osg::Node* node)
{
    if (!m_active)
        return false;
    Ray ray;
    if (!Ray::throughPixel(camera, x, y, ray))
        return m_active;
    osg::Node* frame = node ? node : (m_root->getNumChildren() ? m_root->getChild(0) : nullptr);
    const osg::Matrixd toWorld = frame ? localToWorld(*frame) : osg::Matrixd();
    m_active = updateInteraction(m_pressX - x, m_pressY - y, ray, toWorld);
    return m_active;
}

bool IConstrainedInteraction::mouseRelease()
{
    if (!m_active)
        return true;
    m_active = false;
    m_pressX = -1;
    m_pressY = -1;
    m_pickedPoint = osg::Vec3d();
    endInteraction();
    return true;
}

void IConstrainedInteraction::beginInteraction(const Ray&) {}

bool IConstrainedInteraction::updateInteraction(int, int, const Ray&, const osg::Matrixd&)
{
    return false;
}

void IConstrainedInteraction::endInteraction() {}

bool IConstrainedInteraction::pick(const Ray& ray, osg::Node* node, osg::Vec3d& hitPoint) const
{
    osg::Node* target = node ? node : m_root.get();
    const osg::BoundingSphere bound = target->getBound();
    if (!bound.valid())
        return false;

    // The target's own coordinates are its parent's; a segment across its bound in them stands
    // for the unbounded ray without losing precision far away.
    const osg::Matrixd toWorld = parentToWorld(*target);
    const osg::Matrixd fromWorld = osg::Matrixd::inverse(toWorld);
    const osg::Vec3d origin = ray.origin * fromWorld;
    osg::Vec3d direction = osg::Matrixd::transform3x3(ray.direction, fromWorld);
    if (!(direction.normalize() > 0.0))
        return false;
    const osg::Vec3d centre = bound.center();
    const double reach = (centre - origin).length() + bound.radius();
    const osg::Vec3d start = ray.fromEye ? origin : origin - direction * reach;
    const osg::Vec3d end = start + direction * ((centre - start).length() + bound.radius());

    osg::ref_ptr<osgUtil::LineSegmentIntersector> intersector =
        new osgUtil::LineSegmentIntersector(osgUtil::Intersector::MODEL, start, end);
    intersector->setIntersectionLimit(osgUtil::Intersector::LIMIT_NEAREST);
    osgUtil::IntersectionVisitor visitor(intersector.get());
    target->accept(visitor);
    if (!intersector->containsIntersections())
        return false;
    const osgUtil::LineSegmentIntersector::Intersection& nearest =
        intersector->getFirstIntersection();
    // Picked in a larger scene, the nearest object must be the handle itself.
    if (target != m_root.get() && std::find(nearest.nodePath.begin(), nearest.nodePath.end(),
                                            m_root.get()) == nearest.nodePath.end())
        return false;
    hitPoint = nearest.getWorldIntersectPoint() * toWorld;
    return true;
}

} // namespace OSGU
