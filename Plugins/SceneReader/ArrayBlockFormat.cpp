#include "ArrayBlockFormat.h"

#include <cstring>
#include <osg/Geometry>

namespace {

const char* const standInPrefix = "zelvista.array-block:";

template <class T> osg::ref_ptr<osg::Array> sized(std::size_t elements)
{
    return new T(static_cast<unsigned int>(elements));
}

} // namespace

std::uint32_t ArrayBlockFormat::kindOf(const osg::Array& array)
{
    return elementSize(array.getType()) > 0 ? std::uint32_t(array.getType()) : 0;
}

std::uint32_t ArrayBlockFormat::kindOf(const osg::PrimitiveSet& indices)
{
    const std::uint32_t kind = indexKindBase + std::uint32_t(indices.getType());
    return elementSize(kind) > 0 ? kind : 0;
}

std::size_t ArrayBlockFormat::elementSize(std::uint32_t kind)
{
    switch (kind) {
    case osg::Array::FloatArrayType:
        return sizeof(float);
    case osg::Array::Vec2ArrayType:
        return sizeof(osg::Vec2);
    case osg::Array::Vec3ArrayType:
        return sizeof(osg::Vec3);
    case osg::Array::Vec4ArrayType:
        return sizeof(osg::Vec4);
    case osg::Array::Vec4ubArrayType:
        return sizeof(osg::Vec4ub);
    case osg::Array::Vec2dArrayType:
        return sizeof(osg::Vec2d);
    case osg::Array::Vec3dArrayType:
        return sizeof(osg::Vec3d);
    case osg::Array::Vec4dArrayType:
        return sizeof(osg::Vec4d);
    case indexKindBase + osg::PrimitiveSet::DrawElementsUBytePrimitiveType:
        return sizeof(GLubyte);
    case indexKindBase + osg::PrimitiveSet::DrawElementsUShortPrimitiveType:
        return sizeof(GLushort);
    case indexKindBase + osg::PrimitiveSet::DrawElementsUIntPrimitiveType:
        return sizeof(GLuint);
    default:
        return 0;
    }
}

osg::ref_ptr<osg::Array> ArrayBlockFormat::makeArray(std::uint32_t kind, std::size_t elements)
{
    switch (kind) {
    case osg::Array::FloatArrayType:
        return sized<osg::FloatArray>(elements);
    case osg::Array::Vec2ArrayType:
        return sized<osg::Vec2Array>(elements);
    case osg::Array::Vec3ArrayType:
        return sized<osg::Vec3Array>(elements);
    case osg::Array::Vec4ArrayType:
        return sized<osg::Vec4Array>(elements);
    case osg::Array::Vec4ubArrayType:
        return sized<osg::Vec4ubArray>(elements);
    case osg::Array::Vec2dArrayType:
        return sized<osg::Vec2dArray>(elements);
    case osg::Array::Vec3dArrayType:
        return sized<osg::Vec3dArray>(elements);
    case osg::Array::Vec4dArrayType:
        return sized<osg::Vec4dArray>(elements);
    default:
        return nullptr;
    }
}

osg::ref_ptr<osg::DrawElements> ArrayBlockFormat::makeIndices(std::uint32_t kind, GLenum mode,
                                                              std::size_t elements)
{
    const auto count = static_cast<unsigned int>(elements);
    switch (kind) {
    case indexKindBase + osg::PrimitiveSet::DrawElementsUBytePrimitiveType:
        return new osg::DrawElementsUByte(mode, count);
    case indexKindBase + osg::PrimitiveSet::DrawElementsUShortPrimitiveType:
        return new osg::DrawElementsUShort(mode, count);
    case indexKindBase + osg::PrimitiveSet::DrawElementsUIntPrimitiveType:
        return new osg::DrawElementsUInt(mode, count);
    default:
        return nullptr;
    }
}

std::string ArrayBlockFormat::standInName(std::uint32_t block)
{
    return standInPrefix + std::to_string(block);
}

bool ArrayBlockFormat::looksLikeStandIn(const std::string& name)
{
    return name.compare(0, std::strlen(standInPrefix), standInPrefix) == 0;
}

bool ArrayBlockFormat::blockOfStandIn(const std::string& name, std::uint32_t& block)
{
    if (!looksLikeStandIn(name))
        return false;
    const std::string digits = name.substr(std::strlen(standInPrefix));
    if (digits.empty() || digits.size() > 7)
        return false;
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + std::uint32_t(c - '0');
    }
    block = value;
    return true;
}

void ArrayBlockFormat::forEachArray(osg::Geometry& geometry, const ArrayVisit& visit)
{
    osg::Geometry* g = &geometry;
    // Each setter keeps the binding the new array carries.
    if (osg::Array* array = g->getVertexArray())
        visit(*array, [g](osg::Array* other) { g->setVertexArray(other); });
    if (osg::Array* array = g->getNormalArray())
        visit(*array, [g](osg::Array* other) { g->setNormalArray(other); });
    if (osg::Array* array = g->getColorArray())
        visit(*array, [g](osg::Array* other) { g->setColorArray(other); });
    if (osg::Array* array = g->getSecondaryColorArray())
        visit(*array, [g](osg::Array* other) { g->setSecondaryColorArray(other); });
    if (osg::Array* array = g->getFogCoordArray())
        visit(*array, [g](osg::Array* other) { g->setFogCoordArray(other); });
    for (unsigned int i = 0; i < g->getNumTexCoordArrays(); ++i)
        if (osg::Array* array = g->getTexCoordArray(i))
            visit(*array, [g, i](osg::Array* other) { g->setTexCoordArray(i, other); });
    for (unsigned int i = 0; i < g->getNumVertexAttribArrays(); ++i)
        if (osg::Array* array = g->getVertexAttribArray(i))
            visit(*array, [g, i](osg::Array* other) { g->setVertexAttribArray(i, other); });
}
