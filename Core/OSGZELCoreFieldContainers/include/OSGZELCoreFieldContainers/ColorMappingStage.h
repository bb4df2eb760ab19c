#pragma once

#include "OSGZELCoreFieldContainers/Stage.h"

#include <memory>
#include <string>

namespace osg {
class Texture2D;
}

namespace OSG {

// Colours its subtree by one component of one vertex attribute, mapped through a colour-map
// texture over [min, min + 1/span]. Three passes: a G-buffer pass writes world positions (w is
// 0 on a surface and exactly 1 where there is none), the attribute value and the scene colour
// into float textures; a colour-mapping pass looks the value up in the map; the final pass draws
// the result over the stage's background. "Position" and "Normal" are taken in world space, the
// other attributes as the geometry stores them; a geometry without the attribute gets the map's
// first colour. With read-back on, the three G-buffer textures' images hold the last frame.
class ZEL_API ColorMappingStage : public Stage
{
public:
    // The attribute names the stage knows, in the order of their index.
    static const char* const AttributeNames[11];

    ColorMappingStage();
    ColorMappingStage(const ColorMappingStage& other,
                      const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Node(OSG, ColorMappingStage)

        // Loads the shaders from the folder at once; a missing one is logged and the stage then
        // draws its background only.
        void setShaderPath(const std::string& path);
    const std::string& getShaderPath() const;
    bool hasShaders() const;

    void setColorMapTexture(osg::Texture2D* texture);
    osg::Texture2D* getColorMapTexture() const;

    // An unknown attribute is drawn as one the geometry lacks; an unknown component as "x".
    void setColorMappedAttribute(const std::string& name);
    const std::string& getColorMappedAttribute() const;
    void setColorMappedComponent(const std::string& name);
    const std::string& getColorMappedComponent() const;

    void setColorMappingMin(float minimum);
    float getColorMappingMin() const;
    void setInvColorMappingSpan(float inverseSpan);
    float getInvColorMappingSpan() const;
    void setColorMappingBanding(bool banding);
    bool getColorMappingBanding() const;
    void setColorMappingNumBands(int bands);
    int getColorMappingNumBands() const;

    void setUpdateGBuffer(bool on);
    bool getUpdateGBuffer() const;
    void setDoColorMappingPass(bool on);
    bool getDoColorMappingPass() const;
    void setDoFinalRenderPass(bool on);
    bool getDoFinalRenderPass() const;
    void setEnableReadBack(bool on);
    bool getEnableReadBack() const;
    // Grows by one with every frame read back; tells a caller whether a frame was drawn.
    unsigned int getReadBackCount() const;

    // Positions: four floats a pixel. Attribute: the value, one float a pixel. Scene colour:
    // three floats a pixel. Their images are sized to the last frame drawn.
    osg::Texture2D* getPositionsGBufferTexture() const;
    osg::Texture2D* getColorMappedAttributeGBufferTexture() const;
    osg::Texture2D* getSceneTexture() const;

    using Stage::getBackground;
    using Stage::setBackground;

    void traverse(osg::NodeVisitor& nv) override;
    void resizeGLObjectBuffers(unsigned int maxSize) override;
    void releaseGLObjects(osg::State* state = nullptr) const override;

protected:
    ~ColorMappingStage() override;

private:
    struct Passes;
    std::unique_ptr<Passes> m_passes;
};

} // namespace OSG
