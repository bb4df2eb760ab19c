#include "TextureReadBack.h"

#include <osg/BufferObject>
#include <osg/GLExtensions>
#include <osg/State>

namespace OSG {

TextureReadBack::TextureReadBack()
{
    setCullingActive(false);
    setSupportsDisplayList(false);
    setUseDisplayList(false);
    setDataVariance(osg::Object::DYNAMIC);
}

TextureReadBack::TextureReadBack(std::vector<Source> sources) : TextureReadBack()
{
    m_sources = std::move(sources);
}

TextureReadBack::TextureReadBack(const TextureReadBack& other, const osg::CopyOp& copyOp)
    : osg::Drawable(other, copyOp), m_sources(other.m_sources), m_enabled(other.m_enabled.load())
{}

TextureReadBack::~TextureReadBack() = default;

void TextureReadBack::drawImplementation(osg::RenderInfo& renderInfo) const
{
    if (!m_enabled)
        return;
    osg::State& state = *renderInfo.getState();
    const osg::GLExtensions* extensions = state.get<osg::GLExtensions>();
    if (extensions && extensions->isPBOSupported)
        extensions->glBindBuffer(GL_PIXEL_PACK_BUFFER_ARB, 0);

    bool complete = true;
    for (const Source& source : m_sources) {
        osg::Image* image = source.texture->getImage();
        osg::Texture::TextureObject* object =
            source.texture->getTextureObject(state.getContextID());
        if (!image || !image->data() || !object || object->_profile._width != image->s() ||
            object->_profile._height != image->t()) {
            complete = false;
            continue;
        }
        glBindTexture(GL_TEXTURE_2D, object->id());
        glGetTexImage(GL_TEXTURE_2D, 0, source.format, GL_FLOAT, image->data());
    }
    // The binding changed behind osg::State's back: make it bind again on next use.
    state.haveAppliedTextureAttribute(state.getActiveTextureUnit(), osg::StateAttribute::TEXTURE);
    if (complete)
        ++m_readCount;
}

} // namespace OSG
