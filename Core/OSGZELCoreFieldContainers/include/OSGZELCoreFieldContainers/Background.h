#pragma once

#include "ZelApi.h"

#include <osg/GL>
#include <osg/Object>
#include <osg/Vec4>

namespace OSG {

// What a stage fills its target with before it draws: a clear colour and the buffers to clear.
// Stages read it on every frame, so a change shows on the next frame.
class ZEL_API Background : public osg::Object
{
public:
    Background();
    explicit Background(const osg::Vec4& clearColor,
                        GLbitfield clearMask = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Background(const Background& other, const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Object(OSG, Background)

        void setClearColor(const osg::Vec4& color)
    {
        m_clearColor = color;
    }
    const osg::Vec4& getClearColor() const { return m_clearColor; }

    void setClearMask(GLbitfield mask) { m_clearMask = mask; }
    GLbitfield getClearMask() const { return m_clearMask; }

protected:
    ~Background() override;

private:
    osg::Vec4 m_clearColor;
    GLbitfield m_clearMask;
};

} // namespace OSG
