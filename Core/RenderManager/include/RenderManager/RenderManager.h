#pragma once

#include "ZelApi.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <osg/ref_ptr>
#include <string>
#include <vector>

class EventSystem;
class IKernel;
class IRenderPipeline;
namespace osg {
class Node;
class Object;
} // namespace osg
namespace OSG {
class Background;
}

// Makes render pipelines by mode name and gives each one a traversal-mask bit of its own, out of
// a pool of 32, which the pipeline hands back when it is destroyed.
class ZEL_API RenderManager
{
public:
    // Builds a pipeline for the host kernel; the event system is the host's.
    using RenderPipelineFactory = std::function<std::unique_ptr<IRenderPipeline>(
        IKernel* host, EventSystem* eventSystem, osg::ref_ptr<osg::Node> sceneRoot,
        osg::ref_ptr<osg::Object> auxiliaryContainer, osg::ref_ptr<OSG::Background> background)>;

    // The event system is handed to the pipelines that take part in event handling.
    explicit RenderManager(EventSystem* eventSystem = nullptr);
    RenderManager(const RenderManager&) = delete;
    RenderManager& operator=(const RenderManager&) = delete;
    ~RenderManager();

    // False, with the table unchanged, when the mode is taken.
    bool registerRenderPipelineFactory(const std::string& mode, RenderPipelineFactory factory);
    std::vector<std::string> getRenderPipelineModes() const;

    // An unknown mode ends the process with status 1.
    std::unique_ptr<IRenderPipeline>
    createRenderPipeline(const std::string& mode, IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                         osg::ref_ptr<osg::Object> auxiliaryContainer,
                         osg::ref_ptr<OSG::Background> background);

    void print() const;

private:
    std::uint32_t allocateTraversalMask();
    void releaseTraversalMask(std::uint32_t mask);

    EventSystem* m_eventSystem;
    std::map<std::string, RenderPipelineFactory> m_factories;
    std::bitset<32> m_traversalMasks;
    // Lets a pipeline that outlives its manager skip the release instead of touching freed memory.
    std::shared_ptr<char> m_lifetime;
};
