#include "OSGZELCoreFieldContainers/HDRWithPostprocessingStage.h"

#include "HDRPasses.h"
#include "HDRShaderSet.h"
#include "Logger/Log.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"

#include <osg/GraphicsContext>
#include <osgUtil/CullVisitor>
#include <utility>

namespace OSG {

HDRWithPostprocessingStage::HDRWithPostprocessingStage() : m_passes(new HDRPasses(this)) {}

HDRWithPostprocessingStage::HDRWithPostprocessingStage(const HDRWithPostprocessingStage& other,
                                                       const osg::CopyOp& copyOp)
    : Stage(other, copyOp), m_passes(new HDRPasses(this))
{
    m_passes->parameters() = other.m_passes->parameters();
    if (!other.m_shaderPath.empty())
        setShaderPath(other.m_shaderPath);
}

HDRWithPostprocessingStage::~HDRWithPostprocessingStage() = default;

void HDRWithPostprocessingStage::setShaderPath(const std::string& path)
{
    m_shaderPath = path;
    m_shaders = new HDRShaderSet;
    if (m_shaders->load(path))
        m_passes->setPrograms(*m_shaders);
}

void HDRWithPostprocessingStage::setEffectAmount(float amount)
{
    m_passes->parameters().effectAmount = amount;
}

float HDRWithPostprocessingStage::getEffectAmount() const
{
    return m_passes->parameters().effectAmount;
}

void HDRWithPostprocessingStage::setExposure(float exposure)
{
    m_passes->parameters().exposure = exposure;
}

float HDRWithPostprocessingStage::getExposure() const
{
    return m_passes->parameters().exposure;
}

void HDRWithPostprocessingStage::setGamma(float gamma)
{
    m_passes->parameters().gamma = gamma;
}

float HDRWithPostprocessingStage::getGamma() const
{
    return m_passes->parameters().gamma;
}

void HDRWithPostprocessingStage::setBlurAmount(float amount)
{
    m_passes->parameters().blurAmount = amount;
}

float HDRWithPostprocessingStage::getBlurAmount() const
{
    return m_passes->parameters().blurAmount;
}

void HDRWithPostprocessingStage::setAmbientOcclusionRadius(float radius)
{
    m_passes->parameters().ambientOcclusionRadius = radius;
}

float HDRWithPostprocessingStage::getAmbientOcclusionRadius() const
{
    return m_passes->parameters().ambientOcclusionRadius;
}

void HDRWithPostprocessingStage::setCombineBlend(bool on)
{
    m_passes->parameters().combineBlend = on;
}

bool HDRWithPostprocessingStage::getCombineBlend() const
{
    return m_passes->parameters().combineBlend;
}

void HDRWithPostprocessingStage::setAmbientOcclusion(bool on)
{
    m_passes->parameters().ambientOcclusion = on;
}

bool HDRWithPostprocessingStage::getAmbientOcclusion() const
{
    return m_passes->parameters().ambientOcclusion;
}

void HDRWithPostprocessingStage::setAbsColor(bool on)
{
    m_passes->parameters().absColor = on;
}

bool HDRWithPostprocessingStage::getAbsColor() const
{
    return m_passes->parameters().absColor;
}

bool HDRWithPostprocessingStage::isPostProcessing() const
{
    return m_shaders && m_shaders->status() == HDRShaderSet::Status::Usable;
}

void HDRWithPostprocessingStage::traverse(osg::NodeVisitor& nv)
{
    auto* cv = nv.asCullVisitor();
    if (!cv || !shadersUsable(*cv)) {
        Stage::traverse(nv);
        return;
    }

    const osg::Viewport* viewport = cv->getViewport();
    int width = viewport ? static_cast<int>(viewport->width()) : 0;
    int height = viewport ? static_cast<int>(viewport->height()) : 0;
    if (RenderTarget* target = getRenderTarget()) {
        width = target->getWidth();
        height = target->getHeight();
    }
    // Without a background nothing is there: the target keeps its own colour.
    osg::Vec4 clearColor(0.0f, 0.0f, 0.0f, 0.0f);
    if (Background* background = getBackground();
        background && (background->getClearMask() & GL_COLOR_BUFFER_BIT))
        clearColor = background->getClearColor();
    m_passes->cull(*cv, width, height, clearColor);
}

bool HDRWithPostprocessingStage::shadersUsable(osgUtil::CullVisitor& cv)
{
    if (!m_shaders || m_shaders->status() == HDRShaderSet::Status::Unread) {
        if (!std::exchange(m_reportedNoShaders, true))
            ZEL_WARN << "HDRWithPostprocessingStage: No shaders" << (m_shaders ? " read" : " set")
                     << "; drawing without post-processing.\n";
        return false;
    }
    if (m_shaders->status() != HDRShaderSet::Status::Unchecked)
        return m_shaders->status() == HDRShaderSet::Status::Usable;
    // Compiling needs the context, which is current here when culling and drawing share the
    // thread (as in Zelvista's viewers); otherwise the check waits for such a frame.
    osg::State* state = cv.getState();
    const osg::GraphicsContext* context = state ? state->getGraphicsContext() : nullptr;
    if (!context || !context->isCurrent())
        return false;
    return m_shaders->check(*state);
}

void HDRWithPostprocessingStage::resizeGLObjectBuffers(unsigned int maxSize)
{
    Stage::resizeGLObjectBuffers(maxSize);
    m_passes->resizeGLObjectBuffers(maxSize);
}

void HDRWithPostprocessingStage::releaseGLObjects(osg::State* state) const
{
    Stage::releaseGLObjects(state);
    m_passes->releaseGLObjects(state);
}

} // namespace OSG
