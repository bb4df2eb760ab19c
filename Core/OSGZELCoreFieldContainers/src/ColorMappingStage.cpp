#include "OSGZELCoreFieldContainers/ColorMappingStage.h"

#include "GBufferRenderBin.h"
#include "Logger/Log.h"
#include "OSGZELCoreFieldContainers/RenderTarget.h"
#include "TextureReadBack.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <osg/BlendFunc>
#include <osg/Depth>
#include <osg/Geometry>
#include <osg/Program>
#include <osg/Texture2D>
#include <osgUtil/CullVisitor>

namespace OSG {

const char* const ColorMappingStage::AttributeNames[11] = {
    "Position",  "Normal",    "VertexColor", "TexCoord0", "TexCoord1", "TexCoord2",
    "TexCoord3", "TexCoord4", "TexCoord5",   "TexCoord6", "TexCoord7"};

namespace {

constexpr std::streamoff MaximumShaderSize = 1 << 20;
const osg::StateAttribute::GLModeValue Forced =
    osg::StateAttribute::OVERRIDE | osg::StateAttribute::PROTECTED;

// Reads a shader file; an empty result means it could not be read and was reported.
std::string readShaderSource(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ZEL_ERROR << "ColorMappingStage::setShaderPath: Cannot open the shader " << path << "\n";
        return {};
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > MaximumShaderSize) {
        ZEL_ERROR << "ColorMappingStage::setShaderPath: The shader " << path
                  << " is empty or too large (" << size << " bytes)\n";
        return {};
    }
    in.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size)) {
        ZEL_ERROR << "ColorMappingStage::setShaderPath: Cannot read the shader " << path << "\n";
        return {};
    }
    return text;
}

osg::ref_ptr<osg::Program> loadProgram(const std::string& folder, const char* vertexFile,
                                       const char* fragmentFile)
{
    const std::string separator = folder.empty() || folder.back() == '/' ? "" : "/";
    const std::string vertex = readShaderSource(folder + separator + vertexFile);
    const std::string fragment =
        vertex.empty() ? std::string() : readShaderSource(folder + separator + fragmentFile);
    if (fragment.empty())
        return nullptr;
    osg::ref_ptr<osg::Program> program = new osg::Program;
    program->setName(fragmentFile);
    program->addShader(new osg::Shader(osg::Shader::VERTEX, vertex));
    program->addShader(new osg::Shader(osg::Shader::FRAGMENT, fragment));
    return program;
}

osg::ref_ptr<osg::Texture2D> makeFloatTexture(GLint internalFormat, GLenum imageFormat)
{
    osg::ref_ptr<osg::Texture2D> texture = new osg::Texture2D;
    texture->setInternalFormatMode(osg::Texture::USE_USER_DEFINED_FORMAT);
    texture->setInternalFormat(internalFormat);
    texture->setSourceType(GL_FLOAT);
    texture->setResizeNonPowerOfTwoHint(false);
    texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::NEAREST);
    texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::NEAREST);
    texture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    texture->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->setPixelFormat(imageFormat);
    image->setDataType(GL_FLOAT);
    texture->setImage(image.get());
    return texture;
}

// Clip-space quad: the quad vertex shader passes positions through.
osg::ref_ptr<osg::Geometry> makeScreenQuad()
{
    osg::ref_ptr<osg::Geometry> quad = osg::createTexturedQuadGeometry(
        osg::Vec3(-1.0f, -1.0f, 0.0f), osg::Vec3(2.0f, 0.0f, 0.0f), osg::Vec3(0.0f, 2.0f, 0.0f));
    quad->setCullingActive(false);
    quad->setUseDisplayList(false);
    return quad;
}

osg::ref_ptr<osg::Camera> makeQuadCamera(osg::Camera::RenderOrder order, int orderNumber)
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    camera->setViewMatrix(osg::Matrix::identity());
    camera->setProjectionMatrix(osg::Matrix::identity());
    camera->setRenderOrder(order, orderNumber);
    camera->setInheritanceMask(camera->getInheritanceMask() &
                               ~osg::CullSettings::COMPUTE_NEAR_FAR_MODE);
    camera->setComputeNearFarMode(osg::CullSettings::DO_NOT_COMPUTE_NEAR_FAR);
    camera->setClearMask(0);
    camera->addChild(makeScreenQuad());
    osg::StateSet* state = camera->getOrCreateStateSet();
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF | Forced);
    state->setMode(GL_BLEND, osg::StateAttribute::OFF | Forced);
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | Forced);
    return camera;
}

