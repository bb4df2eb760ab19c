#include "RenderManager/RenderPipelineHDR.h"

#include "KernelInterface/IKernel.h"
#include "Logger/Log.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/HDRWithPostprocessingStage.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "OSGZELCoreFieldContainers/VisitSubTree.h"
#include "RenderManager/ShadowStage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <osg/LightSource>
#include <osg/io_utils>

namespace {

const char* const defaultShaderPath = "./../Media/shader/";

// Visits every node of the scene the pipeline draws, the nodes it hides left out.
class LightCollector : public osg::NodeVisitor
{
public:
    LightCollector(RenderPipelineHDR& pipeline, osg::Node::NodeMask mask)
        : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), m_pipeline(pipeline)
    {
        setTraversalMask(mask);
    }

    void apply(osg::Node& node) override
    {
        if (m_pipeline.enter(&node))
            traverse(node);
    }

private:
    RenderPipelineHDR& m_pipeline;
};

// IKernel's type information lies in ApplicationBase, which builds on this library: the
// sanitizer's check of the object's dynamic type could not be linked here.
__attribute__((no_sanitize("vptr"))) std::string applicationDir(IKernel& host)
{
    return host.getApplicationDir();
}

struct SpinBoxRange
{
    double minimum;
    double maximum;
    double step;
};

} // namespace

RenderPipelineHDR::Settings::Settings()
    : Settings(defaultShaderPath, 1.0f, 0.0f, 1.0f, 0.0f, 0.002f, false, false, false)
{}

RenderPipelineHDR::Settings::Settings(std::string shaderPath, float gamma, float effectAmount,
                                      float exposure, float blurAmount,
                                      float ambientOcclusionRadius, bool combineBlend,
                                      bool ambientOcclusion, bool absColor)
    : m_shaderPath(std::move(shaderPath)), m_gamma(gamma), m_effectAmount(effectAmount),
      m_exposure(exposure), m_blurAmount(blurAmount),
      m_ambientOcclusionRadius(ambientOcclusionRadius), m_combineBlend(combineBlend),
      m_ambientOcclusion(ambientOcclusion), m_absColor(absColor)
{}

RenderPipelineHDR::RenderPipelineHDR(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                                     osg::ref_ptr<osg::Object> auxiliaryContainer,
                                     osg::ref_ptr<OSG::Background> background)
    : RenderPipeline(host, std::move(sceneRoot), std::move(auxiliaryContainer),
                     std::move(background), "RenderPipelineHDR")
{
    createDefaultSettings();
    RenderPipelineHDR::init();
    createSettingsWidget();
}

RenderPipelineHDR::RenderPipelineHDR(IKernel* host, osg::ref_ptr<osg::Node> sceneRoot,
                                     osg::ref_ptr<osg::Object> auxiliaryContainer,
                                     osg::ref_ptr<OSG::Background> background,
                                     const Settings& settings)
    : RenderPipeline(host, std::move(sceneRoot), std::move(auxiliaryContainer),
                     std::move(background), "RenderPipelineHDR"),
      m_settings(settings)
{
    RenderPipelineHDR::init();
    createSettingsWidget();
}

RenderPipelineHDR::~RenderPipelineHDR()
{
    m_shadowStage = nullptr;
    m_stage = nullptr;
}

void RenderPipelineHDR::createDefaultSettings()
{
    m_settings = Settings();
    if (IKernel* host = getHost())
        m_settings.setShaderPath(applicationDir(*host) + "/../Media/shader/");
}

bool RenderPipelineHDR::init()
{
    const bool initialised = RenderPipeline::init();
    m_stage = new OSG::HDRWithPostprocessingStage;
    m_stage->setBackground(getBackground().get());

    m_shadowStage = new ShadowStage;
    m_shadowStage->setMapSize(2048);
    m_shadowStage->setShadowSmoothness(0.5f);
    m_shadowStage->setGlobalShadowIntensity(0.8f);
    m_shadowStage->setShadowOn(true);

    // The stage renders the shadowed scene.
    if (osg::ref_ptr<OSG::VisitSubTree> visit = getVisitNode())
        m_shadowStage->addChild(visit.get());
    m_stage->addChild(m_shadowStage.get());
    setRootNode(m_stage.get());

    m_stage->setShaderPath(m_settings.getShaderPath());
    m_stage->setEffectAmount(m_settings.getEffectAmount());
    m_stage->setExposure(m_settings.getExposure());
    m_stage->setGamma(m_settings.getGamma());
    m_stage->setBlurAmount(m_settings.getBlurAmount());
    m_stage->setCombineBlend(m_settings.getCombineBlend());
    m_stage->setAmbientOcclusion(m_settings.getAmbientOcclusion());
    m_stage->setAmbientOcclusionRadius(m_settings.getAmbientOcclusionRadius());
    m_stage->setAbsColor(m_settings.getAbsColor());
    return initialised;
}

