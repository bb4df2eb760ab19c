#pragma once

#include "ZelApi.h"

#include <osg/Plane>
#include <osg/Vec3d>

namespace osg {
class Camera;
}

namespace OSGU {

// A line of sight through a viewport: from the eye of a perspective camera (points behind it are
// not on the ray), or an unbounded line for an orthographic one. The direction has unit length.
struct ZEL_API Ray
{
    osg::Vec3d origin;
    osg::Vec3d direction{0.0, 0.0, -1.0};
    bool fromEye = true;

    osg::Vec3d pointAt(double t) const { return origin + direction * t; }

    // Through the centre of pixel (x, y) of the camera's viewport, counted from its bottom
    // left, in world coordinates. False without a viewport or with a singular camera.
    static bool throughPixel(const osg::Camera& camera, double x, double y, Ray& ray);

    // The point where the ray meets the plane; false when it runs parallel to it or meets it
    // behind the eye.
    bool intersect(const osg::Plane& plane, osg::Vec3d& hit) const;
};

// The parameters of the closest points of the lines p + d * s and q + e * t; false when the
// lines are parallel.
ZEL_API bool closestPoints(const osg::Vec3d& p, const osg::Vec3d& d, const osg::Vec3d& q,
                           const osg::Vec3d& e, double& s, double& t);

} // namespace OSGU