// Draws the stage's children from inside the G-buffer camera: they stay the stage's children,
// as in every stage, and are drawn only in this pass.
class StageChildren : public osg::Node
{
public:
    explicit StageChildren(osg::Group* stage) : m_stage(stage) { setCullingActive(false); }

    void traverse(osg::NodeVisitor& nv) override
    {
        for (unsigned int i = 0; i < m_stage->getNumChildren(); ++i)
            m_stage->getChild(i)->accept(nv);
    }

private:
    osg::Group* m_stage;
};

osg::Vec4 componentMask(const std::string& name)
{
    if (name == "y")
        return {0, 1, 0, 0};
    if (name == "z")
        return {0, 0, 1, 0};
    if (name == "w")
        return {0, 0, 0, 1};
    return {1, 0, 0, 0};
}

} // namespace

struct ColorMappingStage::Passes
{
    explicit Passes(ColorMappingStage* stage);

    void resize(int width, int height);
    void showFinalImage();

    std::string shaderPath;
    std::string attribute = "Position";
    std::string component = "x";
    float minimum = 0.0f;
    float inverseSpan = 1.0f;
    bool banding = false;
    int bands = 8;
    bool updateGBuffer = true;
    bool doMapping = true;
    bool doFinal = true;
    int width = 0;
    int height = 0;

    osg::ref_ptr<osg::Texture2D> positions = makeFloatTexture(GL_RGBA32F_ARB, GL_RGBA);
    osg::ref_ptr<osg::Texture2D> attributes = makeFloatTexture(GL_RG32F, GL_RED);
    osg::ref_ptr<osg::Texture2D> scene = makeFloatTexture(GL_RGBA32F_ARB, GL_RGB);
    osg::ref_ptr<osg::Texture2D> mapped = new osg::Texture2D;
    osg::ref_ptr<osg::Texture2D> colorMap;

    osg::ref_ptr<osg::Camera> gBuffer = new osg::Camera;
    osg::ref_ptr<osg::Group> gBufferContent = new osg::Group;
    osg::ref_ptr<osg::Camera> mapping = makeQuadCamera(osg::Camera::PRE_RENDER, 1);
    osg::ref_ptr<osg::Camera> final = makeQuadCamera(osg::Camera::NESTED_RENDER, 0);
    osg::ref_ptr<TextureReadBack> readBack;

    osg::ref_ptr<osg::Uniform> viewToWorld =
        new osg::Uniform(osg::Uniform::FLOAT_MAT4, "zelViewToWorld");
    osg::ref_ptr<osg::Uniform> attributeIndex = new osg::Uniform("zelAttribute", 0);
    osg::ref_ptr<osg::Uniform> componentSelect =
        new osg::Uniform("zelComponent", osg::Vec4(1, 0, 0, 0));
    osg::ref_ptr<osg::Uniform> minimumUniform = new osg::Uniform("zelMinimum", 0.0f);
    osg::ref_ptr<osg::Uniform> inverseSpanUniform = new osg::Uniform("zelInverseSpan", 1.0f);
    osg::ref_ptr<osg::Uniform> bandsUniform = new osg::Uniform("zelBands", 0);
    osg::ref_ptr<osg::Uniform> colorMapSize = new osg::Uniform("zelColorMapSize", 1.0f);
};

