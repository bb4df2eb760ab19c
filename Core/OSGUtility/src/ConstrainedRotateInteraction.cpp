#include "OSGUtility/ConstrainedRotateInteraction.h"

#include "Logger/Log.h"

#include <algorithm>
#include <cmath>

namespace OSGU {

namespace {

const double cos30 = 0.8660254;

osg::Vec3d axisFor(int index)
{
    switch (index) {
    case 0:
        return {1.0, 0.0, 0.0};
    case 1:
        return {0.0, 1.0, 0.0};
    case 2:
        return {0.0, 0.0, 1.0};
    default:
        return {};
    }
}

// The angle that turns from to to about axis (unit length), counter-clockwise positive.
double signedAngle(const osg::Vec3d& axis, const osg::Vec3d& from, const osg::Vec3d& to)
{
    return std::atan2(axis * (from ^ to), from * to);
}

} // namespace

ConstrainedRotateInteraction::ConstrainedRotateInteraction(osg::Node* handle, osg::Node* highlight,
                                                           const std::string& name, int axisIndex)
    : IConstrainedInteraction(handle, highlight, name), m_localAxis(axisFor(axisIndex))
{}

ConstrainedRotateInteraction::~ConstrainedRotateInteraction() = default;

void ConstrainedRotateInteraction::beginInteraction(const Ray& ray)
{
    m_mode = Undecided;
    m_previousDx = 0;
    m_previousDy = 0;
    m_previousRay = ray;
}

void ConstrainedRotateInteraction::endInteraction()
{
    m_rotation = osg::Quat();
}

bool ConstrainedRotateInteraction::updateInteraction(int dx, int dy, const Ray& ray,
                                                     const osg::Matrixd& toWorld)
{
    const osg::Vec3d origin = toWorld.getTrans();
    // A scaled frame must not scale the angles: the axis is used as a direction only.
    osg::Vec3d axis = osg::Matrixd::transform3x3(m_localAxis, toWorld);
    axis.normalize();

    if (m_mode == Undecided)
        m_mode = !m_tangentMode && std::abs(axis * ray.direction) >= cos30 ? Plane : Tangent;

    const osg::Vec3d onAxis = origin + axis * ((getPickedPoint() - origin) * axis);
    const osg::Vec3d radius = getPickedPoint() - onAxis;
    const double threshold = std::max(1e-6, radius.length2() * m_squaredRadiusFactor);

    switch (m_mode) {
    case Plane:
        if (!planeStep(ray, axis, onAxis, threshold))
            return true;
        break;
    case Tangent:
        tangentStep(ray, axis, radius);
        break;
    default:
        ZEL_ERROR << "unknown interaction mode " << m_mode << "\n";
        return false;
    }
    m_previousDx = dx;
    m_previousDy = dy;
    m_previousRay = ray;
    return true;
}

bool ConstrainedRotateInteraction::planeStep(const Ray& ray, const osg::Vec3d& axis,
                                             const osg::Vec3d& onAxis, double threshold)
{
    const osg::Plane plane(axis, onAxis);
    osg::Vec3d previousHit, currentHit;
    if (!m_previousRay.intersect(plane, previousHit) || !ray.intersect(plane, currentHit)) {
        m_rotation = osg::Quat();
        return true;
    }
    osg::Vec3d from = previousHit - onAxis;
    osg::Vec3d to = currentHit - onAxis;
    if (to.length2() <= threshold) {
        m_rotation = osg::Quat();
        return false;
    }
    from.normalize();
    to.normalize();
    m_rotation = osg::Quat(signedAngle(axis, from, to), m_localAxis);
    return true;
}

void ConstrainedRotateInteraction::tangentStep(const Ray& ray, const osg::Vec3d& axis,
                                               const osg::Vec3d& radius)
{
    const osg::Plane facing(getViewDirection(), getPickedPoint());
    osg::Vec3d previousHit, currentHit;
    osg::Vec3d moved;
    if (m_previousRay.intersect(facing, previousHit) && ray.intersect(facing, currentHit))
        moved = currentHit - previousHit;

    osg::Vec3d tangent = radius ^ axis;
    if (tangent.length() >= 1e-6)
        tangent.normalize();
    const double tangentLength2 = tangent.length2();
    double along = tangentLength2 <= 1e-6 ? 1.0 : (moved * tangent) / tangentLength2;
    if (std::abs(along) <= 1e-6)
        along = 0.0;

    osg::Vec3d from = radius;
    osg::Vec3d to = radius + tangent * along;
    from.normalize();
    to.normalize();
    m_rotation = osg::Quat(signedAngle(axis, from, to), m_localAxis);
}

} // namespace OSGU
