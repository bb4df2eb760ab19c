#include "HDRPasses.h"

#include "HDRShaderSet.h"

#include <algorithm>
#include <cmath>
#include <osg/BlendFunc>
#include <osg/ClampColor>
#include <osg/CullFace>
#include <osg/Depth>
#include <osg/PolygonMode>
#include <osg/State>
#include <osgUtil/CullVisitor>

namespace OSG {

namespace {

// Below everything a scene draws into the same target, above a stage's background clear.
constexpr int CombineRenderBin = -99999;
// Nearest depth as a share of the farthest, as OpenSceneGraph's own near/far computation does.
constexpr double NearFarRatio = 0.0005;
// One unit of blur amount spreads the bloom by this share of the picture's height.
constexpr float BlurSpreadPerUnit = 0.01f;

constexpr osg::StateAttribute::GLModeValue Protected =
    osg::StateAttribute::ON | osg::StateAttribute::PROTECTED;
constexpr osg::StateAttribute::GLModeValue ProtectedOff =
    osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED;

unsigned int mipmapLevels(int width, int height)
{
    unsigned int levels = 1;
    for (int size = std::max(width, height); size > 1; size /= 2)
        ++levels;
    return levels;
}

osg::ref_ptr<osg::Texture2D> makeTexture(GLint internalFormat, GLenum format, GLenum type,
                                         bool mipmapped)
{
    osg::ref_ptr<osg::Texture2D> texture = new osg::Texture2D;
    texture->setInternalFormat(internalFormat);
    texture->setSourceFormat(format);
    texture->setSourceType(type);
    const bool nearest = format == GL_DEPTH_COMPONENT;
    texture->setFilter(osg::Texture::MIN_FILTER,
                       mipmapped ? osg::Texture::LINEAR_MIPMAP_LINEAR
                                 : (nearest ? osg::Texture::NEAREST : osg::Texture::LINEAR));
    texture->setFilter(osg::Texture::MAG_FILTER,
                       nearest ? osg::Texture::NEAREST : osg::Texture::LINEAR);
    texture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    texture->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
    texture->setResizeNonPowerOfTwoHint(false);
    texture->setDataVariance(osg::Object::DYNAMIC);
    return texture;
}

void resizeTexture(osg::Texture2D& texture, int width, int height)
{
    texture.setTextureSize(width, height);
    if (texture.getFilter(osg::Texture::MIN_FILTER) == osg::Texture::LINEAR_MIPMAP_LINEAR)
        texture.setNumMipmapLevels(mipmapLevels(width, height));
    texture.dirtyTextureObject();
}

// One triangle covering the viewport. It has no bound, so it is never culled and never moves
// the near and far planes the camera above computes.
osg::ref_ptr<osg::Geometry> makeFullScreenTriangle()
{
    osg::ref_ptr<osg::Geometry> triangle = new osg::Geometry;
    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    corners->push_back(osg::Vec3(-1.0f, -1.0f, 0.0f));
    corners->push_back(osg::Vec3(3.0f, -1.0f, 0.0f));
    corners->push_back(osg::Vec3(-1.0f, 3.0f, 0.0f));
    triangle->setVertexArray(corners.get());
    triangle->addPrimitiveSet(new osg::DrawArrays(GL_TRIANGLES, 0, 3));
    triangle->setUseDisplayList(false);
    triangle->setUseVertexBufferObjects(true);
    triangle->setCullingActive(false);
    triangle->setComputeBoundingBoxCallback(new osg::Drawable::ComputeBoundingBoxCallback);

    // What the scene or a camera above sets must not reach a full-screen pass.
    osg::StateSet* state = triangle->getOrCreateStateSet();
    state->setDataVariance(osg::Object::DYNAMIC);
    state->setMode(GL_LIGHTING, ProtectedOff);
    state->setMode(GL_BLEND, ProtectedOff);
    state->setMode(GL_DEPTH_TEST, ProtectedOff);
    state->setMode(GL_CULL_FACE, ProtectedOff);
    state->setAttributeAndModes(
        new osg::PolygonMode(osg::PolygonMode::FRONT_AND_BACK, osg::PolygonMode::FILL), Protected);
    return triangle;
}

void bindTexture(osg::StateSet& state, unsigned int unit, osg::Texture2D* texture,
                 const char* sampler)
{
    state.setTextureAttribute(unit, texture, Protected);
    state.addUniform(new osg::Uniform(sampler, static_cast<int>(unit)));
}

// Setting up a frame buffer object binds its textures behind the back of OpenSceneGraph's record
// of what is bound (Texture::compileGLObjects): the shadow map's, made while the scene pass is
// drawn, would stand in for a texture a later pass reads. Each pass starts with a clean record.
struct ForgetAppliedState : osg::Camera::DrawCallback
{
    void operator()(osg::RenderInfo& renderInfo) const override
    {
        renderInfo.getState()->dirtyAllAttributes();
    }
};

osg::ref_ptr<osg::Camera> makeTargetCamera(int order)
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    camera->setRenderOrder(osg::Camera::PRE_RENDER, order);
    camera->setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
    camera->setComputeNearFarMode(osg::CullSettings::DO_NOT_COMPUTE_NEAR_FAR);
    camera->setImplicitBufferAttachmentMask(0, 0);
    camera->setViewport(0, 0, 1, 1);
    camera->setPreDrawCallback(new ForgetAppliedState);
    return camera;
}

// Draws the children of the subtree's root in place of the camera's own.
class DrawSubtree : public osg::NodeCallback
{
public:
    explicit DrawSubtree(osg::Group* root) : m_root(root) {}

