#pragma once

#include "RenderManager/RenderPipeline.h"

#include <QObject>
#include <string>

class ShadowStage;
namespace OSG {
class HDRWithPostprocessingStage;
}

// Draws the scene through an HDR stage: exposure, gamma, bloom, ambient occlusion and an
// absolute-colour switch, changed live from its settings dialog. Below the stage a shadow stage
// draws the scene with shadows of the scene's lights while ambient occlusion is on; its lights
// are collected from the scene whenever ambient occlusion is switched.
class ZEL_API RenderPipelineHDR : public QObject, public RenderPipeline
{
    Q_OBJECT

public:
    class ZEL_API Settings : public IRenderPipelineSettings
    {
    public:
        Settings();
        Settings(std::string shaderPath, float gamma, float effectAmount, float exposure,
                 float blurAmount, float ambientOcclusionRadius, bool combineBlend,
                 bool ambientOcclusion, bool absColor);

        void setShaderPath(const std::string& path) { m_shaderPath = path; }
        const std::string& getShaderPath() const { return m_shaderPath; }
        void setGamma(float gamma) { m_gamma = gamma; }
        float getGamma() const { return m_gamma; }
        void setEffectAmount(float amount) { m_effectAmount = amount; }
        float getEffectAmount() const { return m_effectAmount; }
        void setExposure(float exposure) { m_exposure = exposure; }
        float getExposure() const { return m_exposure; }
        void setBlurAmount(float amount) { m_blurAmount = amount; }
        float getBlurAmount() const { return m_blurAmount; }
        void setAmbientOcclusionRadius(float radius) { m_ambientOcclusionRadius = radius; }
        float getAmbientOcclusionRadius() const { return m_ambientOcclusionRadius; }
        void setCombineBlend(bool on) { m_combineBlend = on; }
        bool getCombineBlend() const { return m_combineBlend; }
        void setAmbientOcclusion(bool on) { m_ambientOcclusion = on; }
        bool getAmbientOcclusion() const { return m_ambientOcclusion; }
        void setAbsColor(bool on) { m_absColor = on; }
        bool getAbsColor() const { return m_absColor; }

    private:
        std::string m_shaderPath;
        float m_gamma;
        float m_effectAmount;
        float m_exposure;
        float m_blurAmount;
        float m_ambientOcclusionRadius;
        bool m_combineBlend;
        bool m_ambientOcclusion;
        bool m_absColor;
    };

    RenderPipelineHDR(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                      osg::ref_ptr<osg::Object> auxiliaryContainer,
                      osg::ref_ptr<OSG::Background> background);
    RenderPipelineHDR(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                      osg::ref_ptr<osg::Object> auxiliaryContainer,
                      osg::ref_ptr<OSG::Background> background, const Settings& settings);
    ~RenderPipelineHDR() override;

    bool init() override;

    // The stage clears with the background, as the forward pipeline's does.
    void setBackground(osg::ref_ptr<OSG::Background> background) override;
    void setRenderTarget(OSG::RenderTarget* target) override;
    osg::ref_ptr<OSG::RenderTarget> getRenderTarget() override;
    void applyRenderParameters(const RenderParameters& parameters) override;

    const Settings& getSettings() const { return m_settings; }
    OSG::HDRWithPostprocessingStage* getStage() const { return m_stage.get(); }
    ShadowStage* getShadowStage() const { return m_shadowStage.get(); }

    // The light-collecting traversal's visit of a node: hands point and directional lights to
    // the shadow stage. Returns true: the traversal goes on below the node.
    bool enter(osg::Node* node);

public slots:
    void setEffectAmount(double effecAmount);
    void setExposure(double exposure);
    void setGamma(double gamma);
    void setBlurAmount(double blurAmount);
    void setCombineBlend(int combineBlend);
    void setAmbientOcclusion(int ambientOcclusion);
    void setAmbientOcclusionRadius(double radius);
    void setAbsColor(int absColor);

private:
    void createDefaultSettings();
    void createSettingsWidget();
    void collectLights();

    osg::ref_ptr<OSG::HDRWithPostprocessingStage> m_stage;
    osg::ref_ptr<ShadowStage> m_shadowStage;
    Settings m_settings;
};
