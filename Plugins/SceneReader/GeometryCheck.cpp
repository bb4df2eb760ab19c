#include "GeometryCheck.h"

#include <algorithm>
#include <cstdint>
#include <osg/Geometry>
#include <osg/PrimitiveSet>

namespace {

using Size = std::uint64_t;

// Vertices a primitive set reads: one past the highest vertex index, 0 when it draws none.
// Empty problem when it can be drawn.
struct Use
{
    Size vertices = 0;
    std::string problem;
};

template <class Elements> Use elementsUse(const Elements& elements)
{
    Use use;
    for (const auto index : elements)
        use.vertices = std::max<Size>(use.vertices, Size(index) + 1);
    return use;
}

Use rangeUse(GLint first, Size count)
{
    Use use;
    if (first < 0)
        use.problem = "a primitive set starts at the negative vertex " + std::to_string(first);
    else if (count > 0)
        use.vertices = Size(first) + count;
    return use;
}

bool knownMode(GLenum mode)
{
    return mode <= osg::PrimitiveSet::POLYGON ||
           (mode >= osg::PrimitiveSet::LINES_ADJACENCY && mode <= osg::PrimitiveSet::PATCHES);
}

Use primitiveUse(const osg::PrimitiveSet& set)
{
    if (!knownMode(set.getMode()))
        return {0, "a primitive set has the unknown mode " + std::to_string(set.getMode())};
    if (set.getNumInstances() < 0 ||
        static_cast<unsigned int>(set.getNumInstances()) > GeometryCheck::maximumInstances)
        return {0,
                "a primitive set asks for " + std::to_string(set.getNumInstances()) + " instances"};
    switch (set.getType()) {
    case osg::PrimitiveSet::DrawArraysPrimitiveType: {
        const auto& arrays = static_cast<const osg::DrawArrays&>(set);
        if (arrays.getCount() < 0)
            return {0,
                    "a primitive set has the negative count " + std::to_string(arrays.getCount())};
        return rangeUse(arrays.getFirst(), Size(arrays.getCount()));
    }
    case osg::PrimitiveSet::DrawArrayLengthsPrimitiveType: {
        const auto& lengths = static_cast<const osg::DrawArrayLengths&>(set);
        Size total = 0;
        for (const GLint length : lengths) {
            if (length < 0)
                return {0, "a primitive set has the negative length " + std::to_string(length)};
            total += Size(length);
        }
        return rangeUse(lengths.getFirst(), total);
    }
    case osg::PrimitiveSet::DrawElementsUBytePrimitiveType:
        return elementsUse(static_cast<const osg::DrawElementsUByte&>(set));
    case osg::PrimitiveSet::DrawElementsUShortPrimitiveType:
        return elementsUse(static_cast<const osg::DrawElementsUShort&>(set));
    case osg::PrimitiveSet::DrawElementsUIntPrimitiveType:
        return elementsUse(static_cast<const osg::DrawElementsUInt&>(set));
    case osg::PrimitiveSet::MultiDrawArraysPrimitiveType: {
        const auto& multi = static_cast<const osg::MultiDrawArrays&>(set);
        if (multi.getFirsts().size() != multi.getCounts().size())
            return {0, "a multi-draw primitive set has unequal first and count lists"};
        Use use;
        for (std::size_t i = 0; i < multi.getFirsts().size(); ++i) {
            if (multi.getCounts()[i] < 0)
                return {0, "a primitive set has the negative count " +
                               std::to_string(multi.getCounts()[i])};
            const Use range = rangeUse(multi.getFirsts()[i], Size(multi.getCounts()[i]));
            if (!range.problem.empty())
                return range;
            use.vertices = std::max(use.vertices, range.vertices);
        }
        return use;
    }
    default:
        return {0, std::string("primitive sets of the kind ") + set.className() +
                       " are not drawn by Zelvista"};
    }
}

bool knownBinding(osg::Array::Binding binding)
{
    switch (binding) {
    case osg::Array::BIND_UNDEFINED:
    case osg::Array::BIND_OFF:
    case osg::Array::BIND_OVERALL:
    case osg::Array::BIND_PER_PRIMITIVE_SET:
    case osg::Array::BIND_PER_VERTEX:
        return true;
    default:
        return false;
    }
}

bool isVertexArrayType(osg::Array::Type type)
{
    switch (type) {
    case osg::Array::Vec2ArrayType:
    case osg::Array::Vec3ArrayType:
    case osg::Array::Vec4ArrayType:
    case osg::Array::Vec2dArrayType:
    case osg::Array::Vec3dArrayType:
    case osg::Array::Vec4dArrayType:
        return true;
    default:
        return false;
    }
}

std::string arrayProblem(const char* role, const osg::Array& array, Size vertices,
                         Size primitiveSets)
{
    const Size size = array.getNumElements();
    const std::string counts = std::to_string(size) + " elements";
    switch (array.getBinding()) {
    case osg::Array::BIND_PER_VERTEX:
        if (size < vertices)
            return std::string("its ") + role + " array has " + counts + " for " +
                   std::to_string(vertices) + " vertices";
        break;
    case osg::Array::BIND_PER_PRIMITIVE_SET:
        if (size < primitiveSets)
            return std::string("its ") + role + " array has " + counts + " for " +
                   std::to_string(primitiveSets) + " primitive sets";
        break;
    case osg::Array::BIND_OVERALL:
        if (size == 0 && vertices > 0)
            return std::string("its ") + role + " array is empty";
        break;
    default:
        if (!knownBinding(array.getBinding()))
            return std::string("its ") + role + " array has the unknown binding " +
                   std::to_string(int(array.getBinding()));
    }
    return {};
}

} // namespace

std::string GeometryCheck::problem(const osg::Geometry& geometry)
{
    Size used = 0;
    for (const auto& set : geometry.getPrimitiveSetList()) {
        if (!set)
            return "it holds an empty primitive set";
        const Use use = primitiveUse(*set);
        if (!use.problem.empty())
            return use.problem;
        used = std::max(used, use.vertices);
    }
    const osg::Array* vertices = geometry.getVertexArray();
    if (vertices && !isVertexArrayType(vertices->getType()))
        return std::string("its vertex array is of the unusable kind ") + vertices->className();
    const Size vertexCount = vertices ? vertices->getNumElements() : 0;
    if (used > vertexCount)
        return "its primitive sets use " + std::to_string(used) + " vertices but it has " +
               std::to_string(vertexCount);

    const Size sets = geometry.getNumPrimitiveSets();
    std::string problem;
    auto check = [&](const char* role, const osg::Array* array) {
        if (array && problem.empty())
            problem = arrayProblem(role, *array, used, sets);
    };
    check("vertex", vertices);
    check("normal", geometry.getNormalArray());
    check("colour", geometry.getColorArray());
    check("secondary colour", geometry.getSecondaryColorArray());
    check("fog coordinate", geometry.getFogCoordArray());
    for (const auto& array : geometry.getTexCoordArrayList())
        check("texture coordinate", array.get());
    for (const auto& array : geometry.getVertexAttribArrayList())
        check("vertex attribute", array.get());
    return problem;
}
