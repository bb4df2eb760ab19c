#pragma once

#include "OSGUtility/IConstrainedInteraction.h"

#include <osg/Plane>

namespace OSGU {

// Moves a handle along a line (line mode) or within a plane (plane mode), both given by a plane
// in the handle's local coordinates: the line runs along its normal through its point nearest
// the origin, the plane is the plane itself. The translation is the whole displacement since the
// handle was grabbed, in world coordinates. A drag is refused once the line of sight runs within
// 5 degrees of the line, or of the plane, where a pixel would move the handle without bound.
// The grab is where the press met the line or plane, so the first drag already moves.
class ZEL_API ConstrainedTranslateInteraction : public IConstrainedInteraction
{
public:
    enum Mode
    {
        Plane = 0,
        Line = 1
    };

    ConstrainedTranslateInteraction(osg::Node* handle, osg::Node* highlight,
                                    const std::string& name, const osg::Plane& plane, int mode);
    ~ConstrainedTranslateInteraction() override;

    osg::Vec3d getTranslation() const override { return m_translation; }

protected:
    void beginInteraction(const Ray& ray) override;
    bool updateInteraction(int dx, int dy, const Ray& ray, const osg::Matrixd& toWorld) override;
    void endInteraction() override;

private:
    bool updateAlongLine(const Ray& ray, const osg::Vec3d& point, const osg::Vec3d& direction);
    bool updateInPlane(const Ray& ray, const osg::Vec3d& point, const osg::Vec3d& normal);
    bool grabbed() const;
    void grabAlongLine(const Ray& ray, const osg::Vec3d& point, const osg::Vec3d& direction);
    void grabInPlane(const Ray& ray, const osg::Vec3d& point, const osg::Vec3d& normal);

    osg::Vec3d m_linePoint;
    osg::Vec3d m_lineDirection;
    int m_mode;
    Ray m_pressRay;
    osg::Vec3d m_grabOffset;
    osg::Vec3d m_translation;
};

} // namespace OSGU
