#pragma once

#include "ZelApi.h"

#include <osg/LightSource>
#include <osgShadow/ShadowedScene>
#include <vector>

namespace osgShadow {
class SoftShadowMap;
}

// Draws its children with soft shadow maps cast by one of the light nodes it is handed: the first
// directional light that is part of the drawn scene, else the first such point light. It finds
// no lights by itself. Switched off, or without such a light, it draws its children unshadowed.
// The casting light is left as it was (the shadow map would set its ambient colour to black).
class ZEL_API ShadowStage : public osgShadow::ShadowedScene
{
public:
    using LightNodes = std::vector<osg::ref_ptr<osg::LightSource>>;

    ShadowStage();
    ShadowStage(const ShadowStage& other, const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Node(Zelvista, ShadowStage)

        void clearLightNodes()
    {
        m_lights.clear();
    }
    void pushLightNode(osg::LightSource* light);
    const LightNodes& getLightNodes() const { return m_lights; }

    void setShadowOn(bool on) { m_shadowOn = on; }
    bool getShadowOn() const { return m_shadowOn; }
    // Edge length of the square shadow map in texels.
    void setMapSize(int size);
    int getMapSize() const { return m_mapSize; }
    // 0 gives hard shadow edges, 1 very soft ones.
    void setShadowSmoothness(float smoothness);
    float getShadowSmoothness() const { return m_smoothness; }
    // How much light the shadow takes away: 0 none, 1 all.
    void setGlobalShadowIntensity(float intensity);
    float getGlobalShadowIntensity() const { return m_intensity; }

    // The light that casts the shadows of the next frame drawn with this visitor, or null.
    osg::LightSource* castingLight(const osg::NodeVisitor& nv) const;

    void traverse(osg::NodeVisitor& nv) override;

protected:
    ~ShadowStage() override;

private:
    void configure();

    LightNodes m_lights;
    osg::ref_ptr<osgShadow::SoftShadowMap> m_technique;
    bool m_shadowOn = true;
    bool m_techniqueBuilt = false;
    int m_mapSize = 2048;
    float m_smoothness = 0.5f;
    float m_intensity = 0.8f;
};