    void operator()(osg::Node*, osg::NodeVisitor* nv) override
    {
        osg::ref_ptr<osg::Group> root;
        if (m_root.lock(root))
            root->osg::Group::traverse(*nv);
    }

private:
    osg::observer_ptr<osg::Group> m_root;
};

} // namespace

HDRPasses::HDRPasses(osg::Group* subtreeRoot)
    : m_subtreeRoot(subtreeRoot), m_projection(new osg::Uniform("projection", osg::Matrixf())),
      m_inverseProjection(new osg::Uniform("inverseProjection", osg::Matrixf())),
      m_occlusionRadius(new osg::Uniform("radius", 1.0f)),
      m_occlusionTexel(new osg::Uniform("occlusionTexel", osg::Vec2f(1.0f, 1.0f))),
      m_blurStep{new osg::Uniform("texelStep", osg::Vec2f()),
                 new osg::Uniform("texelStep", osg::Vec2f())},
      m_blurSigma{new osg::Uniform("sigma", 0.0f), new osg::Uniform("sigma", 0.0f)},
      m_exposure(new osg::Uniform("exposure", 1.0f)), m_gamma(new osg::Uniform("gamma", 1.0f)),
      m_effectAmount(new osg::Uniform("effectAmount", 0.0f)),
      m_useOcclusion(new osg::Uniform("ambientOcclusion", false)),
      m_useBloom(new osg::Uniform("useBloom", false)),
      m_combineBlend(new osg::Uniform("combineBlend", false)),
      m_absColor(new osg::Uniform("absColor", false))
{
    createTextures();
    createScenePass(subtreeRoot);
    createPostPasses();
}

HDRPasses::~HDRPasses() = default;

void HDRPasses::createTextures()
{
    // Half floats hold the range that lighting and emission give, at half the memory traffic.
    m_sceneColor = makeTexture(GL_RGBA16F_ARB, GL_RGBA, GL_FLOAT, true);
    m_sceneDepth = makeTexture(GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, false);
    m_occlusion = makeTexture(GL_R8, GL_RED, GL_UNSIGNED_BYTE, false);
    m_bloom[0] = makeTexture(GL_RGBA16F_ARB, GL_RGBA, GL_FLOAT, true);
    m_bloom[1] = makeTexture(GL_RGBA16F_ARB, GL_RGBA, GL_FLOAT, false);
}

