#pragma once

#include "RenderManager/IRenderPipeline.h"
#include "RenderManager/IRenderPipelineSettings.h"

#include <QPointer>
#include <map>
#include <memory>

class IKernel;
class QLabel;
namespace OSG {
class VisitSubTree;
}

// What every pipeline shares: the visit of the scene restricted to the pipeline's mask, the
// render buffers, the name and the release of the mask on destruction. Concrete pipelines put
// their stage above the visit node.
class ZEL_API RenderPipeline : public IRenderPipeline
{
public:
    class ZEL_API RenderPipelineSettings : public IRenderPipelineSettings
    {};

    RenderPipeline(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                   osg::ref_ptr<osg::Object> auxiliaryContainer,
                   osg::ref_ptr<OSG::Background> background, const std::string& name);
    RenderPipeline(const RenderPipeline&) = delete;
    RenderPipeline& operator=(const RenderPipeline&) = delete;
    ~RenderPipeline() override;

    void setName(const std::string& name) override;
    const std::string& getName() const override;
    osg::ref_ptr<osg::Node> getRootNode() override;
    void setSceneRoot(osg::ref_ptr<osg::Node> root) override;
    QWidget* getSettingsWidget() override;
    void setAuxiliaryContainer(osg::ref_ptr<osg::Object> container) override;
    osg::ref_ptr<osg::Object> getAuxiliaryContainer() override;
    void setBackground(osg::ref_ptr<OSG::Background> background) override;
    osg::ref_ptr<OSG::Background> getBackground() override;
    void registerRenderBuffer(const std::string& name, osg::ref_ptr<osg::Object> buffer) override;
    osg::ref_ptr<osg::Object> getRenderBuffer(const std::string& name) override;
    void setEnabled(bool enabled) override;
    void printRenderBuffers() override;
    void setTraversalMask(std::uint32_t mask, TraversalMaskReleaseCallback release) override;
    std::uint32_t getTraversalMask() const override;

    // Builds a fresh visit of the scene root; false without a scene root.
    virtual bool init();

protected:
    IKernel* getHost() const { return m_host; }
    osg::ref_ptr<osg::Node> getSceneRoot() const;
    osg::ref_ptr<OSG::VisitSubTree> getVisitNode() const;
    void setRootNode(osg::ref_ptr<osg::Node> root);
    void setSettingsWidget(std::unique_ptr<QWidget> widget);
    // A label showing the name; owned by the pipeline. Needs a widget application.
    void createNameLabel();

private:
    IKernel* m_host;
    osg::ref_ptr<osg::Node> m_rootNode;
    osg::ref_ptr<osg::Node> m_sceneRoot;
    osg::ref_ptr<OSG::VisitSubTree> m_visitNode;
    osg::ref_ptr<osg::Object> m_auxiliaryContainer;
    osg::ref_ptr<OSG::Background> m_background;
    std::unique_ptr<QWidget> m_settingsWidget;
    std::unique_ptr<QLabel> m_ownNameLabel;
    QPointer<QLabel> m_nameLabel;
    std::map<std::string, osg::ref_ptr<osg::Object>> m_renderBuffers;
    bool m_enabled = false;
    std::string m_name;
    std::uint32_t m_traversalMask = 0;
    TraversalMaskReleaseCallback m_releaseTraversalMask;
};
