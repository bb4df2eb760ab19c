#pragma once

#include "RenderManager/IRenderPipelineColorMapping.h"
#include "RenderManager/RenderPipeline.h"

#include <QObject>
#include <memory>
#include <string>
#include <vector>

class EventSystem;
namespace osg {
class Texture2D;
}
namespace OSG {
class ColorMappingStage;
}

// Colours the scene by one component of one vertex attribute through one of 18 colour maps, with
// a settings dialog, and exports what it shows: a point stream to the web server plug-in (once or
// every 50 ms while a page asks), a LAS point cloud through a writer plug-in, and three TIFF
// images. Exports go to the temporary folder (TEMP, TMP, TMPDIR, else /tmp).
class ZEL_API RenderPipelineColorMapping : public QObject,
                                           public RenderPipeline,
                                           public IRenderPipelineColorMapping
{
    Q_OBJECT

public:
    class ZEL_API Settings : public IRenderPipelineSettings
    {
    public:
        virtual void setShaderPath(const std::string& path) { m_shaderPath = path; }
        virtual const std::string& getShaderPath() const { return m_shaderPath; }

    private:
        std::string m_shaderPath = ".";
    };

    // The event system receives the capture event (model event kind 5) of each export.
    RenderPipelineColorMapping(IKernel* host, EventSystem* eventSystem,
                               osg::ref_ptr<osg::Node> sceneRoot,
                               osg::ref_ptr<osg::Object> auxiliaryContainer,
                               osg::ref_ptr<OSG::Background> background);
    RenderPipelineColorMapping(IKernel* host, EventSystem* eventSystem, const Settings& settings,
                               osg::ref_ptr<osg::Node> sceneRoot,
                               osg::ref_ptr<osg::Object> auxiliaryContainer,
                               osg::ref_ptr<OSG::Background> background);
    ~RenderPipelineColorMapping() override;

    bool init() override;

    // The stage clears with the background, as the forward pipeline's does.
    void setBackground(osg::ref_ptr<OSG::Background> background) override;
    void setRenderTarget(OSG::RenderTarget* target) override;
    osg::ref_ptr<OSG::RenderTarget> getRenderTarget() override;
    // Kind 256 only: the range when it has one, the colour map when it has one.
    void applyRenderParameters(const RenderParameters& parameters) override;
    void registerRenderBuffer(const std::string& name, osg::ref_ptr<osg::Object> buffer) override;

    void exportStream() override;
    void startStreamTimer() override;
    void setStreamRequested(bool requested) override;
    bool isStreamRequested() const override;

    OSG::ColorMappingStage* getStage() const;
    osg::Texture2D* getColorMapTexture() const;
    const Settings& getSettings() const { return m_settings; }
    // Where the exports are written.
    static std::string exportFolder();

public slots:
    void setUpdateGBuffer(int state);
    void doColorMappingPass(int state);
    void doFinalRenderingPass(int state);
    void setExportStream();
    void setExportLAS();
    void setExportTIF();
    void selectColorMappedAttribute(int attribute) override;
    void selectColorMappedComponent(int component) override;
    void minMaxValuesChanged();

protected:
    // Writes a line for every event; handles the web server's, passes the others on.
    bool event(QEvent* event) override;

private:
    struct Dialog;

    void construct();
    void createDefaultSettings();
    void createSettingsWidget();
    void applyRange(float minimum, float maximum, bool banding, std::uint32_t bandCount);
    void applyColorMap(std::uint32_t index);
    // Renders a frame with read-back on; false, after logging, when none was drawn.
    bool captureFrame(const char* operation);

    EventSystem* m_eventSystem;
    osg::ref_ptr<OSG::ColorMappingStage> m_stage;
    Settings m_settings;
    osg::ref_ptr<osg::Texture2D> m_colorMapTexture;
    std::vector<std::string> m_attributeNames;
    std::unique_ptr<Dialog> m_dialog;
    bool m_streamRequested = false;
};
