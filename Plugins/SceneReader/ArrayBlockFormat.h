#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <osg/Array>
#include <osg/PrimitiveSet>
#include <string>

namespace osg {
class Geometry;
}

// How the reader helper hands a scene's large arrays to the program: as raw blocks in a memory
// file instead of element by element in the .osgb stream, which takes osgDB ten times longer.
// In the stream each such array is an empty stand-in of its class named after its block. The
// file holds a Header, then `count` Entries, then the blocks. The program trusts none of it.
class ArrayBlockFormat
{
public:
    static constexpr std::uint32_t magic = 0x5a4c4142;
    static constexpr std::uint32_t version = 1;
    static constexpr std::uint32_t maximumBlocks = 1 << 20;
    // Smaller arrays travel in the stream with the rest of the scene.
    static constexpr std::size_t minimumBlockBytes = 64 * 1024;
    static constexpr std::uint64_t blockAlignment = 64;
    // Kinds of index lists are their primitive set type plus this; kinds of arrays are their
    // array type. 0 is no kind.
    static constexpr std::uint32_t indexKindBase = 0x100;

    struct Header
    {
        std::uint32_t magic;
        std::uint32_t version;
        std::uint32_t count;
        std::uint32_t reserved;
    };

    struct Entry
    {
        std::uint32_t kind;
        std::uint32_t reserved;
        std::uint64_t elements;
        std::uint64_t offset;
        std::uint64_t bytes;
    };

    // 0 for an array or index list that is not carried in a block.
    static std::uint32_t kindOf(const osg::Array& array);
    static std::uint32_t kindOf(const osg::PrimitiveSet& indices);
    static bool isIndexKind(std::uint32_t kind) { return kind >= indexKindBase; }
    // Bytes of one element; 0 for an unknown kind.
    static std::size_t elementSize(std::uint32_t kind);
    // A new array (index list) of the kind with that many elements; null for another kind.
    static osg::ref_ptr<osg::Array> makeArray(std::uint32_t kind, std::size_t elements);
    static osg::ref_ptr<osg::DrawElements> makeIndices(std::uint32_t kind, GLenum mode,
                                                       std::size_t elements);

    // Calls visit for every array of the geometry, with what puts another array in its place.
    using ArrayVisit =
        std::function<void(osg::Array& array, const std::function<void(osg::Array*)>& replace)>;
    static void forEachArray(osg::Geometry& geometry, const ArrayVisit& visit);

    static std::string standInName(std::uint32_t block);
    // False for a name that is no stand-in's.
    static bool blockOfStandIn(const std::string& name, std::uint32_t& block);
    static bool looksLikeStandIn(const std::string& name);
};