void RenderPipelineHDR::setBackground(osg::ref_ptr<OSG::Background> background)
{
    RenderPipeline::setBackground(background);
    if (m_stage)
        m_stage->setBackground(background.get());
}

void RenderPipelineHDR::setRenderTarget(OSG::RenderTarget* target)
{
    if (m_stage)
        m_stage->setRenderTarget(target);
}

osg::ref_ptr<OSG::RenderTarget> RenderPipelineHDR::getRenderTarget()
{
    return m_stage ? m_stage->getRenderTarget() : nullptr;
}

void RenderPipelineHDR::applyRenderParameters(const RenderParameters&) {}

void RenderPipelineHDR::setEffectAmount(double effecAmount)
{
    m_settings.setEffectAmount(static_cast<float>(effecAmount));
    if (m_stage)
        m_stage->setEffectAmount(m_settings.getEffectAmount());
}

void RenderPipelineHDR::setExposure(double exposure)
{
    m_settings.setExposure(static_cast<float>(exposure));
    if (m_stage)
        m_stage->setExposure(m_settings.getExposure());
}

void RenderPipelineHDR::setGamma(double gamma)
{
    m_settings.setGamma(static_cast<float>(gamma));
    if (m_stage)
        m_stage->setGamma(m_settings.getGamma());
}

void RenderPipelineHDR::setBlurAmount(double blurAmount)
{
    m_settings.setBlurAmount(static_cast<float>(blurAmount));
    if (m_stage)
        m_stage->setBlurAmount(m_settings.getBlurAmount());
}

void RenderPipelineHDR::setCombineBlend(int combineBlend)
{
    m_settings.setCombineBlend(combineBlend != 0);
    if (m_stage)
        m_stage->setCombineBlend(m_settings.getCombineBlend());
}

void RenderPipelineHDR::setAmbientOcclusion(int ambientOcclusion)
{
    const bool on = ambientOcclusion != 0;
    m_settings.setAmbientOcclusion(on);
    if (m_stage)
        m_stage->setAmbientOcclusion(on);
    ZEL_INFO << " RenderPipelineHDR::setAmbientOcclusion: " << on << "\n";
    collectLights();
    // Shadows come with ambient occlusion.
    if (m_shadowStage)
        m_shadowStage->setShadowOn(on);
}

void RenderPipelineHDR::setAmbientOcclusionRadius(double radius)
{
    m_settings.setAmbientOcclusionRadius(static_cast<float>(radius));
    if (m_stage)
        m_stage->setAmbientOcclusionRadius(m_settings.getAmbientOcclusionRadius());
}

void RenderPipelineHDR::setAbsColor(int absColor)
{
    m_settings.setAbsColor(absColor != 0);
    if (m_stage)
        m_stage->setAbsColor(m_settings.getAbsColor());
    ZEL_INFO << " RenderPipelineHDR::setAbsColor: " << m_settings.getAbsColor() << "\n";
}

void RenderPipelineHDR::collectLights()
{
    if (!m_shadowStage)
        return;
    m_shadowStage->clearLightNodes();
    osg::ref_ptr<osg::Node> root = getSceneRoot();
    if (!root)
        return;
    // The nodes the pipeline draws: those its visit lets through.
    const osg::ref_ptr<OSG::VisitSubTree> visit = getVisitNode();
    LightCollector collector(*this, visit ? visit->subTreeMaskFor(~0u) : ~0u);
    root->accept(collector);
    root->dirtyBound();
}

