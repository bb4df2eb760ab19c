#include "RenderManager/ShadowStage.h"

#include "OSGZELCoreFieldContainers/VisitSubTree.h"

#include <algorithm>
#include <osgShadow/SoftShadowMap>
#include <osgUtil/CullVisitor>

namespace {

// The soft shadow map's own default edge width is 0.005: smoothness 0.5.
constexpr float SoftnessPerSmoothness = 0.01f;

// The soft shadow map's own shader takes 8 to 64 samples of the map per pixel, which a software
// renderer pays for in full on every pixel (a second or more per frame at 800x600 on llvmpipe).
// These four jittered, linearly filtered samples give a soft edge for a fraction of that.
const char* const receiverShader = R"(
uniform sampler2D osgShadow_baseTexture;
uniform sampler2DShadow osgShadow_shadowTexture;
uniform sampler3D osgShadow_jitterTexture;
uniform vec2 osgShadow_ambientBias;
uniform float osgShadow_softnessWidth;
uniform float osgShadow_jitteringScale;

void main(void)
{
    vec4 color = gl_Color * texture2D(osgShadow_baseTexture, gl_TexCoord[0].xy);
    vec4 center = gl_TexCoord[1];
    vec4 jitter = 2.0 * texture3D(osgShadow_jitterTexture,
                                  vec3(gl_FragCoord.xy / osgShadow_jitteringScale, 0.0)) - 1.0;
    vec4 spread = jitter * osgShadow_softnessWidth * center.w;
    float lit = shadow2DProj(osgShadow_shadowTexture, center + vec4(spread.xy, 0.0, 0.0)).x
              + shadow2DProj(osgShadow_shadowTexture, center - vec4(spread.xy, 0.0, 0.0)).x
              + shadow2DProj(osgShadow_shadowTexture, center + vec4(spread.zw, 0.0, 0.0)).x
              + shadow2DProj(osgShadow_shadowTexture, center - vec4(spread.zw, 0.0, 0.0)).x;
    gl_FragColor = color * (osgShadow_ambientBias.x + 0.25 * lit * osgShadow_ambientBias.y);
}
)";

bool isDirectional(const osg::LightSource& light)
{
    return light.getLight() && light.getLight()->getPosition().w() == 0.0f;
}

// Whether the light lies below the root on a path the visitor's mask lets it through.
bool drawnBelow(const osg::Node& root, osg::LightSource& light, osg::Node::NodeMask mask)
{
    if (!light.getLight())
        return false;
    for (const osg::NodePath& path : light.getParentalNodePaths(const_cast<osg::Node*>(&root))) {
        if (path.empty() || path.front() != &root)
            continue;
        if (std::all_of(path.begin(), path.end(),
                        [mask](const osg::Node* node) { return node->getNodeMask() & mask; }))
            return true;
    }
    return false;
}

} // namespace

ShadowStage::ShadowStage() : m_technique(new osgShadow::SoftShadowMap)
{
    setShadowTechnique(m_technique.get());
    m_technique->addShader(new osg::Shader(osg::Shader::FRAGMENT, receiverShader));
    configure();
}

ShadowStage::ShadowStage(const ShadowStage& other, const osg::CopyOp& copyOp)
    : osgShadow::ShadowedScene(other, copyOp), m_lights(other.m_lights),
      m_technique(new osgShadow::SoftShadowMap), m_shadowOn(other.m_shadowOn),
      m_mapSize(other.m_mapSize), m_smoothness(other.m_smoothness), m_intensity(other.m_intensity)
{
    setShadowTechnique(m_technique.get());
    m_technique->addShader(new osg::Shader(osg::Shader::FRAGMENT, receiverShader));
    configure();
}

ShadowStage::~ShadowStage() = default;

void ShadowStage::pushLightNode(osg::LightSource* light)
{
    if (light)
        m_lights.push_back(light);
}

void ShadowStage::setMapSize(int size)
{
    m_mapSize = std::clamp(size, 1, 16384);
    configure();
}

void ShadowStage::setShadowSmoothness(float smoothness)
{
    m_smoothness = std::max(0.0f, smoothness);
    configure();
}

void ShadowStage::setGlobalShadowIntensity(float intensity)
{
    m_intensity = std::clamp(intensity, 0.0f, 1.0f);
    configure();
}

void ShadowStage::configure()
{
    // The technique builds its map and cameras in init, which it otherwise runs only in an update
    // traversal: a cull before one would find nothing built.
    const short size = static_cast<short>(m_mapSize);
    if (m_technique->getTextureSize() != osg::Vec2s(size, size) || !m_techniqueBuilt) {
        m_technique->setTextureSize(osg::Vec2s(size, size));
        m_technique->init();
        m_techniqueBuilt = true;
    }
    m_technique->setSoftnessWidth(m_smoothness * SoftnessPerSmoothness);
    // A shadowed colour is multiplied by x, a lit one by x + y.
    m_technique->setAmbientBias(osg::Vec2(1.0f - m_intensity, m_intensity));
}

osg::LightSource* ShadowStage::castingLight(const osg::NodeVisitor& nv) const
{
    if (!m_shadowOn)
        return nullptr;
    osg::LightSource* pointLight = nullptr;
    for (const auto& light : m_lights) {
        bool drawn = false;
        for (unsigned int i = 0; i < getNumChildren() && !drawn; ++i) {
            const osg::Node* child = getChild(i);
            if (const auto* visit = dynamic_cast<const OSG::VisitSubTree*>(child)) {
                const osg::ref_ptr<osg::Node> root = visit->getSubTreeRoot();
                drawn =
                    root && drawnBelow(*root, *light, visit->subTreeMaskFor(nv.getTraversalMask()));
            } else {
                drawn = drawnBelow(*child, *light, nv.getTraversalMask());
            }
        }
        if (drawn && isDirectional(*light))
            return light.get();
        if (drawn && !pointLight)
            pointLight = light.get();
    }
    return pointLight;
}

void ShadowStage::traverse(osg::NodeVisitor& nv)
{
    if (nv.getVisitorType() != osg::NodeVisitor::CULL_VISITOR) {
        osgShadow::ShadowedScene::traverse(nv);
        return;
    }
    osg::LightSource* light = castingLight(nv);
    if (!light) {
        osg::Group::traverse(nv);
        return;
    }
    m_technique->setLight(light);

    // The shadow map looks for its light, and leaves its texture coordinates, in the visitor's
    // root render stage: below a camera of its own (the HDR stage's scene pass) that is the wrong
    // one. It is shown the stage it is drawn in instead.
    auto& cv = static_cast<osgUtil::CullVisitor&>(nv);
    const osg::ref_ptr<osgUtil::RenderStage> root = cv.getRenderStage();
    osgUtil::RenderBin* bin = cv.getCurrentRenderBin();
    cv.setRenderStage(cv.getCurrentRenderStage());
    cv.setCurrentRenderBin(bin);

    const osg::Vec4 ambient = light->getLight()->getAmbient();
    osgShadow::ShadowedScene::traverse(nv);
    light->getLight()->setAmbient(ambient);

    cv.setRenderStage(root.get());
    cv.setCurrentRenderBin(bin);
}
