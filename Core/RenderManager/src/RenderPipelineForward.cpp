#include "RenderManager/RenderPipelineForward.h"

#include "EventSystem/Event.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ForwardStage.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OSGZELCoreFieldContainers/VisitSubTree.h"

RenderPipelineForward::RenderPipelineForward(IKernel* host, EventSystem* eventSystem,
                                             osg::ref_ptr<osg::Node> sceneRoot,
                                             osg::ref_ptr<osg::Object> auxiliaryContainer,
                                             osg::ref_ptr<OSG::Background> background)
    : RenderPipeline(host, std::move(sceneRoot), std::move(auxiliaryContainer),
                     std::move(background), "RenderPipelineForward"),
      EventHandler(eventSystem, "RenderPipelineForward", EventType::Model)
{
    RenderPipelineForward::init();
    createNameLabel();
}

RenderPipelineForward::~RenderPipelineForward()
{
    m_stage = nullptr;
}

bool RenderPipelineForward::init()
{
    setEnabled(true);
    if (!RenderPipeline::init() || !getSceneRoot())
        return false;
    m_stage = new OSG::ForwardStage;
    m_stage->setBackground(getBackground().get());
    m_stage->addChild(getVisitNode().get());
    setRootNode(m_stage.get());
    return true;
}

void RenderPipelineForward::setBackground(osg::ref_ptr<OSG::Background> background)
{
    RenderPipeline::setBackground(background);
    if (m_stage)
        m_stage->setBackground(background.get());
}

void RenderPipelineForward::setAuxiliaryContainer(osg::ref_ptr<osg::Object>) {}

void RenderPipelineForward::setRenderTarget(OSG::RenderTarget* target)
{
    if (m_stage)
        m_stage->setRenderTarget(target);
}

osg::ref_ptr<OSG::RenderTarget> RenderPipelineForward::getRenderTarget()
{
    return m_stage ? m_stage->getRenderTarget() : nullptr;
}

void RenderPipelineForward::applyRenderParameters(const RenderParameters&) {}

bool RenderPipelineForward::handleEvent(Event&)
{
    return true;
}

void RenderPipelineForward::setShadowMode(int) {}

void RenderPipelineForward::setShadowMapSize(int) {}

void RenderPipelineForward::setGlobalShadowIntensity(double) {}

void RenderPipelineForward::setOffsetBias(double) {}

void RenderPipelineForward::setOffsetFactor(double) {}

void RenderPipelineForward::setShadowSmoothnes(double) {}
