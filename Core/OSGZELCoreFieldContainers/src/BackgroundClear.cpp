#include "BackgroundClear.h"

#include <osg/ColorMask>
#include <osg/Depth>
#include <osg/RenderInfo>
#include <osg/State>
#include <osg/Viewport>

namespace OSG {

namespace {

// Lower than any bin a scene uses, so the clear comes first in its render stage.
constexpr int ClearRenderBin = -100000;

} // namespace

BackgroundClear::BackgroundClear()
{
    setCullingActive(false);
    setSupportsDisplayList(false);
    setUseDisplayList(false);
    setDataVariance(osg::Object::DYNAMIC);

    osg::StateSet* stateSet = getOrCreateStateSet();
    stateSet->setRenderBinDetails(ClearRenderBin, "RenderBin");
    // glClear honours the write masks: make sure every buffer can be written.
    stateSet->setAttribute(new osg::Depth(osg::Depth::LESS, 0.0, 1.0, true));
    stateSet->setAttribute(new osg::ColorMask(true, true, true, true));
}

BackgroundClear::BackgroundClear(const BackgroundClear& other, const osg::CopyOp& copyOp)
    : osg::Drawable(other, copyOp), m_background(other.m_background)
{}

BackgroundClear::~BackgroundClear() = default;

void BackgroundClear::drawImplementation(osg::RenderInfo& renderInfo) const
{
    const GLbitfield mask = m_background ? m_background->getClearMask() : GL_DEPTH_BUFFER_BIT;
    if (mask == 0)
        return;
    if (m_background) {
        const osg::Vec4& color = m_background->getClearColor();
        glClearColor(color.r(), color.g(), color.b(), color.a());
    }
    glClearDepth(1.0);

    // glClear ignores the viewport; confine it to the viewport the stage draws in.
    const osg::Viewport* viewport = renderInfo.getState()->getCurrentViewport();
    const GLboolean scissorWasOn = glIsEnabled(GL_SCISSOR_TEST);
    if (viewport) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(static_cast<GLint>(viewport->x()), static_cast<GLint>(viewport->y()),
                  static_cast<GLsizei>(viewport->width()),
                  static_cast<GLsizei>(viewport->height()));
    }
    glClear(mask);
    if (viewport && !scissorWasOn)
        glDisable(GL_SCISSOR_TEST);
}

} // namespace OSG
