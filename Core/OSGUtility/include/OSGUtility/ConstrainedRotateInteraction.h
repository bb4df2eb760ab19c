#pragma once

#include "OSGUtility/IConstrainedInteraction.h"

namespace OSGU {

// Turns a handle about one of its local axes (0 x, 1 y, 2 z). A handle whose axis points at the
// camera (within 30 degrees) is turned like a dial, following the pointer around the axis in
// the handle's plane (plane mode); one seen from the side is turned by pulling it tangentially
// (tangent mode). Each drag gives the rotation since the previous one: callers compose them.
class ZEL_API ConstrainedRotateInteraction : public IConstrainedInteraction
{
public:
    enum Mode
    {
        Undecided = -1,
        Plane = 0,
        Tangent = 1
    };

    ConstrainedRotateInteraction(osg::Node* handle, osg::Node* highlight, const std::string& name,
                                 int axisIndex);
    ~ConstrainedRotateInteraction() override;

    osg::Quat getRotation() const override { return m_rotation; }

    // Always tangent mode.
    void setTangentMode(bool on) { m_tangentMode = on; }
    // In plane mode the pointer turns nothing while it stays within this share of the picked
    // point's distance from the axis, where the angle it gives would jump.
    void setRadiusFactor(float factor) { m_squaredRadiusFactor = factor * factor; }
    int getMode() const { return m_mode; }

protected:
    void beginInteraction(const Ray& ray) override;
    bool updateInteraction(int dx, int dy, const Ray& ray, const osg::Matrixd& toWorld) override;
    void endInteraction() override;

private:
    // False when the step must be skipped and the previous ray kept.
    bool planeStep(const Ray& ray, const osg::Vec3d& axis, const osg::Vec3d& onAxis,
                   double threshold);
    void tangentStep(const Ray& ray, const osg::Vec3d& axis, const osg::Vec3d& radius);

    osg::Vec3d m_localAxis;
    osg::Quat m_rotation;
    int m_mode = Undecided;
    Ray m_previousRay;
    int m_previousDx = 0;
    int m_previousDy = 0;
    bool m_tangentMode = false;
    float m_squaredRadiusFactor = 1.0f;
};

} // namespace OSGU
