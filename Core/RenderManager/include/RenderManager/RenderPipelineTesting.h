#pragma once

#include "RenderManager/RenderPipeline.h"

namespace OSG {
class TestingStage;
}

// The smallest complete pipeline: a testing stage above the visit of the scene.
class ZEL_API RenderPipelineTesting : public RenderPipeline
{
public:
    class ZEL_API Settings : public RenderPipeline::RenderPipelineSettings
    {};

    RenderPipelineTesting(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                          osg::ref_ptr<osg::Object> auxiliaryContainer,
                          osg::ref_ptr<OSG::Background> background);
    ~RenderPipelineTesting() override;

    bool init() override;

    void setRenderTarget(OSG::RenderTarget* target) override;
    osg::ref_ptr<OSG::RenderTarget> getRenderTarget() override;
    void applyRenderParameters(const RenderParameters& parameters) override;

private:
    osg::ref_ptr<OSG::TestingStage> m_stage;
    Settings m_settings;
};
