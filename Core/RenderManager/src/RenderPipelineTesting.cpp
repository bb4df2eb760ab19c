#include "RenderManager/RenderPipelineTesting.h"

#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OSGZELCoreFieldContainers/TestingStage.h"
#include "OSGZELCoreFieldContainers/VisitSubTree.h"

RenderPipelineTesting::RenderPipelineTesting(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                                             osg::ref_ptr<osg::Object> auxiliaryContainer,
                                             osg::ref_ptr<OSG::Background> background)
    : RenderPipeline(host, std::move(sceneRoot), auxiliaryContainer, background,
                     "RenderPipelineTesting")
{
    RenderPipelineTesting::init();
    setAuxiliaryContainer(std::move(auxiliaryContainer));
    setBackground(std::move(background));
}

RenderPipelineTesting::~RenderPipelineTesting()
{
    m_stage = nullptr;
}

bool RenderPipelineTesting::init()
{
    setEnabled(true);
    if (!RenderPipeline::init() || !getSceneRoot())
        return false;
    m_stage = new OSG::TestingStage;
    m_stage->addChild(getVisitNode().get());
    setRootNode(m_stage.get());
    return true;
}

void RenderPipelineTesting::setRenderTarget(OSG::RenderTarget* target)
{
    if (m_stage)
        m_stage->setRenderTarget(target);
}

osg::ref_ptr<OSG::RenderTarget> RenderPipelineTesting::getRenderTarget()
{
    return m_stage ? m_stage->getRenderTarget() : nullptr;
}

void RenderPipelineTesting::applyRenderParameters(const RenderParameters&) {}
