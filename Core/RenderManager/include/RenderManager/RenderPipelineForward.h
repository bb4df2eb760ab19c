#pragma once

#include "EventSystem/EventHandler.h"
#include "RenderManager/RenderPipeline.h"

#include <QObject>

class EventSystem;
namespace OSG {
class ForwardStage;
}

// Draws the scene in one forward pass with the pipeline's background. As an event handler it
// claims every model event (type 16) it is offered, so later handlers do not see them.
class ZEL_API RenderPipelineForward : public QObject, public RenderPipeline, public EventHandler
{
    Q_OBJECT

public:
    class ZEL_API Settings : public IRenderPipelineSettings
    {};

    RenderPipelineForward(IKernel* host, EventSystem* eventSystem,
                          osg::ref_ptr<osg::Node> sceneRoot,
                          osg::ref_ptr<osg::Object> auxiliaryContainer,
                          osg::ref_ptr<OSG::Background> background);
    ~RenderPipelineForward() override;

    bool init() override;

    const std::string& getName() const override { return RenderPipeline::getName(); }
    void setBackground(osg::ref_ptr<OSG::Background> background) override;
    // Keeps the container given at construction.
    void setAuxiliaryContainer(osg::ref_ptr<osg::Object> container) override;
    void setRenderTarget(OSG::RenderTarget* target) override;
    osg::ref_ptr<OSG::RenderTarget> getRenderTarget() override;
    void applyRenderParameters(const RenderParameters& parameters) override;

    bool handleEvent(Event& event) override;

public slots:
    // Accepted for the settings dialogs of viewers; shadows are not drawn by this pipeline.
    void setShadowMode(int shadowMode);
    void setShadowMapSize(int shadowMapSize);
    void setGlobalShadowIntensity(double globalShadowIntensity);
    void setOffsetBias(double offsetBias);
    void setOffsetFactor(double offsetFactor);
    void setShadowSmoothnes(double shadowSmoothness);

private:
    osg::ref_ptr<OSG::ForwardStage> m_stage;
    Settings m_settings;
};
