#include "OSGZELCoreFieldContainers/RenderTarget.h"

#include <osg/Image>
#include <osg/Texture>

namespace OSG {

RenderTarget::RenderTarget() : RenderTarget(0, 0) {}

RenderTarget::RenderTarget(int width, int height) : m_width(width), m_height(height) {}

RenderTarget::RenderTarget(const RenderTarget& other, const osg::CopyOp& copyOp)
    : osg::Object(other, copyOp), m_width(other.m_width), m_height(other.m_height),
      m_attachments(other.m_attachments)
{}

RenderTarget::~RenderTarget() = default;

void RenderTarget::setSize(int width, int height)
{
    m_width = width;
    m_height = height;
}

void RenderTarget::attach(osg::Camera::BufferComponent buffer, osg::Texture* texture)
{
    m_attachments[buffer] = Attachment{texture, nullptr};
}

void RenderTarget::attach(osg::Camera::BufferComponent buffer, osg::Image* image)
{
    m_attachments[buffer] = Attachment{nullptr, image};
}

void RenderTarget::detach(osg::Camera::BufferComponent buffer)
{
    m_attachments.erase(buffer);
}

} // namespace OSG
