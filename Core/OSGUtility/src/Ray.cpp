#include "OSGUtility/Ray.h"

#include <cmath>
#include <osg/Camera>

namespace OSGU {

bool Ray::throughPixel(const osg::Camera& camera, double x, double y, Ray& ray)
{
    const osg::Viewport* viewport = camera.getViewport();
    if (!viewport || viewport->width() <= 0 || viewport->height() <= 0)
        return false;
    const osg::Matrixd toWindow =
        camera.getViewMatrix() * camera.getProjectionMatrix() * viewport->computeWindowMatrix();
    osg::Matrixd fromWindow;
    if (!fromWindow.invert(toWindow))
        return false;
    const double windowX = viewport->x() + x + 0.5;
    const double windowY = viewport->y() + y + 0.5;
    const osg::Vec3d nearPoint = osg::Vec3d(windowX, windowY, 0.0) * fromWindow;
    osg::Vec3d direction = osg::Vec3d(windowX, windowY, 1.0) * fromWindow - nearPoint;
    if (!(direction.normalize() > 0.0))
        return false;

    const bool perspective = camera.getProjectionMatrix()(3, 3) == 0.0;
    ray.direction = direction;
    ray.fromEye = perspective;
    ray.origin = nearPoint;
    if (perspective) {
        osg::Matrixd eyeToWorld;
        if (!eyeToWorld.invert(camera.getViewMatrix()))
            return false;
        ray.origin = eyeToWorld.getTrans();
    }
    return true;
}

bool Ray::intersect(const osg::Plane& plane, osg::Vec3d& hit) const
{
    const osg::Vec3d normal = plane.getNormal();
    const double along = normal * direction;
    if (std::abs(along) < 1e-12)
        return false;
    const double t = -plane.distance(origin) / along;
    if (fromEye && t < 0.0)
        return false;
    hit = pointAt(t);
    return true;
}

bool closestPoints(const osg::Vec3d& p, const osg::Vec3d& d, const osg::Vec3d& q,
                   const osg::Vec3d& e, double& s, double& t)
{
    const osg::Vec3d w = p - q;
    const double a = d * d;
    const double b = d * e;
    const double c = e * e;
    const double denominator = a * c - b * b;
    if (std::abs(denominator) <= 1e-12 * a * c)
        return false;
    const double dw = d * w;
    const double ew = e * w;
    s = (b * ew - c * dw) / denominator;
    t = (a * ew - b * dw) / denominator;
    return true;
}

} // namespace OSGU
