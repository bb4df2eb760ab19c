#pragma once

#include "OSGZELCoreFieldContainers/Stage.h"

#include <string>

namespace osgUtil {
class CullVisitor;
}

namespace OSG {

class HDRPasses;
class HDRShaderSet;

// Renders its subtree into a floating-point target and post-processes it into its own target, or
// the one of the camera above: screen-space ambient occlusion, a bloom, exposure and gamma.
// A setter takes effect on the next frame. Until its shaders are read and compile it draws the
// subtree unprocessed, as a forward stage would; a shader that fails is reported once.
class ZEL_API HDRWithPostprocessingStage : public Stage
{
public:
    HDRWithPostprocessingStage();
    HDRWithPostprocessingStage(const HDRWithPostprocessingStage& other,
                               const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Node(OSG, HDRWithPostprocessingStage)

        using Stage::getBackground;
    using Stage::setBackground;

    // Reads the shader files from the folder; what cannot be read is reported at once.
    void setShaderPath(const std::string& path);
    const std::string& getShaderPath() const { return m_shaderPath; }

    // Strength of the bloom; 0 turns it off.
    void setEffectAmount(float amount);
    float getEffectAmount() const;
    void setExposure(float exposure);
    float getExposure() const;
    void setGamma(float gamma);
    float getGamma() const;
    // Spread of the bloom: one unit blurs by 1% of the picture's height.
    void setBlurAmount(float amount);
    float getBlurAmount() const;
    // In units of the subtree's bounding-sphere radius, so that it suits a scene of any size.
    void setAmbientOcclusionRadius(float radius);
    float getAmbientOcclusionRadius() const;
    // The bloom is blended with the picture instead of added to it.
    void setCombineBlend(bool on);
    bool getCombineBlend() const;
    void setAmbientOcclusion(bool on);
    bool getAmbientOcclusion() const;
    // The colours as rendered, clamped, without exposure and gamma.
    void setAbsColor(bool on);
    bool getAbsColor() const;

    // False while the stage draws its subtree unprocessed.
    bool isPostProcessing() const;

    void traverse(osg::NodeVisitor& nv) override;
    void resizeGLObjectBuffers(unsigned int maxSize) override;
    void releaseGLObjects(osg::State* state = nullptr) const override;

protected:
    ~HDRWithPostprocessingStage() override;

private:
    bool shadersUsable(osgUtil::CullVisitor& cv);

    std::string m_shaderPath;
    osg::ref_ptr<HDRShaderSet> m_shaders;
    osg::ref_ptr<HDRPasses> m_passes;
    bool m_reportedNoShaders = false;
};

} // namespace OSG
