#pragma once

#include <array>
#include <osg/Camera>
#include <osg/Geometry>
#include <osg/Referenced>
#include <osg/Texture2D>
#include <osg/Uniform>
#include <osg/observer_ptr>

namespace osgUtil {
class CullVisitor;
}

namespace OSG {

class HDRShaderSet;

// The render passes of the HDR stage and the textures between them: the subtree into a
// floating-point colour and a depth texture, ambient occlusion from the depth, a two-pass blur of
// the colour for the bloom, and the full-screen combine that draws into whatever target the stage
// draws into. The textures follow that target's size.
class HDRPasses : public osg::Referenced
{
public:
    struct Parameters
    {
        float effectAmount = 0.0f;
        float exposure = 1.0f;
        float gamma = 1.0f;
        float blurAmount = 0.0f;
        float ambientOcclusionRadius = 0.002f;
        bool combineBlend = false;
        bool ambientOcclusion = false;
        bool absColor = false;
    };

    // The scene pass draws the children of the subtree's root, which it does not keep alive.
    explicit HDRPasses(osg::Group* subtreeRoot);

    void setPrograms(const HDRShaderSet& shaders);
    Parameters& parameters() { return m_parameters; }
    const Parameters& parameters() const { return m_parameters; }

    // Adds the passes for a target of the given size to the visitor's current render stage.
    void cull(osgUtil::CullVisitor& cv, int width, int height, const osg::Vec4& clearColor);

    void resizeGLObjectBuffers(unsigned int maxSize);
    void releaseGLObjects(osg::State* state) const;

protected:
    ~HDRPasses() override;

private:
    struct Pass
    {
        osg::ref_ptr<osg::Camera> camera;
        osg::ref_ptr<osg::Geometry> quad;
    };

    void createTextures();
    void createScenePass(osg::Group* subtreeRoot);
    void createPostPasses();
    void resize(int width, int height);
    void setSceneMipmaps(bool on);
    void updateSceneView(osgUtil::CullVisitor& cv);
    void updateUniforms();

    osg::observer_ptr<osg::Group> m_subtreeRoot;
    Parameters m_parameters;
    int m_width = 0;
    int m_height = 0;
    bool m_sceneMipmaps = false;

    osg::ref_ptr<osg::Texture2D> m_sceneColor;
    osg::ref_ptr<osg::Texture2D> m_sceneDepth;
    osg::ref_ptr<osg::Texture2D> m_occlusion;
    // Horizontally blurred, then blurred both ways.
    std::array<osg::ref_ptr<osg::Texture2D>, 2> m_bloom;

    osg::ref_ptr<osg::Camera> m_sceneCamera;
    Pass m_occlusionPass;
    std::array<Pass, 2> m_blurPasses;
    osg::ref_ptr<osg::Geometry> m_combine;

    double m_subtreeRadius = 0.0;
    osg::ref_ptr<osg::Uniform> m_projection;
    osg::ref_ptr<osg::Uniform> m_inverseProjection;
    osg::ref_ptr<osg::Uniform> m_occlusionRadius;
    osg::ref_ptr<osg::Uniform> m_occlusionTexel;
    std::array<osg::ref_ptr<osg::Uniform>, 2> m_blurStep;
    std::array<osg::ref_ptr<osg::Uniform>, 2> m_blurSigma;
    osg::ref_ptr<osg::Uniform> m_exposure;
    osg::ref_ptr<osg::Uniform> m_gamma;
    osg::ref_ptr<osg::Uniform> m_effectAmount;
    osg::ref_ptr<osg::Uniform> m_useOcclusion;
    osg::ref_ptr<osg::Uniform> m_useBloom;
    osg::ref_ptr<osg::Uniform> m_combineBlend;
    osg::ref_ptr<osg::Uniform> m_absColor;
};

} // namespace OSG
