#pragma once

#include "OSGUtility/IConstrainedInteractionMethods.h"
#include "OSGUtility/Ray.h"

#include <osg/Matrixd>
#include <osg/Quat>
#include <osg/Switch>
#include <osg/Vec3d>
#include <osg/ref_ptr>
#include <string>

namespace OSGU {

// One handle: a switch whose child 0 is the handle geometry and child 1, when given, its
// highlighted look, shown while the pointer is over it. A press on the handle starts the
// interaction; drags turn into a rotation or a translation (subclasses) that the caller reads
// after every taken drag and applies to its object.
class ZEL_API IConstrainedInteraction : public IConstrainedInteractionMethods
{
public:
    IConstrainedInteraction(osg::Node* handle, osg::Node* highlight, const std::string& name);
    ~IConstrainedInteraction() override;

    std::pair<bool, bool> mouseMove(int x, int y, const osg::Camera& camera,
                                    osg::Node* node = nullptr) override;
    bool mousePress(int x, int y, const osg::Camera& camera, osg::Node* node = nullptr) override;
    // With a node, the handle's frame is that node's to-world matrix instead of the handle's own.
    bool mouseDrag(int x, int y, const osg::Camera& camera, osg::Node* node = nullptr) override;
    bool mouseRelease() override;

    virtual osg::Vec3d getTranslation() const { return {}; }
    virtual osg::Quat getRotation() const { return {}; }

    osg::Switch* getRootNode() const { return m_root.get(); }
    bool isActive() const { return m_active; }
    const osg::Vec3d& getPickedPoint() const { return m_pickedPoint; }
    const osg::Vec3d& getViewDirection() const { return m_viewDirection; }

protected:
    virtual void beginInteraction(const Ray& ray);
    // dx, dy: pixels from the press; toWorld: the handle's frame. False refuses the drag.
    virtual bool updateInteraction(int dx, int dy, const Ray& ray, const osg::Matrixd& toWorld);
    virtual void endInteraction();

private:
    // The nearest hit along the ray, if it belongs to the handle.
    bool pick(const Ray& ray, osg::Node* node, osg::Vec3d& hitPoint) const;

    osg::Vec3d m_viewDirection;
    bool m_active = false;
    int m_pressX = -1;
    int m_pressY = -1;
    osg::Vec3d m_pickedPoint;
    osg::ref_ptr<osg::Switch> m_root;
    bool m_hasHighlight = false;
};

} // namespace OSGU
