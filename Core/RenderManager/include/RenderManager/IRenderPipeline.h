#pragma once

#include "ZelApi.h"

#include <cstdint>
#include <functional>
#include <osg/ref_ptr>
#include <string>

class QWidget;
struct RenderParameters;
namespace osg {
class Node;
class Object;
} // namespace osg
namespace OSG {
class Background;
class RenderTarget;
} // namespace OSG

// Gives a pipeline's traversal-mask bit back to the render manager that handed it out.
using TraversalMaskReleaseCallback = std::function<void(std::uint32_t)>;

// A small subgraph that a viewer hangs into its scene: a stage above a visit of the scene,
// restricted to the pipeline's own traversal-mask bit.
class ZEL_API IRenderPipeline
{
public:
    virtual ~IRenderPipeline() = default;

    virtual void setName(const std::string& name) = 0;
    virtual const std::string& getName() const = 0;
    // The stage at the top of the pipeline's subgraph; null when it could not be built.
    virtual osg::ref_ptr<osg::Node> getRootNode() = 0;
    virtual void setSceneRoot(osg::ref_ptr<osg::Node> root) = 0;
    // May be null; owned by the pipeline.
    virtual QWidget* getSettingsWidget() = 0;
    virtual void setAuxiliaryContainer(osg::ref_ptr<osg::Object> container) = 0;
    virtual osg::ref_ptr<osg::Object> getAuxiliaryContainer() = 0;
    virtual void setBackground(osg::ref_ptr<OSG::Background> background) = 0;
    virtual osg::ref_ptr<OSG::Background> getBackground() = 0;
    virtual void setRenderTarget(OSG::RenderTarget* target) = 0;
    virtual osg::ref_ptr<OSG::RenderTarget> getRenderTarget() = 0;
    virtual void applyRenderParameters(const RenderParameters& parameters) = 0;
    virtual void registerRenderBuffer(const std::string& name,
                                      osg::ref_ptr<osg::Object> buffer) = 0;
    virtual osg::ref_ptr<osg::Object> getRenderBuffer(const std::string& name) = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void printRenderBuffers() = 0;
    // The callback runs once, with the mask, when the pipeline is destroyed.
    virtual void setTraversalMask(std::uint32_t mask, TraversalMaskReleaseCallback release) = 0;
    virtual std::uint32_t getTraversalMask() const = 0;
};
