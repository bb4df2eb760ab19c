#include "OSGUtility/ConstrainedTranslateInteraction.h"

#include <cmath>
#include <limits>

namespace OSGU {

namespace {

const double cos5 = 0.9961947;
const double sin5 = 0.087155744;
const double unset = std::numeric_limits<float>::max();

} // namespace

ConstrainedTranslateInteraction::ConstrainedTranslateInteraction(osg::Node* handle,
                                                                 osg::Node* highlight,
                                                                 const std::string& name,
                                                                 const osg::Plane& plane, int mode)
    : IConstrainedInteraction(handle, highlight, name), m_mode(mode), m_grabOffset(unset, 0, 0)
{
    m_lineDirection = plane.getNormal();
    const double length2 = m_lineDirection.length2();
    if (length2 > 0.0)
        m_linePoint = m_lineDirection * (-plane[3] / length2);
    m_lineDirection.normalize();
}

ConstrainedTranslateInteraction::~ConstrainedTranslateInteraction() = default;

void ConstrainedTranslateInteraction::beginInteraction(const Ray& ray)
{
    m_pressRay = ray;
    m_grabOffset = osg::Vec3d(unset, 0, 0);
}

void ConstrainedTranslateInteraction::endInteraction()
{
    m_translation = osg::Vec3d();
}

bool ConstrainedTranslateInteraction::grabbed() const
{
    return m_grabOffset.x() != unset;
}

bool ConstrainedTranslateInteraction::updateInteraction(int, int, const Ray& ray,
                                                        const osg::Matrixd& toWorld)
{
    const osg::Vec3d point = m_linePoint * toWorld;
    // A scaled frame must not scale the displacement: the direction has unit length.
    osg::Vec3d direction = osg::Matrixd::transform3x3(m_lineDirection, toWorld);
    if (!(direction.normalize() > 0.0))
        return false;
    switch (m_mode) {
    case Line:
        return updateAlongLine(ray, point, direction);
    case Plane:
        return updateInPlane(ray, point, direction);
    default:
        return false;
    }
}

bool ConstrainedTranslateInteraction::updateAlongLine(const Ray& ray, const osg::Vec3d& point,
                                                      const osg::Vec3d& direction)
{
    if (std::abs(direction * ray.direction) >= cos5)
        return false;
    double alongLine = 0.0, alongRay = 0.0;
    if (!closestPoints(point, direction, ray.origin, ray.direction, alongLine, alongRay))
        return true;
    if (!grabbed())
        grabAlongLine(ray, point, direction);
    m_translation = direction * alongLine - m_grabOffset;
    return true;
}

// Where the press met the line; the first drag's own ray if the press ray runs parallel to it.
void ConstrainedTranslateInteraction::grabAlongLine(const Ray& ray, const osg::Vec3d& point,
                                                    const osg::Vec3d& direction)
{
    double alongLine = 0.0, alongRay = 0.0;
    const Ray& grab = closestPoints(point, direction, m_pressRay.origin, m_pressRay.direction,
                                    alongLine, alongRay)
                          ? m_pressRay
                          : ray;
    closestPoints(point, direction, grab.origin, grab.direction, alongLine, alongRay);
    m_grabOffset = direction * ((grab.pointAt(alongRay) - point) * direction);
}

bool ConstrainedTranslateInteraction::updateInPlane(const Ray& ray, const osg::Vec3d& point,
                                                    const osg::Vec3d& normal)
{
    if (std::abs(normal * ray.direction) <= sin5)
        return false;
    osg::Vec3d hit;
    if (!ray.intersect(osg::Plane(normal, point), hit))
        return true;
    if (!grabbed())
        grabInPlane(ray, point, normal);
    m_translation = hit - m_grabOffset - point;
    return true;
}

void ConstrainedTranslateInteraction::grabInPlane(const Ray& ray, const osg::Vec3d& point,
                                                  const osg::Vec3d& normal)
{
    const osg::Plane plane(normal, point);
    osg::Vec3d hit;
    if (!m_pressRay.intersect(plane, hit))
        ray.intersect(plane, hit);
    m_grabOffset = hit - point;
}

} // namespace OSGU
