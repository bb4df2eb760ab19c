#include "OSGZELCoreFieldContainers/Stage.h"

#include "BackgroundClear.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"

#include <vector>

namespace OSG {

Stage::Stage() : m_clear(new BackgroundClear)
{
    // Inherit view and projection from the camera above.
    setReferenceFrame(osg::Transform::RELATIVE_RF);
    setViewMatrix(osg::Matrix::identity());
    setProjectionMatrix(osg::Matrix::identity());
    // The background clear does the clearing, in both the nested and the own-target case.
    setClearMask(0);
    applyRenderTarget();
}

Stage::Stage(const Stage& other, const osg::CopyOp& copyOp)
    : osg::Camera(other, copyOp), m_renderTarget(other.m_renderTarget),
      m_clear(new BackgroundClear(*other.m_clear))
{
    applyRenderTarget();
}

Stage::~Stage() = default;

void Stage::setRenderTarget(RenderTarget* target)
{
    m_renderTarget = target;
    applyRenderTarget();
}

RenderTarget* Stage::getRenderTarget() const
{
    return m_renderTarget.get();
}

void Stage::setBackground(Background* background)
{
    m_clear->setBackground(background);
}

Background* Stage::getBackground() const
{
    return m_clear->getBackground();
}

void Stage::traverse(osg::NodeVisitor& nv)
{
    cullBackground(nv);
    osg::Camera::traverse(nv);
}

void Stage::cullBackground(osg::NodeVisitor& nv)
{
    if (nv.getVisitorType() == osg::NodeVisitor::CULL_VISITOR)
        m_clear->accept(nv);
}

void Stage::applyRenderTarget()
{
    std::vector<BufferComponent> attached;
    for (const auto& entry : getBufferAttachmentMap())
        attached.push_back(entry.first);
    for (BufferComponent buffer : attached)
        detach(buffer);

    if (!m_renderTarget) {
        setRenderOrder(osg::Camera::NESTED_RENDER);
        setRenderTargetImplementation(osg::Camera::FRAME_BUFFER);
        setViewport(nullptr);
        return;
    }
    setRenderOrder(osg::Camera::PRE_RENDER);
    setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
    setViewport(0, 0, m_renderTarget->getWidth(), m_renderTarget->getHeight());
    for (const auto& [buffer, attachment] : m_renderTarget->getAttachments()) {
        if (attachment.texture)
            attach(buffer, attachment.texture.get());
        else if (attachment.image)
            attach(buffer, attachment.image.get());
    }
    // Attaching does not tell a frame buffer object made earlier that it is out of date.
    dirtyAttachmentMap();
}

} // namespace OSG