void HDRPasses::createScenePass(osg::Group* subtreeRoot)
{
    m_sceneCamera = makeTargetCamera(0);
    m_sceneCamera->setClearMask(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_sceneCamera->attach(osg::Camera::COLOR_BUFFER, m_sceneColor.get());
    m_sceneCamera->attach(osg::Camera::DEPTH_BUFFER, m_sceneDepth.get());
    m_sceneCamera->setCullCallback(new DrawSubtree(subtreeRoot));
    // Lighting that adds up beyond 1 is what the tone mapping is for: keep it.
    m_sceneCamera->getOrCreateStateSet()->setAttribute(
        new osg::ClampColor(GL_FALSE, GL_FALSE, GL_FALSE));
}

void HDRPasses::createPostPasses()
{
    m_occlusionPass = {makeTargetCamera(1), makeFullScreenTriangle()};
    m_occlusionPass.camera->attach(osg::Camera::COLOR_BUFFER, m_occlusion.get());
    osg::StateSet& occlusion = *m_occlusionPass.quad->getStateSet();
    bindTexture(occlusion, 0, m_sceneDepth.get(), "depthTexture");
    for (osg::Uniform* uniform :
         {m_projection.get(), m_inverseProjection.get(), m_occlusionRadius.get()})
        occlusion.addUniform(uniform);
    occlusion.addUniform(new osg::Uniform("texelSize", osg::Vec2f()));

    // The first blur reads the full-size scene at its half-size level.
    const std::array<osg::Texture2D*, 2> sources{m_sceneColor.get(), m_bloom[0].get()};
    const std::array<float, 2> lodBias{1.0f, 0.0f};
    for (std::size_t i = 0; i < m_blurPasses.size(); ++i) {
        Pass& pass = m_blurPasses[i];
        pass = {makeTargetCamera(2 + static_cast<int>(i)), makeFullScreenTriangle()};
        pass.camera->attach(osg::Camera::COLOR_BUFFER, m_bloom[i].get(), 0, 0, i == 0);
        osg::StateSet& blur = *pass.quad->getStateSet();
        bindTexture(blur, 0, sources[i], "sourceTexture");
        blur.addUniform(m_blurStep[i].get());
        blur.addUniform(m_blurSigma[i].get());
        blur.addUniform(new osg::Uniform("lodBias", lodBias[i]));
    }

    for (Pass* pass : {&m_occlusionPass, &m_blurPasses[0], &m_blurPasses[1]}) {
        pass->camera->setClearMask(0);
        pass->camera->addChild(pass->quad.get());
    }

    m_combine = makeFullScreenTriangle();
    osg::StateSet& combine = *m_combine->getStateSet();
    combine.setRenderBinDetails(CombineRenderBin, "RenderBin");
    bindTexture(combine, 0, m_sceneColor.get(), "sceneColor");
    bindTexture(combine, 1, m_sceneDepth.get(), "sceneDepth");
    bindTexture(combine, 2, m_occlusion.get(), "occlusion");
    bindTexture(combine, 3, m_bloom[1].get(), "bloom");
    for (osg::Uniform* uniform :
         {m_inverseProjection.get(), m_occlusionTexel.get(), m_exposure.get(), m_gamma.get(),
          m_effectAmount.get(), m_useOcclusion.get(), m_useBloom.get(), m_combineBlend.get(),
          m_absColor.get()})
        combine.addUniform(uniform);
    // The scene's depth goes into the target as well; a scene without background leaves the
    // target's own colour where it drew nothing.
    combine.setAttributeAndModes(new osg::Depth(osg::Depth::ALWAYS, 0.0, 1.0, true), Protected);
    combine.setAttributeAndModes(
        new osg::BlendFunc(osg::BlendFunc::SRC_ALPHA, osg::BlendFunc::ONE_MINUS_SRC_ALPHA),
        Protected);
}

void HDRPasses::setPrograms(const HDRShaderSet& shaders)
{
    m_occlusionPass.quad->getStateSet()->setAttribute(
        shaders.program(HDRShaderSet::AmbientOcclusion), Protected);
    for (Pass& pass : m_blurPasses)
        pass.quad->getStateSet()->setAttribute(shaders.program(HDRShaderSet::Blur), Protected);
    m_combine->getStateSet()->setAttribute(shaders.program(HDRShaderSet::Combine), Protected);
}

void HDRPasses::cull(osgUtil::CullVisitor& cv, int width, int height, const osg::Vec4& clearColor)
{
    if (width <= 0 || height <= 0)
        return;
    if (width != m_width || height != m_height)
        resize(width, height);
    const bool bloom = m_parameters.effectAmount > 0.0f;
    setSceneMipmaps(bloom);
    updateSceneView(cv);
    updateUniforms();

    m_sceneCamera->setClearColor(clearColor);
    m_sceneCamera->accept(cv);
    if (m_parameters.ambientOcclusion)
        m_occlusionPass.camera->accept(cv);
    if (bloom)
        for (Pass& pass : m_blurPasses)
            pass.camera->accept(cv);
    m_combine->accept(cv);
}

void HDRPasses::resize(int width, int height)
{
    m_width = width;
    m_height = height;
    const int halfWidth = std::max(1, width / 2);
    const int halfHeight = std::max(1, height / 2);
    for (osg::Texture2D* texture : {m_sceneColor.get(), m_sceneDepth.get()})
        resizeTexture(*texture, width, height);
    // The occlusion is smooth and blurred anyway: half the size costs a quarter.
    for (osg::Texture2D* texture : {m_occlusion.get(), m_bloom[0].get(), m_bloom[1].get()})
        resizeTexture(*texture, halfWidth, halfHeight);

    m_sceneCamera->setViewport(0, 0, width, height);
    for (Pass* pass : {&m_occlusionPass, &m_blurPasses[0], &m_blurPasses[1]})
        pass->camera->setViewport(0, 0, halfWidth, halfHeight);
    for (osg::Camera* camera : {m_sceneCamera.get(), m_occlusionPass.camera.get(),
                                m_blurPasses[0].camera.get(), m_blurPasses[1].camera.get()})
        camera->dirtyAttachmentMap();

    m_occlusionTexel->set(osg::Vec2f(1.0f / halfWidth, 1.0f / halfHeight));
    m_occlusionPass.quad->getStateSet()
        ->getUniform("texelSize")
        ->set(osg::Vec2f(1.0f / width, 1.0f / height));
    m_blurStep[0]->set(osg::Vec2f(1.0f / halfWidth, 0.0f));
    m_blurStep[1]->set(osg::Vec2f(0.0f, 1.0f / halfHeight));
}

void HDRPasses::setSceneMipmaps(bool on)
{
    if (on == m_sceneMipmaps)
        return;
    // Only the bloom reads the coarser levels; making them costs a pass over the picture.
    m_sceneMipmaps = on;
    m_sceneCamera->attach(osg::Camera::COLOR_BUFFER, m_sceneColor.get(), 0, 0, on);
    m_sceneCamera->dirtyAttachmentMap();
}

// The scene pass looks as the camera above does, with near and far planes around the subtree,
// so that the projection the post-processing passes reconstruct positions with is known.
void HDRPasses::updateSceneView(osgUtil::CullVisitor& cv)
{
    const osg::Matrixd view = *cv.getModelViewMatrix();
    osg::Matrixd projection = *cv.getProjectionMatrix();
    m_subtreeRadius = 0.0;

    osg::ref_ptr<osg::Group> root;
    const osg::BoundingSphere bound =
        m_subtreeRoot.lock(root) ? root->osg::Group::computeBound() : osg::BoundingSphere();
    if (bound.valid() && bound.radius() > 0.0f) {
        m_subtreeRadius = bound.radius() * view.getScale().x();
        // A little more than the sphere, so that its nearest and farthest points stay inside.
        const double radius = m_subtreeRadius * 1.01;
        const double distance = -(osg::Vec3d(bound.center()) * view).z();
        double left, right, bottom, top, zNear, zFar;
        if (projection.getFrustum(left, right, bottom, top, zNear, zFar) &&
            distance + radius > 0.0) {
            const double farPlane = distance + radius;
            const double nearPlane = std::max(distance - radius, farPlane * NearFarRatio);
            const double scale = nearPlane / zNear;
            projection.makeFrustum(left * scale, right * scale, bottom * scale, top * scale,
                                   nearPlane, farPlane);
        } else if (projection.getOrtho(left, right, bottom, top, zNear, zFar)) {
            projection.makeOrtho(left, right, bottom, top, distance - radius, distance + radius);
        }
    }
    m_sceneCamera->setViewMatrix(view);
    m_sceneCamera->setProjectionMatrix(projection);
    m_projection->set(osg::Matrixf(projection));
    m_inverseProjection->set(osg::Matrixf(osg::Matrixd::inverse(projection)));
}

void HDRPasses::updateUniforms()
{
    const Parameters& p = m_parameters;
    m_exposure->set(p.exposure);
    m_gamma->set(p.gamma);
    m_effectAmount->set(p.effectAmount);
    m_useOcclusion->set(p.ambientOcclusion);
    m_useBloom->set(p.effectAmount > 0.0f);
    m_combineBlend->set(p.combineBlend);
    m_absColor->set(p.absColor);
    m_occlusionRadius->set(static_cast<float>(p.ambientOcclusionRadius * m_subtreeRadius));
    const float sigma =
        std::max(0.0f, p.blurAmount) * BlurSpreadPerUnit * std::max(1, m_height / 2);
    for (const auto& uniform : m_blurSigma)
        uniform->set(sigma);
}

void HDRPasses::resizeGLObjectBuffers(unsigned int maxSize)
{
    for (osg::Camera* camera : {m_sceneCamera.get(), m_occlusionPass.camera.get(),
                                m_blurPasses[0].camera.get(), m_blurPasses[1].camera.get()})
        camera->resizeGLObjectBuffers(maxSize);
    m_combine->resizeGLObjectBuffers(maxSize);
    for (osg::Texture2D* texture : {m_sceneColor.get(), m_sceneDepth.get(), m_occlusion.get(),
                                    m_bloom[0].get(), m_bloom[1].get()})
        texture->resizeGLObjectBuffers(maxSize);
}

void HDRPasses::releaseGLObjects(osg::State* state) const
{
    for (const osg::Camera* camera : {m_sceneCamera.get(), m_occlusionPass.camera.get(),
                                      m_blurPasses[0].camera.get(), m_blurPasses[1].camera.get()})
        camera->releaseGLObjects(state);
    m_combine->releaseGLObjects(state);
    for (const osg::Texture2D* texture : {m_sceneColor.get(), m_sceneDepth.get(), m_occlusion.get(),
                                          m_bloom[0].get(), m_bloom[1].get()})
        texture->releaseGLObjects(state);
}

} // namespace OSG
