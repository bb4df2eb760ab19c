#include "RenderManager/RenderManager.h"

#include "Logger/Log.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "RenderManager/RenderPipelineColorMapping.h"
#include "RenderManager/RenderPipelineForward.h"
#include "RenderManager/RenderPipelineHDR.h"
#include "RenderManager/RenderPipelineTesting.h"

#include <cstdlib>
#include <osg/Node>

namespace {

template <typename Pipeline>
std::unique_ptr<IRenderPipeline>
makePipeline(IKernel* host, EventSystem*, osg::ref_ptr<osg::Node> sceneRoot,
             osg::ref_ptr<osg::Object> auxiliaryContainer, osg::ref_ptr<OSG::Background> background)
{
    return std::make_unique<Pipeline>(host, std::move(sceneRoot), std::move(auxiliaryContainer),
                                      std::move(background));
}

std::unique_ptr<IRenderPipeline> makeForwardPipeline(IKernel* host, EventSystem* eventSystem,
                                                     osg::ref_ptr<osg::Node> sceneRoot,
                                                     osg::ref_ptr<osg::Object> auxiliaryContainer,
                                                     osg::ref_ptr<OSG::Background> background)
{
    return std::make_unique<RenderPipelineForward>(host, eventSystem, std::move(sceneRoot),
                                                   std::move(auxiliaryContainer),
                                                   std::move(background));
}

std::unique_ptr<IRenderPipeline>
makeColorMappingPipeline(IKernel* host, EventSystem* eventSystem, osg::ref_ptr<osg::Node> sceneRoot,
                         osg::ref_ptr<osg::Object> auxiliaryContainer,
                         osg::ref_ptr<OSG::Background> background)
{
    return std::make_unique<RenderPipelineColorMapping>(host, eventSystem, std::move(sceneRoot),
                                                        std::move(auxiliaryContainer),
                                                        std::move(background));
}

} // namespace

RenderManager::RenderManager(EventSystem* eventSystem)
    : m_eventSystem(eventSystem), m_lifetime(std::make_shared<char>())
{
    registerRenderPipelineFactory("FORWARD", makeForwardPipeline);
    registerRenderPipelineFactory("HDR", makePipeline<RenderPipelineHDR>);
    registerRenderPipelineFactory("COLOR_MAPPING", makeColorMappingPipeline);
    registerRenderPipelineFactory("TESTING", makePipeline<RenderPipelineTesting>);
}

RenderManager::~RenderManager() = default;

bool RenderManager::registerRenderPipelineFactory(const std::string& mode,
                                                  RenderPipelineFactory factory)
{
    return m_factories.emplace(mode, std::move(factory)).second;
}

std::vector<std::string> RenderManager::getRenderPipelineModes() const
{
    std::vector<std::string> modes;
    for (const auto& entry : m_factories)
        modes.push_back(entry.first);
    return modes;
}

std::unique_ptr<IRenderPipeline> RenderManager::createRenderPipeline(
    const std::string& mode, IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
    osg::ref_ptr<osg::Object> auxiliaryContainer, osg::ref_ptr<OSG::Background> background)
{
    const auto factory = m_factories.find(mode);
    if (factory == m_factories.end()) {
        ZEL_ERROR << "RenderManager::createRenderPipeline: Failed to create render pipeline "
                  << mode << "\n";
        std::exit(1);
    }

    std::unique_ptr<IRenderPipeline> pipeline =
        factory->second(host, m_eventSystem, std::move(sceneRoot), std::move(auxiliaryContainer),
                        std::move(background));
    if (!pipeline) {
        ZEL_ERROR << "RenderManager::createRenderPipeline: The factory of mode " << mode
                  << " made no render pipeline\n";
        return nullptr;
    }

    std::weak_ptr<char> lifetime = m_lifetime;
    pipeline->setTraversalMask(allocateTraversalMask(), [this, lifetime](std::uint32_t mask) {
        if (!lifetime.expired())
            releaseTraversalMask(mask);
    });
    ZEL_INFO << "Created new render pipeline for mode " << mode << " with traversal mask "
             << pipeline->getTraversalMask() << "\n";
    return pipeline;
}

void RenderManager::print() const
{
    ZEL_ERROR << "RenderManager::print\n";
}

std::uint32_t RenderManager::allocateTraversalMask()
{
    for (std::size_t bit = 0; bit < m_traversalMasks.size(); ++bit) {
        if (!m_traversalMasks.test(bit)) {
            m_traversalMasks.set(bit);
            return std::uint32_t{1} << bit;
        }
    }
    ZEL_ERROR << "No more free traversal mask available!\n";
    return 0;
}

void RenderManager::releaseTraversalMask(std::uint32_t mask)
{
    if (mask != 0) {
        int bit = 31;
        while (!(mask & (std::uint32_t{1} << bit)))
            --bit;
        m_traversalMasks.reset(static_cast<std::size_t>(bit));
    }
    ZEL_INFO << "Traversal mask " << mask << " deregistered.\n";
}
