#pragma once

#include "ZelApi.h"

#include <map>
#include <osg/Camera>
#include <osg/Object>

namespace OSG {

// The frame buffer object a stage draws into: its size and what is attached to which buffer.
// A stage takes the attachments over when the target is set; set it again after changing it.
class ZEL_API RenderTarget : public osg::Object
{
public:
    struct Attachment
    {
        osg::ref_ptr<osg::Texture> texture;
        osg::ref_ptr<osg::Image> image;
    };
    using Attachments = std::map<osg::Camera::BufferComponent, Attachment>;

    RenderTarget();
    RenderTarget(int width, int height);
    RenderTarget(const RenderTarget& other, const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Object(OSG, RenderTarget)

        void setSize(int width, int height);
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }

    // One attachment per buffer: a later one replaces the earlier.
    void attach(osg::Camera::BufferComponent buffer, osg::Texture* texture);
    void attach(osg::Camera::BufferComponent buffer, osg::Image* image);
    void detach(osg::Camera::BufferComponent buffer);
    const Attachments& getAttachments() const { return m_attachments; }

protected:
    ~RenderTarget() override;

private:
    int m_width;
    int m_height;
    Attachments m_attachments;
};

} // namespace OSG