bool RenderPipelineHDR::enter(osg::Node* node)
{
    auto* source = dynamic_cast<osg::LightSource*>(node);
    const osg::Light* light = source ? source->getLight() : nullptr;
    if (!light || !m_shadowStage)
        return true;
    const osg::Vec4& position = light->getPosition();
    if (position.w() != 0.0f) {
        ZEL_INFO << "RenderPipelineHDR::enter: Add PointLight " << light->getDiffuse() << "\n";
        m_shadowStage->pushLightNode(source);
    } else {
        // A directional light's position is the direction it comes from.
        ZEL_INFO << "RenderPipelineHDR::enter: Add DirectionalLight "
                 << osg::Vec3(position.x(), position.y(), position.z()) << "\n";
        m_shadowStage->pushLightNode(source);
    }
    return true;
}

void RenderPipelineHDR::createSettingsWidget()
{
    // Widgets without a widget application would end the process.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    auto dialog = std::make_unique<QDialog>();
    dialog->setObjectName("RenderPipelineHDRSettings");
    QDialog* widget = dialog.get();
    setSettingsWidget(std::move(dialog));
    createNameLabel();
    auto* nameLabel = widget->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);

    delete widget->layout();
    auto* layout = new QVBoxLayout(widget);
    layout->setAlignment(Qt::AlignTop);
    if (nameLabel)
        layout->addWidget(nameLabel);

    auto addRow = [widget, layout](const char* text, QWidget* control) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QObject::tr(text), widget));
        row->addWidget(control);
        layout->addLayout(row);
    };
    // Configured in the order value, maximum, minimum, step: a spin box rounds the value and the
    // minimum it is given to its decimals, so those come first.
    auto spinBox = [widget](const char* name, double value, const SpinBoxRange& range,
                            int decimals = 2) {
        auto* box = new QDoubleSpinBox(widget);
        box->setObjectName(name);
        box->setDecimals(decimals);
        box->setValue(value);
        box->setMaximum(range.maximum);
        box->setMinimum(range.minimum);
        box->setSingleStep(range.step);
        return box;
    };
    auto checkBox = [widget](const char* name, bool checked) {
        auto* box = new QCheckBox(widget);
        box->setObjectName(name);
        box->setChecked(checked);
        return box;
    };
    const auto valueChanged = qOverload<double>(&QDoubleSpinBox::valueChanged);

    QDoubleSpinBox* exposure = spinBox("exposure", m_settings.getExposure(), {0, 999999999, 0.01});
    exposure->setDecimals(10);
    QDoubleSpinBox* effect =
        spinBox("effectAmount", m_settings.getEffectAmount(), {0, 10000000, 0.01});
    QDoubleSpinBox* gamma = spinBox("gamma", m_settings.getGamma(), {0, 10000000, 0.01});
    QDoubleSpinBox* blur = spinBox("blurAmount", m_settings.getBlurAmount(), {0, 10000000, 0.01});
    QCheckBox* combine = checkBox("combineBlend", m_settings.getCombineBlend());
    QCheckBox* occlusion = checkBox("ambientOcclusion", m_settings.getAmbientOcclusion());
    QDoubleSpinBox* radius = spinBox(
        "ambientOcclusionRadius", m_settings.getAmbientOcclusionRadius(), {0.0001, 10, 0.001}, 4);
    QCheckBox* absColor = checkBox("absColor", m_settings.getAbsColor());

    addRow("Exposure", exposure);
    addRow("Effect Amount", effect);
    addRow("Gamma", gamma);
    addRow("Blur Amount", blur);
    addRow("Combine Blend", combine);
    addRow("Ambient Occlusion", occlusion);
    addRow("Ambient Occlusion Radius", radius);
    addRow("Absolute Color", absColor);

    connect(exposure, valueChanged, this, &RenderPipelineHDR::setExposure);
    connect(effect, valueChanged, this, &RenderPipelineHDR::setEffectAmount);
    connect(gamma, valueChanged, this, &RenderPipelineHDR::setGamma);
    connect(blur, valueChanged, this, &RenderPipelineHDR::setBlurAmount);
    connect(combine, &QCheckBox::stateChanged, this, &RenderPipelineHDR::setCombineBlend);
    connect(occlusion, &QCheckBox::stateChanged, this, &RenderPipelineHDR::setAmbientOcclusion);
    connect(radius, valueChanged, this, &RenderPipelineHDR::setAmbientOcclusionRadius);
    connect(absColor, &QCheckBox::stateChanged, this, &RenderPipelineHDR::setAbsColor);
}
