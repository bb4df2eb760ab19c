#include "OSGUtility/HandleGeometry.h"

#include <cmath>
#include <osg/Matrixd>

namespace OSGU {

namespace {

const int segments = 48;

// Shapes are built around z and carried onto their axis by turning the coordinates round, so
// that the plane's two other axes keep their order (y, z for x; z, x for y).
osg::Matrixd ontoAxis(int axis)
{
    switch (axis) {
    case 0:
        return osg::Matrixd(0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1);
    case 1:
        return osg::Matrixd(0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1);
    default:
        return {};
    }
}

class TriangleBuilder
{
public:
    explicit TriangleBuilder(int axis) : m_turn(ontoAxis(axis)) {}

    void triangle(const osg::Vec3d& a, const osg::Vec3d& b, const osg::Vec3d& c)
    {
        for (const osg::Vec3d* corner : {&a, &b, &c})
            m_vertices->push_back(osg::Vec3(*corner * m_turn));
        osg::Vec3d normal = (b - a) ^ (c - a);
        normal.normalize();
        const osg::Vec3 turned(osg::Matrixd::transform3x3(normal, m_turn));
        for (int i = 0; i < 3; ++i)
            m_normals->push_back(turned);
    }

    void quad(const osg::Vec3d& a, const osg::Vec3d& b, const osg::Vec3d& c, const osg::Vec3d& d)
    {
        triangle(a, b, c);
        triangle(a, c, d);
    }

    osg::ref_ptr<osg::Geometry> build(const osg::Vec4& colour) const
    {
        osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
        geometry->setVertexArray(m_vertices.get());
        geometry->setNormalArray(m_normals.get(), osg::Array::BIND_PER_VERTEX);
        osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
        colours->push_back(colour);
        geometry->setColorArray(colours.get(), osg::Array::BIND_OVERALL);
        geometry->addPrimitiveSet(
            new osg::DrawArrays(GL_TRIANGLES, 0, GLsizei(m_vertices->size())));
        geometry->setUseDisplayList(false);
        geometry->setUseVertexBufferObjects(true);
        return geometry;
    }

private:
    osg::Matrixd m_turn;
    osg::ref_ptr<osg::Vec3Array> m_vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> m_normals = new osg::Vec3Array;
};

osg::Vec3d around(double angle, double radius, double z)
{
    return {radius * std::cos(angle), radius * std::sin(angle), z};
}

} // namespace

osg::ref_ptr<osg::Geometry> makeRingGeometry(int axis, float radius, float tube,
                                             const osg::Vec4& colour)
{
    TriangleBuilder builder(axis);
    const int tubeSegments = 8;
    auto point = [&](int i, int k) {
        const double angle = 2.0 * osg::PI * i / segments;
        const double tubeAngle = 2.0 * osg::PI * k / tubeSegments;
        const double distance = radius + tube * std::cos(tubeAngle);
        return around(angle, distance, tube * std::sin(tubeAngle));
    };
    for (int i = 0; i < segments; ++i)
        for (int k = 0; k < tubeSegments; ++k)
            builder.quad(point(i, k), point(i + 1, k), point(i + 1, k + 1), point(i, k + 1));
    return builder.build(colour);
}

osg::ref_ptr<osg::Geometry> makeArrowGeometry(int axis, float length, float shaftRadius,
                                              const osg::Vec4& colour)
{
    TriangleBuilder builder(axis);
    const double headLength = length * 0.25;
    const double headRadius = shaftRadius * 3.0;
    const double shaftEnd = length - headLength;
    const osg::Vec3d tip(0, 0, length);
    for (int i = 0; i < segments; ++i) {
        const double a0 = 2.0 * osg::PI * i / segments;
        const double a1 = 2.0 * osg::PI * (i + 1) / segments;
        builder.quad(around(a0, shaftRadius, 0), around(a1, shaftRadius, 0),
                     around(a1, shaftRadius, shaftEnd), around(a0, shaftRadius, shaftEnd));
        builder.quad(around(a0, shaftRadius, shaftEnd), around(a1, shaftRadius, shaftEnd),
                     around(a1, headRadius, shaftEnd), around(a0, headRadius, shaftEnd));
        builder.triangle(around(a0, headRadius, shaftEnd), around(a1, headRadius, shaftEnd), tip);
    }
    return builder.build(colour);
}

osg::ref_ptr<osg::Geometry> makeSquareGeometry(int axis, float offset, float size,
                                               const osg::Vec4& colour)
{
    TriangleBuilder builder(axis);
    const double near = offset;
    const double far = offset + size;
    builder.quad({near, near, 0}, {far, near, 0}, {far, far, 0}, {near, far, 0});
    builder.quad({near, near, 0}, {near, far, 0}, {far, far, 0}, {far, near, 0});
    return builder.build(colour);
}

} // namespace OSGU
