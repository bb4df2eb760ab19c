#pragma once

#include "ZelApi.h"

#include <osg/Geometry>
#include <osg/ref_ptr>

namespace OSGU {

// Solid shapes for manipulator handles, centred on the origin of their axis (0 x, 1 y, 2 z), in
// one colour. They are surfaces, so that a line of sight can hit them.

// A ring around the axis: radius to the middle of its tube, tube the tube's radius.
ZEL_API osg::ref_ptr<osg::Geometry> makeRingGeometry(int axis, float radius, float tube,
                                                     const osg::Vec4& colour);

// An arrow from the origin along the axis: a shaft and a cone at its tip.
ZEL_API osg::ref_ptr<osg::Geometry> makeArrowGeometry(int axis, float length, float shaftRadius,
                                                      const osg::Vec4& colour);

// A square in the plane across the axis, its corners at offset and offset + size along the
// plane's two other axes, seen from both sides.
ZEL_API osg::ref_ptr<osg::Geometry> makeSquareGeometry(int axis, float offset, float size,
                                                       const osg::Vec4& colour);

} // namespace OSGU
