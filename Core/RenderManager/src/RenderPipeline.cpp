#include "RenderManager/RenderPipeline.h"

#include "Logger/Log.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/VisitSubTree.h"

#include <QApplication>
#include <QLabel>

RenderPipeline::RenderPipeline(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                               osg::ref_ptr<osg::Object> auxiliaryContainer,
                               osg::ref_ptr<OSG::Background> background, const std::string& name)
    : m_host(host), m_sceneRoot(std::move(sceneRoot)),
      m_auxiliaryContainer(std::move(auxiliaryContainer)), m_background(std::move(background)),
      m_name(name)
{
    RenderPipeline::init();
}

RenderPipeline::~RenderPipeline()
{
    m_settingsWidget.reset();
    m_ownNameLabel.reset();
    if (m_releaseTraversalMask)
        m_releaseTraversalMask(m_traversalMask);
}

bool RenderPipeline::init()
{
    if (!m_sceneRoot)
        return false;
    m_visitNode = new OSG::VisitSubTree;
    m_visitNode->setSubTreeRoot(m_sceneRoot.get());
    return true;
}

void RenderPipeline::setName(const std::string& name)
{
    m_name = name;
    if (m_nameLabel)
        m_nameLabel->setText(QString::fromStdString(name));
}

const std::string& RenderPipeline::getName() const
{
    return m_name;
}

osg::ref_ptr<osg::Node> RenderPipeline::getRootNode()
{
    return m_rootNode;
}

void RenderPipeline::setSceneRoot(osg::ref_ptr<osg::Node> root)
{
    if (!m_visitNode)
        return;
    m_sceneRoot = std::move(root);
    m_visitNode->setSubTreeRoot(m_sceneRoot.get());
}

QWidget* RenderPipeline::getSettingsWidget()
{
    return m_settingsWidget.get();
}

void RenderPipeline::setAuxiliaryContainer(osg::ref_ptr<osg::Object> container)
{
    m_auxiliaryContainer = std::move(container);
}

osg::ref_ptr<osg::Object> RenderPipeline::getAuxiliaryContainer()
{
    return m_auxiliaryContainer;
}

void RenderPipeline::setBackground(osg::ref_ptr<OSG::Background> background)
{
    m_background = std::move(background);
}

osg::ref_ptr<OSG::Background> RenderPipeline::getBackground()
{
    return m_background;
}

void RenderPipeline::registerRenderBuffer(const std::string& name, osg::ref_ptr<osg::Object> buffer)
{
    if (!buffer) {
        m_renderBuffers.erase(name);
        return;
    }
    auto [entry, inserted] = m_renderBuffers.emplace(name, buffer);
    if (!inserted) {
        ZEL_WARN << "Replacing " << name << "\n";
        entry->second = std::move(buffer);
    }
}

osg::ref_ptr<osg::Object> RenderPipeline::getRenderBuffer(const std::string&)
{
    return nullptr;
}

void RenderPipeline::setEnabled(bool enabled)
{
    m_enabled = enabled;
}

void RenderPipeline::printRenderBuffers()
{
    if (m_renderBuffers.empty()) {
        ZEL_INFO << "No renderbufers registered\n";
        return;
    }
    for (const auto& [name, buffer] : m_renderBuffers)
        ZEL_INFO << name << " : " << static_cast<const void*>(buffer.get()) << "\n";
}

void RenderPipeline::setTraversalMask(std::uint32_t mask, TraversalMaskReleaseCallback release)
{
    m_traversalMask = mask;
    if (m_visitNode) {
        m_visitNode->setTraversalMaskMode(OSG::VisitSubTree::VisitorAndSubTreeMask);
        m_visitNode->setSubTreeTraversalMask(mask);
    }
    if (release)
        m_releaseTraversalMask = std::move(release);
}

std::uint32_t RenderPipeline::getTraversalMask() const
{
    return m_traversalMask;
}

osg::ref_ptr<osg::Node> RenderPipeline::getSceneRoot() const
{
    return m_sceneRoot;
}

osg::ref_ptr<OSG::VisitSubTree> RenderPipeline::getVisitNode() const
{
    return m_visitNode;
}

void RenderPipeline::setRootNode(osg::ref_ptr<osg::Node> root)
{
    m_rootNode = std::move(root);
}

void RenderPipeline::setSettingsWidget(std::unique_ptr<QWidget> widget)
{
    m_settingsWidget = std::move(widget);
}

void RenderPipeline::createNameLabel()
{
    // A widget without a widget application would end the process.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    auto label = std::make_unique<QLabel>(QString::fromStdString(m_name), m_settingsWidget.get());
    m_nameLabel = label.get();
    if (m_settingsWidget)
        label.release(); // owned by the settings widget
    else
        m_ownNameLabel = std::move(label);
}
