#include "RenderManager/RenderPipelineColorMapping.h"

#include "ColorMaps.h"
#include "EventSystem/EventSystem.h"
#include "FrameExport.h"
#include "KernelInterface/IKernel.h"
#include "Logger/Log.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/ColorMappingStage.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OSGZELCoreFieldContainers/VisitSubTree.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/IWriter.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "RenderManager/EventWebServer.h"
#include "RenderManager/IWebServerPlugin.h"
#include "RenderManager/RenderParameters.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <boost/uuid/name_generator_sha1.hpp>
#include <boost/uuid/nil_generator.hpp>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <osg/Texture2D>

namespace {

const char* const componentNames[] = {"x", "y", "z", "w"};
constexpr int StreamInterval = 50;
constexpr double SpinBoxLimit = 10000000000.0;

// The span of a range whose ends coincide: small, so one colour shows, but finite.
float minimumSpan(float minimum)
{
    return std::numeric_limits<float>::epsilon() * std::max(1.0f, std::fabs(minimum));
}

Uuid defaultModelUuid()
{
    return boost::uuids::name_generator_sha1(boost::uuids::nil_uuid())("default");
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

struct RenderPipelineColorMapping::Dialog
{
    QComboBox* attribute = nullptr;
    QComboBox* component = nullptr;
    QDoubleSpinBox* minimum = nullptr;
    QDoubleSpinBox* maximum = nullptr;
    QComboBox* colorMap = nullptr;
    QSpinBox* bands = nullptr;
    QCheckBox* updateGBuffer = nullptr;
    QCheckBox* mapping = nullptr;
    QCheckBox* final = nullptr;
    QTimer* streamTimer = nullptr;
};

RenderPipelineColorMapping::RenderPipelineColorMapping(IKernel* host, EventSystem* eventSystem,
                                                       osg::ref_ptr<osg::Node> sceneRoot,
                                                       osg::ref_ptr<osg::Object> auxiliaryContainer,
                                                       osg::ref_ptr<OSG::Background> background)
    : RenderPipeline(host, std::move(sceneRoot), std::move(auxiliaryContainer),
                     std::move(background), "RenderPipelineColorMapping"),
      m_eventSystem(eventSystem), m_dialog(std::make_unique<Dialog>())
{
    createDefaultSettings();
    construct();
}

RenderPipelineColorMapping::RenderPipelineColorMapping(IKernel* host, EventSystem* eventSystem,
                                                       const Settings& settings,
                                                       osg::ref_ptr<osg::Node> sceneRoot,
                                                       osg::ref_ptr<osg::Object> auxiliaryContainer,
                                                       osg::ref_ptr<OSG::Background> background)
    : RenderPipeline(host, std::move(sceneRoot), std::move(auxiliaryContainer),
                     std::move(background), "RenderPipelineColorMapping"),
      m_eventSystem(eventSystem), m_dialog(std::make_unique<Dialog>())
{
    m_settings.setShaderPath(settings.getShaderPath());
    construct();
}

RenderPipelineColorMapping::~RenderPipelineColorMapping()
{
    // The dialog's controls call our slots: they go while this object is whole.
    if (m_dialog->streamTimer)
        m_dialog->streamTimer->stop();
    setSettingsWidget(nullptr);
}

void RenderPipelineColorMapping::construct()
{
    RenderPipelineColorMapping::init();
    createSettingsWidget();
    applyRenderParameters(RenderParameters(-1.0f, 1.0f, false, 0u));
    applyRenderParameters(RenderParameters(std::uint32_t(ColorMaps::Default)));
}

void RenderPipelineColorMapping::createDefaultSettings()
{
    if (IKernel* host = getHost())
        m_settings.setShaderPath(host->getApplicationDir() + "/../Media/shader/");
}

bool RenderPipelineColorMapping::init()
{
    const bool visiting = RenderPipeline::init();
    m_stage = new OSG::ColorMappingStage;

    osg::ref_ptr<osg::Image> placeholder = new osg::Image;
    placeholder->allocateImage(32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    for (int i = 0; i < 32; ++i) {
        unsigned char* texel = placeholder->data(i, 0);
        texel[0] = texel[1] = texel[2] = 255;
        texel[3] = 1;
    }
    m_colorMapTexture = new osg::Texture2D(placeholder.get());

    m_stage->setShaderPath(m_settings.getShaderPath());
    m_stage->setBackground(getBackground().get());
    m_stage->setColorMapTexture(m_colorMapTexture.get());
    if (osg::ref_ptr<OSG::VisitSubTree> visit = getVisitNode())
        m_stage->addChild(visit.get());
    setRootNode(m_stage.get());
    m_streamRequested = false;
    return visiting;
}

OSG::ColorMappingStage* RenderPipelineColorMapping::getStage() const
{
    return m_stage.get();
}

osg::Texture2D* RenderPipelineColorMapping::getColorMapTexture() const
{
    return m_colorMapTexture.get();
}

void RenderPipelineColorMapping::setBackground(osg::ref_ptr<OSG::Background> background)
{
    RenderPipeline::setBackground(background);
    if (m_stage)
        m_stage->setBackground(background.get());
}

void RenderPipelineColorMapping::setRenderTarget(OSG::RenderTarget* target)
{
    m_stage->setRenderTarget(target);
}

osg::ref_ptr<OSG::RenderTarget> RenderPipelineColorMapping::getRenderTarget()
{
    return m_stage->getRenderTarget();
}

void RenderPipelineColorMapping::registerRenderBuffer(const std::string& name,
                                                      osg::ref_ptr<osg::Object> buffer)
{
    RenderPipeline::registerRenderBuffer(name, std::move(buffer));
}

void RenderPipelineColorMapping::applyRenderParameters(const RenderParameters& parameters)
{
    if (parameters.kind != RenderParameters::ColorMappingKind)
        return;
    if (parameters.hasRange)
        applyRange(parameters.minimum, parameters.maximum, parameters.banding,
                   parameters.bandCount);
    if (parameters.hasColorMap)
        applyColorMap(parameters.colorMap);
}

void RenderPipelineColorMapping::applyRange(float minimum, float maximum, bool banding,
                                            std::uint32_t bandCount)
{
    if (!std::isfinite(minimum) || !std::isfinite(maximum)) {
        ZEL_WARN << "RenderPipelineColorMapping::applyRange: The range " << minimum << " to "
                 << maximum << " is not finite; the range stays\n";
        return;
    }
    const float span = std::max(std::fabs(maximum - minimum), minimumSpan(minimum));
    m_stage->setColorMappingMin(minimum);
    m_stage->setInvColorMappingSpan(1.0f / span);
    m_stage->setColorMappingBanding(banding);
    if (banding && bandCount > 0)
        m_stage->setColorMappingNumBands(int(std::min<std::uint32_t>(bandCount, 65536u)));

    if (m_dialog->minimum && m_dialog->maximum && m_dialog->bands) {
        const QSignalBlocker quietMinimum(m_dialog->minimum);
        const QSignalBlocker quietMaximum(m_dialog->maximum);
        const QSignalBlocker quietBands(m_dialog->bands);
        m_dialog->minimum->setValue(minimum);
        m_dialog->maximum->setValue(maximum);
        m_dialog->bands->setValue(banding ? m_stage->getColorMappingNumBands() : 0);
    }
}

void RenderPipelineColorMapping::applyColorMap(std::uint32_t index)
{
    const std::vector<osg::Vec4f> entries = ColorMaps::entries(
        int(std::min<std::uint32_t>(index, std::uint32_t(std::numeric_limits<int>::max()))));
    if (entries.empty()) {
        ZEL_WARN << "RenderPipelineColorMapping::applyColorMap: There is no colour map " << index
                 << "; the map stays\n";
        return;
    }
    osg::Image* image = m_colorMapTexture->getImage();
    image->allocateImage(int(entries.size()), 1, 1, GL_RGBA, GL_FLOAT);
    image->setInternalTextureFormat(GL_RGBA32F_ARB);
    std::copy(entries.begin(), entries.end(), reinterpret_cast<osg::Vec4f*>(image->data()));
    image->dirty();
    m_colorMapTexture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::NEAREST);
    m_colorMapTexture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::NEAREST);
    m_colorMapTexture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    m_colorMapTexture->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
    m_colorMapTexture->setResizeNonPowerOfTwoHint(false);
    if (m_dialog->colorMap) {
        const QSignalBlocker quiet(m_dialog->colorMap);
        m_dialog->colorMap->setCurrentIndex(int(index));
    }
}

void RenderPipelineColorMapping::minMaxValuesChanged()
{
    // The dialog's band count goes with the range; 0 is a continuous map.
    if (m_dialog->minimum && m_dialog->maximum && m_dialog->bands) {
        const int bands = m_dialog->bands->value();
        applyRange(float(m_dialog->minimum->value()), float(m_dialog->maximum->value()), bands > 0,
                   std::uint32_t(std::max(bands, 0)));
    }
}

void RenderPipelineColorMapping::selectColorMappedAttribute(int attribute)
{
    const QString text = m_dialog->attribute ? m_dialog->attribute->itemText(attribute)
                         : attribute >= 0 && attribute < int(m_attributeNames.size())
                             ? QString::fromStdString(m_attributeNames[std::size_t(attribute)])
                             : QString();
    if (text.isEmpty()) {
        ZEL_WARN << "RenderPipelineColorMapping::selectColorMappedAttribute: There is no attribute "
                 << attribute << "\n";
        return;
    }
    ZEL_INFO << "RenderPipelineColorMapping::selectColorMappedAttribute: Selecting attribute for "
                "color mapping "
             << text.toStdString() << "\n";
    m_stage->setColorMappedAttribute(text.toStdString());
}

void RenderPipelineColorMapping::selectColorMappedComponent(int component)
{
    const QString text = m_dialog->component ? m_dialog->component->itemText(component)
                         : component >= 0 && component < 4 ? componentNames[component]
                                                           : QString();
    if (text.isEmpty()) {
        ZEL_WARN << "RenderPipelineColorMapping::selectColorMappedComponent: There is no component "
                 << component << "\n";
        return;
    }
    ZEL_INFO << "RenderPipelineColorMapping::selectColorMappedAttribute: Selecting component for "
                "color mapping "
             << text.toStdString() << "\n";
    m_stage->setColorMappedComponent(text.toStdString());
}

void RenderPipelineColorMapping::setUpdateGBuffer(int state)
{
    m_stage->setUpdateGBuffer(state != 0);
    ZEL_INFO << " RenderPipelineColorMapping::setUpdateGBuffer: " << int(state != 0) << "\n";
}

void RenderPipelineColorMapping::doColorMappingPass(int state)
{
    m_stage->setDoColorMappingPass(state != 0);
    ZEL_INFO << " RenderPipelineColorMapping::doColorMappingPass: " << int(state != 0) << "\n";
}

void RenderPipelineColorMapping::doFinalRenderingPass(int state)
{
    m_stage->setDoFinalRenderPass(state != 0);
    ZEL_INFO << " RenderPipelineColorMapping::doFinalRenderingPass: " << int(state != 0) << "\n";
}

void RenderPipelineColorMapping::setStreamRequested(bool requested)
{
    m_streamRequested = requested;
}

bool RenderPipelineColorMapping::isStreamRequested() const
{
    return m_streamRequested;
}

void RenderPipelineColorMapping::startStreamTimer()
{
    PluginFactory* factory = getHost() ? getHost()->getPluginFactory() : nullptr;
    auto* server = factory ? factory->getOrCreateInstance<IWebServerPlugin>(
                                 uuidFromString(IWebServerPlugin::TypeUuid))
                           : nullptr;
    if (server)
        server->setStreamReceiver(this);
    else
        ZEL_ERROR << "No webserver!\n";
    if (m_dialog->streamTimer)
        m_dialog->streamTimer->start();
}

void RenderPipelineColorMapping::setExportStream()
{
    if (!m_streamRequested)
        return;
    exportStream();
    m_streamRequested = false;
}

bool RenderPipelineColorMapping::captureFrame(const char* operation)
{
    m_stage->setEnableReadBack(true);
    const unsigned int before = m_stage->getReadBackCount();
    if (m_eventSystem) {
        ModelEvent capture(ModelEvent::BeforeReadBack);
        capture.modelUuid = defaultModelUuid();
        m_eventSystem->dispatch(capture);
    }
    if (m_stage->getReadBackCount() != before &&
        FrameExport::isFrame(m_stage->getPositionsGBufferTexture()->getImage(),
                             m_stage->getSceneTexture()->getImage()))
        return true;
    ZEL_ERROR << "RenderPipelineColorMapping::" << operation
              << ": No viewer drew a frame to export; nothing is exported\n";
    m_stage->setEnableReadBack(false);
    return false;
}

void RenderPipelineColorMapping::exportStream()
{
    PluginFactory* factory = getHost() ? getHost()->getPluginFactory() : nullptr;
    auto* server = factory ? factory->getOrCreateInstance<IWebServerPlugin>(
                                 uuidFromString(IWebServerPlugin::TypeUuid))
                           : nullptr;
    if (!server) {
        ZEL_ERROR << "No webserver!\n";
        return;
    }
    if (!captureFrame("exportStream"))
        return;
    server->send(FrameExport::pointStream(*m_stage->getPositionsGBufferTexture()->getImage(),
                                          *m_stage->getSceneTexture()->getImage()));
    m_stage->setEnableReadBack(false);
}

void RenderPipelineColorMapping::setExportLAS()
{
    PluginFactory* factory = getHost() ? getHost()->getPluginFactory() : nullptr;
    NodeWriter* writer = nullptr;
    if (factory) {
        for (NodeWriter* candidate : factory->getInstances<NodeWriter>()) {
            if (lowerCase(candidate->getFilterString()).find("las") != std::string::npos) {
                writer = candidate;
                break;
            }
        }
    }
    if (!writer) {
        ZEL_ERROR << "No Las Writer\n";
        return;
    }
    if (!captureFrame("setExportLAS"))
        return;
    osg::ref_ptr<osg::Geometry> points =
        FrameExport::pointCloud(*m_stage->getPositionsGBufferTexture()->getImage(),
                                *m_stage->getSceneTexture()->getImage());
    m_stage->setEnableReadBack(false);

    const std::string path = exportFolder() + "/exportViewport.las";
    const FileResult result = writer->writeFile(points.get(), path);
    if (result.ok())
        ZEL_INFO << "RenderPipelineColorMapping::setExportLAS: Wrote "
                 << points->getVertexArray()->getNumElements() << " points to " << path << "\n";
    else
        ZEL_ERROR << "RenderPipelineColorMapping::setExportLAS: Cannot write " << path << ": "
                  << result.reason << "\n";
}

void RenderPipelineColorMapping::setExportTIF()
{
    if (!captureFrame("setExportTIF"))
        return;
    const std::pair<osg::Texture2D*, const char*> images[] = {
        {m_stage->getPositionsGBufferTexture(), "positionsTex.tif"},
        {m_stage->getColorMappedAttributeGBufferTexture(), "colorMappedAttribTex.tif"},
        {m_stage->getSceneTexture(), "sceneTex.tif"}};
    const std::string folder = exportFolder();
    for (const auto& [texture, name] : images) {
        const std::string path = folder + "/" + name;
        const std::string reason = FrameExport::writeTiff(*texture->getImage(), path);
        if (reason.empty())
            ZEL_INFO << "RenderPipelineColorMapping::setExportTIF: Wrote " << path << "\n";
        else
            ZEL_ERROR << "RenderPipelineColorMapping::setExportTIF: Cannot write " << path << ": "
                      << reason << "\n";
    }
    m_stage->setEnableReadBack(false);
}

std::string RenderPipelineColorMapping::exportFolder()
{
    // The rule of the log file: never the root of the file system.
    for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return "/tmp";
}

bool RenderPipelineColorMapping::event(QEvent* event)
{
    std::cout << "RenderPipeline: Got event.\n";
    if (event->type() == EventWebServer::eventType()) {
        const auto* request = static_cast<EventWebServer*>(event);
        std::cout << request->text() << "\n";
        if (request->request() == EventWebServer::FrameRequested)
            setStreamRequested(true);
        std::cout.flush();
        return true;
    }
    std::cout.flush();
    return QObject::event(event);
}

void RenderPipelineColorMapping::createSettingsWidget()
{
    m_attributeNames.assign(std::begin(OSG::ColorMappingStage::AttributeNames),
                            std::end(OSG::ColorMappingStage::AttributeNames));
    m_dialog->streamTimer = new QTimer(this);
    m_dialog->streamTimer->setInterval(StreamInterval);
    connect(m_dialog->streamTimer, &QTimer::timeout, this,
            &RenderPipelineColorMapping::setExportStream);

    // Widgets need a widget application; without one the pipeline works without its dialog.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        selectColorMappedAttribute(3);
        selectColorMappedComponent(0);
        return;
    }
    auto dialog = std::make_unique<QDialog>();
    dialog->setObjectName("ColorMappingSettings");
    delete dialog->layout();
    auto* layout = new QVBoxLayout(dialog.get());
    layout->setAlignment(Qt::AlignTop);
    setSettingsWidget(std::move(dialog));
    QWidget* widget = getSettingsWidget();
    createNameLabel();
    if (auto* name = widget->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        layout->addWidget(name);

    auto* rows = new QGridLayout;
    layout->addLayout(rows);
    auto addRow = [&](const QString& label, QWidget* control, QWidget* extra = nullptr) {
        const int row = rows->rowCount();
        rows->addWidget(new QLabel(label, widget), row, 0);
        rows->addWidget(control, row, 1);
        if (extra)
            rows->addWidget(extra, row, 2);
    };

    Dialog& d = *m_dialog;
    d.attribute = new QComboBox(widget);
    d.attribute->setObjectName("colorMappedAttribute");
    for (const std::string& name : m_attributeNames)
        d.attribute->addItem(QString::fromStdString(name));
    d.attribute->setCurrentIndex(3);
    d.component = new QComboBox(widget);
    d.component->setObjectName("colorMappedComponent");
    for (const char* name : componentNames)
        d.component->addItem(name);
    d.component->setCurrentIndex(0);
    selectColorMappedAttribute(3);
    selectColorMappedComponent(0);
    connect(d.attribute, QOverload<int>::of(&QComboBox::activated), this,
            &RenderPipelineColorMapping::selectColorMappedAttribute);
    connect(d.component, QOverload<int>::of(&QComboBox::activated), this,
            &RenderPipelineColorMapping::selectColorMappedComponent);
    addRow(tr("Color Mapped Attribute:"), d.attribute, d.component);

    auto makeSpinBox = [&](const char* name) {
        auto* box = new QDoubleSpinBox(widget);
        box->setObjectName(name);
        box->setSingleStep(0.1);
        box->setDecimals(4);
        box->setMinimum(-SpinBoxLimit);
        box->setMaximum(SpinBoxLimit);
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &RenderPipelineColorMapping::minMaxValuesChanged);
        return box;
    };
    d.minimum = makeSpinBox("minimumValue");
    addRow(tr("Minimum value:"), d.minimum);
    d.maximum = makeSpinBox("maximumValue");
    addRow(tr("Maximum value:"), d.maximum);

