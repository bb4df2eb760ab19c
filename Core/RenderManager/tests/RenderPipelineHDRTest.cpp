#include "RenderManager/RenderPipelineHDR.h"

#include "LogCapture.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "OSGZELCoreFieldContainers/HDRWithPostprocessingStage.h"
#include "OSGZELCoreFieldContainers/VisitSubTree.h"
#include "RenderManager/RenderManager.h"
#include "RenderManager/ShadowStage.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <gtest/gtest.h>
#include <osg/Group>
#include <osg/LightSource>

namespace {

osg::ref_ptr<osg::LightSource> lightAt(const osg::Vec4& position, const osg::Vec4& diffuse)
{
    osg::ref_ptr<osg::LightSource> source = new osg::LightSource;
    source->getLight()->setPosition(position);
    source->getLight()->setDiffuse(diffuse);
    return source;
}

// The texts of the labels in the dialog, top to bottom.
std::vector<std::string> labelTexts(QWidget& dialog)
{
    std::vector<std::string> texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts.push_back(label->text().toStdString());
    return texts;
}

TEST(RenderPipelineHDRTest, NewPipelineDrawsThroughItsStagesAndTheDialogDrivesThem)
{
    RenderManager manager;
    std::unique_ptr<IRenderPipeline> created =
        manager.createRenderPipeline("HDR", nullptr, new osg::Group, nullptr, nullptr);
    auto* pipeline = dynamic_cast<RenderPipelineHDR*>(created.get());
    ASSERT_NE(pipeline, nullptr);
    EXPECT_EQ(pipeline->getName(), "RenderPipelineHDR");

    // Root: the HDR stage, drawing the shadow stage, drawing the restricted visit of the scene.
    OSG::HDRWithPostprocessingStage* stage = pipeline->getStage();
    ASSERT_NE(stage, nullptr);
    EXPECT_EQ(pipeline->getRootNode(), stage);
    ASSERT_EQ(stage->getNumChildren(), 1u);
    EXPECT_EQ(stage->getChild(0), pipeline->getShadowStage());
    ASSERT_EQ(pipeline->getShadowStage()->getNumChildren(), 1u);
    auto* visit = dynamic_cast<OSG::VisitSubTree*>(pipeline->getShadowStage()->getChild(0));
    ASSERT_NE(visit, nullptr);
    EXPECT_EQ(visit->getSubTreeTraversalMask(), pipeline->getTraversalMask());
    EXPECT_TRUE(pipeline->getShadowStage()->getLightNodes().empty());

    QWidget* dialog = pipeline->getSettingsWidget();
    ASSERT_NE(dialog, nullptr);
    auto* radius = dialog->findChild<QDoubleSpinBox*>("ambientOcclusionRadius");
    ASSERT_NE(radius, nullptr);
    EXPECT_FLOAT_EQ(float(radius->value()), pipeline->getSettings().getAmbientOcclusionRadius());

    // The controls change the stage; the name label follows the name.
    dialog->findChild<QDoubleSpinBox*>("exposure")->setValue(2.5);
    EXPECT_FLOAT_EQ(stage->getExposure(), 2.5f);
    // Enough decimals to show the radius and step it.
    radius->stepUp();
    EXPECT_FLOAT_EQ(pipeline->getSettings().getAmbientOcclusionRadius(), 0.003f);
    dialog->findChild<QCheckBox*>("absColor")->setChecked(true);
    EXPECT_TRUE(stage->getAbsColor());
    pipeline->setName("Bright");
    EXPECT_EQ(labelTexts(*dialog).front(), "Bright");
}

TEST(RenderPipelineHDRTest, GivenSettingsReachTheStageAndShaderPathFollowsTheHost)
{
    const RenderPipelineHDR::Settings settings("/shaders/", 2.2f, 0.5f, 3.0f, 1.5f, 0.05f, true,
                                               true, false);
    RenderPipelineHDR pipeline(nullptr, new osg::Group, nullptr, nullptr, settings);
    OSG::HDRWithPostprocessingStage& stage = *pipeline.getStage();
    EXPECT_EQ(stage.getShaderPath(), "/shaders/");
    EXPECT_FLOAT_EQ(stage.getGamma(), 2.2f);
    EXPECT_FLOAT_EQ(stage.getEffectAmount(), 0.5f);
    EXPECT_FLOAT_EQ(stage.getExposure(), 3.0f);
    EXPECT_FLOAT_EQ(stage.getBlurAmount(), 1.5f);
    EXPECT_FLOAT_EQ(stage.getAmbientOcclusionRadius(), 0.05f);
    EXPECT_TRUE(stage.getCombineBlend());
    EXPECT_TRUE(stage.getAmbientOcclusion());
    EXPECT_FALSE(stage.getAbsColor());
    EXPECT_TRUE(
        pipeline.getSettingsWidget()->findChild<QCheckBox*>("ambientOcclusion")->isChecked());
}

TEST(RenderPipelineHDRTest, SwitchingAmbientOcclusionCollectsTheDrawnLightsAfresh)
{
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    osg::ref_ptr<osg::Group> nested = new osg::Group;
    scene->addChild(lightAt(osg::Vec4(1, 2, 3, 1), osg::Vec4(1, 0, 0, 1)));
    scene->addChild(nested);
    nested->addChild(lightAt(osg::Vec4(0, 0, 1, 0), osg::Vec4(1, 1, 1, 1)));
    nested->addChild(lightAt(osg::Vec4(4, 5, 6, 1), osg::Vec4(0, 1, 0, 1)));
    nested->addChild(new osg::Group);
    // A light the pipeline does not draw casts nothing.
    osg::ref_ptr<osg::LightSource> hidden = lightAt(osg::Vec4(0, 0, 1, 0), osg::Vec4(1, 1, 1, 1));
    hidden->setNodeMask(2);
    scene->addChild(hidden);

    RenderPipelineHDR pipeline(nullptr, scene, nullptr, nullptr);
    pipeline.setTraversalMask(1, nullptr);
    ShadowStage& shadows = *pipeline.getShadowStage();

    LogCapture log;
    pipeline.setAmbientOcclusion(2);
    EXPECT_TRUE(log.contains(" RenderPipelineHDR::setAmbientOcclusion: 1\n"));
    EXPECT_TRUE(log.contains("RenderPipelineHDR::enter: Add PointLight 1 0 0 1\n"));
    EXPECT_TRUE(log.contains("RenderPipelineHDR::enter: Add PointLight 0 1 0 1\n"));
    EXPECT_TRUE(log.contains("RenderPipelineHDR::enter: Add DirectionalLight 0 0 1\n"));
    EXPECT_EQ(log.count("RenderPipelineHDR::enter: Add"), 3);
    ASSERT_EQ(shadows.getLightNodes().size(), 3u);
    const ShadowStage::LightNodes first = shadows.getLightNodes();
    EXPECT_TRUE(pipeline.getStage()->getAmbientOcclusion());
    EXPECT_TRUE(shadows.getShadowOn());

    pipeline.setAmbientOcclusion(0);
    EXPECT_TRUE(log.contains(" RenderPipelineHDR::setAmbientOcclusion: 0\n"));
    EXPECT_EQ(shadows.getLightNodes(), first);
    EXPECT_FALSE(shadows.getShadowOn());
    pipeline.setAmbientOcclusion(1);
    EXPECT_EQ(shadows.getLightNodes(), first);
    EXPECT_EQ(log.count("RenderPipelineHDR::enter: Add"), 9);
    EXPECT_EQ(log.count("RenderPipelineHDR::enter: Add DirectionalLight"), 3);

    // The directional light casts; without it, the first point light.
    osg::NodeVisitor visitor;
    EXPECT_EQ(shadows.castingLight(visitor), first[1]);
    nested->removeChild(first[1]);
    EXPECT_EQ(shadows.castingLight(visitor), first[0]);
    scene->removeChild(first[0]);
    EXPECT_EQ(shadows.castingLight(visitor), first[2]);
    nested->setNodeMask(0);
    EXPECT_EQ(shadows.castingLight(visitor), nullptr);
}

} // namespace