ColorMappingStage::Passes::Passes(ColorMappingStage* stage)
{
    readBack = new TextureReadBack({{positions, GL_RGBA}, {attributes, GL_RED}, {scene, GL_RGB}});
    for (osg::Uniform* uniform :
         {viewToWorld.get(), minimumUniform.get(), inverseSpanUniform.get(), bandsUniform.get(),
          attributeIndex.get(), componentSelect.get(), colorMapSize.get()})
        uniform->setDataVariance(osg::Object::DYNAMIC);

    mapped->setInternalFormat(GL_RGBA8);
    mapped->setResizeNonPowerOfTwoHint(false);
    mapped->setFilter(osg::Texture::MIN_FILTER, osg::Texture::NEAREST);
    mapped->setFilter(osg::Texture::MAG_FILTER, osg::Texture::NEAREST);

    // The scene, as the stage's view sees it, into three float targets.
    gBuffer->setReferenceFrame(osg::Transform::RELATIVE_RF);
    gBuffer->setViewMatrix(osg::Matrix::identity());
    gBuffer->setProjectionMatrix(osg::Matrix::identity());
    gBuffer->setRenderOrder(osg::Camera::PRE_RENDER, 0);
    gBuffer->setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
    // A fourth position component of 1 marks a pixel without a surface.
    gBuffer->setClearColor(osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    gBuffer->setClearMask(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gBuffer->addChild(gBufferContent.get());
    gBufferContent->addChild(new StageChildren(stage));
    osg::StateSet* gBufferState = gBufferContent->getOrCreateStateSet();
    gBufferState->setRenderBinDetails(1, GBufferRenderBin::name(),
                                      osg::StateSet::OVERRIDE_RENDERBIN_DETAILS);
    // Blending would mix positions and values of different surfaces.
    gBufferState->setMode(GL_BLEND, osg::StateAttribute::OFF | Forced);
    gBufferState->addUniform(viewToWorld.get());
    gBufferState->addUniform(attributeIndex.get());
    gBufferState->addUniform(componentSelect.get());

    osg::StateSet* mappingState = mapping->getOrCreateStateSet();
    mapping->setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
    mappingState->setTextureAttribute(0, positions.get());
    mappingState->setTextureAttribute(1, attributes.get());
    mappingState->addUniform(new osg::Uniform("zelPositions", 0));
    mappingState->addUniform(new osg::Uniform("zelAttributes", 1));
    mappingState->addUniform(new osg::Uniform("zelColorMap", 2));
    mappingState->addUniform(minimumUniform.get());
    mappingState->addUniform(inverseSpanUniform.get());
    mappingState->addUniform(bandsUniform.get());
    mappingState->addUniform(colorMapSize.get());

    osg::StateSet* finalState = final->getOrCreateStateSet();
    finalState->setTextureAttribute(1, positions.get());
    finalState->addUniform(new osg::Uniform("zelImage", 0));
    finalState->addUniform(new osg::Uniform("zelPositions", 1));
    showFinalImage();
}

void ColorMappingStage::Passes::resize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    for (osg::Texture2D* texture : {positions.get(), attributes.get(), scene.get()}) {
        osg::Image* image = texture->getImage();
        image->allocateImage(width, height, 1, image->getPixelFormat(), GL_FLOAT);
        // allocateImage resets it; the texture's own format decides, but keep the image honest.
        image->setInternalTextureFormat(texture->getInternalFormat());
        std::fill_n(image->data(), image->getTotalSizeInBytes(), 0);
        // The frame buffer objects must attach textures of the new size, not the old objects.
        texture->dirtyTextureObject();
    }
    mapped->setTextureSize(width, height);
    mapped->dirtyTextureObject();

    // New attachments make the cameras build new frame buffer objects.
    gBuffer->setViewport(0, 0, width, height);
    gBuffer->attach(osg::Camera::COLOR_BUFFER0, positions.get());
    gBuffer->attach(osg::Camera::COLOR_BUFFER1, attributes.get());
    gBuffer->attach(osg::Camera::COLOR_BUFFER2, scene.get());
    gBuffer->attach(osg::Camera::DEPTH_BUFFER, GL_DEPTH_COMPONENT24);
    gBuffer->dirtyAttachmentMap();
    mapping->setViewport(0, 0, width, height);
    mapping->attach(osg::Camera::COLOR_BUFFER0, mapped.get());
    mapping->dirtyAttachmentMap();
}

void ColorMappingStage::Passes::showFinalImage()
{
    final->getOrCreateStateSet()->setTextureAttribute(0, doMapping ? mapped.get() : scene.get());
}

ColorMappingStage::ColorMappingStage() : m_passes(std::make_unique<Passes>(this)) {}

ColorMappingStage::ColorMappingStage(const ColorMappingStage& other, const osg::CopyOp& copyOp)
    : Stage(other, copyOp), m_passes(std::make_unique<Passes>(this))
{
    setShaderPath(other.getShaderPath());
    setColorMapTexture(other.getColorMapTexture());
    setColorMappedAttribute(other.getColorMappedAttribute());
    setColorMappedComponent(other.getColorMappedComponent());
    setColorMappingMin(other.getColorMappingMin());
    setInvColorMappingSpan(other.getInvColorMappingSpan());
    setColorMappingBanding(other.getColorMappingBanding());
    setColorMappingNumBands(other.getColorMappingNumBands());
    setUpdateGBuffer(other.getUpdateGBuffer());
    setDoColorMappingPass(other.getDoColorMappingPass());
    setDoFinalRenderPass(other.getDoFinalRenderPass());
}

ColorMappingStage::~ColorMappingStage() = default;

void ColorMappingStage::setShaderPath(const std::string& path)
{
    Passes& passes = *m_passes;
    passes.shaderPath = path;
    // The first shader that cannot be read is reported; the stage then has none.
    osg::ref_ptr<osg::Program> gBuffer =
        loadProgram(path, "ColorMappingGBuffer.vert", "ColorMappingGBuffer.frag");
    osg::ref_ptr<osg::Program> mapping =
        gBuffer ? loadProgram(path, "ColorMappingQuad.vert", "ColorMapping.frag") : nullptr;
    osg::ref_ptr<osg::Program> final =
        mapping ? loadProgram(path, "ColorMappingQuad.vert", "ColorMappingFinal.frag") : nullptr;
    if (!final)
        gBuffer = mapping = nullptr;
    else
        gBuffer->addBindAttribLocation("zelDrawableArrays",
                                       GBufferRenderBin::DrawableArraysLocation);
    auto setProgram = [](osg::Node& node, osg::Program* program) {
        osg::StateSet* state = node.getOrCreateStateSet();
        if (program)
            state->setAttributeAndModes(program, osg::StateAttribute::ON | Forced);
        else
            state->removeAttribute(osg::StateAttribute::PROGRAM);
    };
    setProgram(*passes.gBufferContent, gBuffer.get());
    setProgram(*passes.mapping, mapping.get());
    setProgram(*passes.final, final.get());
}

const std::string& ColorMappingStage::getShaderPath() const
{
    return m_passes->shaderPath;
}

bool ColorMappingStage::hasShaders() const
{
    return m_passes->final->getStateSet()->getAttribute(osg::StateAttribute::PROGRAM) != nullptr;
}

void ColorMappingStage::setColorMapTexture(osg::Texture2D* texture)
{
    m_passes->colorMap = texture;
    osg::StateSet* state = m_passes->mapping->getOrCreateStateSet();
    if (texture)
        state->setTextureAttribute(2, texture);
    else
        state->removeTextureAttribute(2, osg::StateAttribute::TEXTURE);
}

osg::Texture2D* ColorMappingStage::getColorMapTexture() const
{
    return m_passes->colorMap.get();
}

void ColorMappingStage::setColorMappedAttribute(const std::string& name)
{
    m_passes->attribute = name;
    const auto* end = std::end(AttributeNames);
    const auto* found = std::find_if(std::begin(AttributeNames), end,
                                     [&name](const char* known) { return name == known; });
    if (found == end)
        ZEL_WARN << "ColorMappingStage::setColorMappedAttribute: Unknown attribute \"" << name
                 << "\"; it is drawn as one the geometry does not have\n";
    m_passes->attributeIndex->set(found == end ? -1 : int(found - std::begin(AttributeNames)));
}

const std::string& ColorMappingStage::getColorMappedAttribute() const
{
    return m_passes->attribute;
}

void ColorMappingStage::setColorMappedComponent(const std::string& name)
{
    m_passes->component = name;
    if (name != "x" && name != "y" && name != "z" && name != "w")
        ZEL_WARN << "ColorMappingStage::setColorMappedComponent: Unknown component \"" << name
                 << "\"; x is used\n";
    m_passes->componentSelect->set(componentMask(name));
}

const std::string& ColorMappingStage::getColorMappedComponent() const
{
    return m_passes->component;
}

void ColorMappingStage::setColorMappingMin(float minimum)
{
    m_passes->minimum = minimum;
    m_passes->minimumUniform->set(minimum);
}

float ColorMappingStage::getColorMappingMin() const
{
    return m_passes->minimum;
}

void ColorMappingStage::setInvColorMappingSpan(float inverseSpan)
{
    m_passes->inverseSpan = inverseSpan;
    m_passes->inverseSpanUniform->set(inverseSpan);
}

float ColorMappingStage::getInvColorMappingSpan() const
{
    return m_passes->inverseSpan;
}

void ColorMappingStage::setColorMappingBanding(bool banding)
{
    m_passes->banding = banding;
    m_passes->bandsUniform->set(banding ? m_passes->bands : 0);
}

bool ColorMappingStage::getColorMappingBanding() const
{
    return m_passes->banding;
}

void ColorMappingStage::setColorMappingNumBands(int bands)
{
    m_passes->bands = std::max(bands, 1);
    setColorMappingBanding(m_passes->banding);
}

int ColorMappingStage::getColorMappingNumBands() const
{
    return m_passes->bands;
}

void ColorMappingStage::setUpdateGBuffer(bool on)
{
    m_passes->updateGBuffer = on;
}

bool ColorMappingStage::getUpdateGBuffer() const
{
    return m_passes->updateGBuffer;
}

void ColorMappingStage::setDoColorMappingPass(bool on)
{
    m_passes->doMapping = on;
    m_passes->showFinalImage();
}

bool ColorMappingStage::getDoColorMappingPass() const
{
    return m_passes->doMapping;
}

void ColorMappingStage::setDoFinalRenderPass(bool on)
{
    m_passes->doFinal = on;
}

bool ColorMappingStage::getDoFinalRenderPass() const
{
    return m_passes->doFinal;
}

void ColorMappingStage::setEnableReadBack(bool on)
{
    m_passes->readBack->setEnabled(on);
}

bool ColorMappingStage::getEnableReadBack() const
{
    return m_passes->readBack->isEnabled();
}

unsigned int ColorMappingStage::getReadBackCount() const
{
    return m_passes->readBack->readCount();
}

osg::Texture2D* ColorMappingStage::getPositionsGBufferTexture() const
{
    return m_passes->positions.get();
}

osg::Texture2D* ColorMappingStage::getColorMappedAttributeGBufferTexture() const
{
    return m_passes->attributes.get();
}

osg::Texture2D* ColorMappingStage::getSceneTexture() const
{
    return m_passes->scene.get();
}

void ColorMappingStage::traverse(osg::NodeVisitor& nv)
{
    auto* cull = nv.asCullVisitor();
    if (!cull) {
        Stage::traverse(nv);
        return;
    }
    cullBackground(nv);
    Passes& passes = *m_passes;
    const osg::Viewport* viewport = cull->getViewport();
    if (!hasShaders() || !viewport)
        return;
    const int width = static_cast<int>(viewport->width());
    const int height = static_cast<int>(viewport->height());
    if (width <= 0 || height <= 0)
        return;
    if (width != passes.width || height != passes.height)
        passes.resize(width, height);

    // World space is the space of the stage's subtree: undo the view the stage is seen with.
    passes.viewToWorld->set(osg::Matrixf(osg::Matrix::inverse(*cull->getModelViewMatrix())));
    const osg::Image* map = passes.colorMap ? passes.colorMap->getImage() : nullptr;
    passes.colorMapSize->set(static_cast<float>(map && map->s() > 0 ? map->s() : 1));

    if (passes.updateGBuffer)
        passes.gBuffer->accept(nv);
    if (passes.doMapping && passes.colorMap)
        passes.mapping->accept(nv);
    if (passes.doFinal)
        passes.final->accept(nv);
    passes.readBack->accept(nv);
}

void ColorMappingStage::resizeGLObjectBuffers(unsigned int maxSize)
{
    Stage::resizeGLObjectBuffers(maxSize);
    for (osg::Camera* camera :
         {m_passes->gBuffer.get(), m_passes->mapping.get(), m_passes->final.get()})
        camera->resizeGLObjectBuffers(maxSize);
    if (m_passes->colorMap)
        m_passes->colorMap->resizeGLObjectBuffers(maxSize);
}

void ColorMappingStage::releaseGLObjects(osg::State* state) const
{
    Stage::releaseGLObjects(state);
    for (const osg::Camera* camera :
         {m_passes->gBuffer.get(), m_passes->mapping.get(), m_passes->final.get()})
        camera->releaseGLObjects(state);
    for (const osg::Texture2D* texture : {m_passes->positions.get(), m_passes->attributes.get(),
                                          m_passes->scene.get(), m_passes->mapped.get()})
        texture->releaseGLObjects(state);
    if (m_passes->colorMap)
        m_passes->colorMap->releaseGLObjects(state);
}

} // namespace OSG