    // Not only viewers choose the map and the bands: the user does here.
    d.colorMap = new QComboBox(widget);
    d.colorMap->setObjectName("colorMap");
    for (int map = 0; map < ColorMaps::Count; ++map)
        d.colorMap->addItem(QString("%1 %2").arg(map).arg(ColorMaps::name(map)));
    connect(d.colorMap, QOverload<int>::of(&QComboBox::activated), this,
            [this](int map) { applyRenderParameters(RenderParameters(std::uint32_t(map))); });
    addRow(tr("Color map:"), d.colorMap);
    d.bands = new QSpinBox(widget);
    d.bands->setObjectName("bands");
    d.bands->setRange(0, 256);
    d.bands->setSpecialValueText(tr("continuous"));
    connect(d.bands, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &RenderPipelineColorMapping::minMaxValuesChanged);
    addRow(tr("Bands:"), d.bands);

    auto makeCheckBox = [&](const char* name, void (RenderPipelineColorMapping::*slot)(int)) {
        auto* box = new QCheckBox(widget);
        box->setObjectName(name);
        box->setChecked(true);
        connect(box, &QCheckBox::stateChanged, this, slot);
        return box;
    };
    d.updateGBuffer = makeCheckBox("updateGBuffer", &RenderPipelineColorMapping::setUpdateGBuffer);
    addRow(tr("Update GBuffer"), d.updateGBuffer);
    d.mapping = makeCheckBox("applyColorMapping", &RenderPipelineColorMapping::doColorMappingPass);
    addRow(tr("Apply Color Mapping"), d.mapping);
    d.final = makeCheckBox("displayFinalFbo", &RenderPipelineColorMapping::doFinalRenderingPass);
    addRow(tr("Display final FBO"), d.final);

    auto makeButton = [&](const QString& text, const char* name,
                          void (RenderPipelineColorMapping::*slot)()) {
        auto* button = new QPushButton(text, widget);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this, slot);
        addRow(QString(), button);
        return button;
    };
    QPushButton* stream = makeButton(tr("Export stream"), "exportStream",
                                     &RenderPipelineColorMapping::setExportStream);
    // The timer starts with the first click and takes the web server's requests from then on.
    connect(stream, &QPushButton::clicked, this, &RenderPipelineColorMapping::startStreamTimer);
    makeButton(tr("Export LAS"), "exportLAS", &RenderPipelineColorMapping::setExportLAS);
    makeButton(tr("Export TIF"), "exportTIF", &RenderPipelineColorMapping::setExportTIF);
}
