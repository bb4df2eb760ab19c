#pragma once

#include <atomic>
#include <osg/Drawable>
#include <osg/Texture2D>
#include <vector>

namespace OSG {

// Copies textures into their images when drawn, while switched on. Drawn after the passes that
// render the textures, so the images hold the frame when the frame is done. The images keep
// their modified count: the textures must not upload them again.
class TextureReadBack : public osg::Drawable
{
public:
    struct Source
    {
        osg::ref_ptr<osg::Texture2D> texture;
        // The pixel format the image holds (GL_RGBA, GL_RED, ...), as 32-bit floats.
        GLenum format;
    };

    explicit TextureReadBack(std::vector<Source> sources);
    TextureReadBack(const TextureReadBack& other,
                    const osg::CopyOp& copyOp = osg::CopyOp::SHALLOW_COPY);

    META_Object(OSG, TextureReadBack)

        void setEnabled(bool on)
    {
        m_enabled = on;
    }
    bool isEnabled() const { return m_enabled; }
    unsigned int readCount() const { return m_readCount; }

    void drawImplementation(osg::RenderInfo& renderInfo) const override;

protected:
    TextureReadBack();
    ~TextureReadBack() override;

private:
    std::vector<Source> m_sources;
    std::atomic<bool> m_enabled{false};
    mutable std::atomic<unsigned int> m_readCount{0};
};

} // namespace OSG
