#pragma once

#include "ZelApi.h"

#include <osg/Camera>

namespace OSG {

class Background;
class BackgroundClear;
class RenderTarget;

// Base of the stages: a camera that renders its children into its render target with the view
// and projection of the camera above it. Without a render target it is nested: it draws into
// the target of the camera above it. Before drawing it clears with its background, or only the
// depth buffer when it has none.
class ZEL_API Stage : public osg::Camera
{
public:
    Stage();
    Stage(const Stage& other, const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Node(OSG, Stage)

        // Null makes the stage nested again.
        void setRenderTarget(RenderTarget* target);
    RenderTarget* getRenderTarget() const;

    void traverse(osg::NodeVisitor& nv) override;

protected:
    ~Stage() override;

    void setBackground(Background* background);
    Background* getBackground() const;
    // Puts the background's clear into the frame; for stages that cull their own passes.
    void cullBackground(osg::NodeVisitor& nv);

private:
    void applyRenderTarget();

    osg::ref_ptr<RenderTarget> m_renderTarget;
    osg::ref_ptr<BackgroundClear> m_clear;
};

} // namespace OSG
