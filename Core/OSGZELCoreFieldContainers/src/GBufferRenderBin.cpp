#include "GBufferRenderBin.h"

#include <osg/GLExtensions>
#include <osg/Geometry>
#include <osg/State>
#include <osgUtil/RenderBin>
#include <osgUtil/RenderLeaf>
#include <osgUtil/StateGraph>

namespace OSG {
namespace GBufferRenderBin {
namespace {

bool hasArray(const osg::Array* array)
{
    return array && array->getNumElements() > 0 && array->getBinding() != osg::Array::BIND_OFF;
}

unsigned int arrayBits(const osg::Drawable* drawable)
{
    const osg::Geometry* geometry = drawable ? drawable->asGeometry() : nullptr;
    // Text and other drawables have positions only.
    if (!geometry)
        return 1u;
    unsigned int bits = 0;
    if (hasArray(geometry->getVertexArray()))
        bits |= 1u;
    if (hasArray(geometry->getNormalArray()))
        bits |= 2u;
    if (hasArray(geometry->getColorArray()))
        bits |= 4u;
    for (unsigned int unit = 0; unit < 8; ++unit)
        if (hasArray(geometry->getTexCoordArray(unit)))
            bits |= 8u << unit;
    return bits;
}

// osgUtil::RenderBin::drawImplementation, with the drawable's arrays told before each leaf.
class DrawWithArrayBits : public osgUtil::RenderBin::DrawCallback
{
public:
    void drawImplementation(osgUtil::RenderBin* bin, osg::RenderInfo& renderInfo,
                            osgUtil::RenderLeaf*& previous) override
    {
        osg::State& state = *renderInfo.getState();
        const osg::GLExtensions* extensions = state.get<osg::GLExtensions>();

        unsigned int numToPop = previous ? osgUtil::StateGraph::numToPop(previous->_parent) : 0u;
        if (numToPop > 1)
            --numToPop;
        const unsigned int insertPosition = state.getStateSetStackSize() - numToPop;
        if (bin->getStateSet())
            state.insertStateSet(insertPosition, bin->getStateSet());

        auto& bins = bin->getRenderBinList();
        auto nested = bins.begin();
        for (; nested != bins.end() && nested->first < 0; ++nested)
            nested->second->draw(renderInfo, previous);
        for (osgUtil::RenderLeaf* leaf : bin->getRenderLeafList())
            render(extensions, *leaf, renderInfo, previous);
        for (osgUtil::StateGraph* graph : bin->getStateGraphList())
            for (const osg::ref_ptr<osgUtil::RenderLeaf>& leaf : graph->_leaves)
                render(extensions, *leaf, renderInfo, previous);
        for (; nested != bins.end(); ++nested)
            nested->second->draw(renderInfo, previous);

        if (bin->getStateSet())
            state.removeStateSet(insertPosition);
    }

private:
    static void render(const osg::GLExtensions* extensions, osgUtil::RenderLeaf& leaf,
                       osg::RenderInfo& renderInfo, osgUtil::RenderLeaf*& previous)
    {
        if (extensions && extensions->glVertexAttrib1f)
            extensions->glVertexAttrib1f(DrawableArraysLocation,
                                         static_cast<float>(arrayBits(leaf.getDrawable())));
        leaf.render(renderInfo, previous);
        previous = &leaf;
    }
};

// osgUtil keeps its prototypes in a static list; take ours out again while this library's code
// is still there to destroy it.
struct Registration
{
    Registration() : prototype(new osgUtil::RenderBin)
    {
        prototype->setDrawCallback(new DrawWithArrayBits);
        osgUtil::RenderBin::addRenderBinPrototype(binName, prototype.get());
    }
    ~Registration() { osgUtil::RenderBin::removeRenderBinPrototype(prototype.get()); }

    const std::string binName = "ZelColorMappingGBuffer";
    osg::ref_ptr<osgUtil::RenderBin> prototype;
};

} // namespace

const std::string& name()
{
    static const Registration registration;
    return registration.binName;
}

} // namespace GBufferRenderBin
} // namespace OSG
