#include "ArrayBlockWriter.h"

#include "ArrayBlockFormat.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <unistd.h>
#include <vector>

namespace {

using Format = ArrayBlockFormat;

struct Block
{
    Format::Entry entry{};
    // Keeps the data alive until it is written.
    osg::ref_ptr<const osg::BufferData> data;
};

// Replaces large arrays by stand-ins, each shared array by one stand-in.
class StandInVisitor : public osg::NodeVisitor
{
public:
    StandInVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) { setNodeMaskOverride(~0u); }

    void apply(osg::Geometry& geometry) override
    {
        Format::forEachArray(geometry, [this](osg::Array& array, const auto& replace) {
            if (osg::Array* standIn = standInFor(array))
                replace(standIn);
        });
        auto& sets = geometry.getPrimitiveSetList();
        for (unsigned int i = 0; i < sets.size(); ++i)
            if (sets[i] && sets[i]->getDrawElements())
                if (osg::DrawElements* standIn = standInFor(*sets[i]->getDrawElements()))
                    geometry.setPrimitiveSet(i, standIn);
    }

    std::vector<Block> blocks;

private:
    bool carried(const osg::BufferData& data, std::uint32_t kind)
    {
        return kind != 0 && blocks.size() < Format::maximumBlocks &&
               data.getTotalDataSize() >= Format::minimumBlockBytes;
    }

    void addBlock(const osg::BufferData& data, std::uint32_t kind, std::size_t elements)
    {
        Block block;
        block.entry.kind = kind;
        block.entry.elements = elements;
        block.entry.bytes = data.getTotalDataSize();
        block.data = &data;
        blocks.push_back(block);
    }

    osg::Array* standInFor(osg::Array& array)
    {
        if (Format::looksLikeStandIn(array.getName()))
            array.setName({}); // a file's own name must not pass for a stand-in
        const auto known = m_standIns.find(&array);
        if (known != m_standIns.end())
            return static_cast<osg::Array*>(known->second.get());
        const std::uint32_t kind = Format::kindOf(array);
        if (!carried(array, kind))
            return nullptr;
        osg::ref_ptr<osg::Array> standIn = Format::makeArray(kind, 0);
        standIn->setName(Format::standInName(std::uint32_t(blocks.size())));
        standIn->setBinding(array.getBinding());
        standIn->setNormalize(array.getNormalize());
        addBlock(array, kind, array.getNumElements());
        m_standIns[&array] = standIn;
        return standIn.get();
    }

    osg::DrawElements* standInFor(osg::DrawElements& indices)
    {
        if (Format::looksLikeStandIn(indices.getName()))
            indices.setName({});
        const auto known = m_standIns.find(&indices);
        if (known != m_standIns.end())
            return static_cast<osg::DrawElements*>(known->second.get());
        const std::uint32_t kind = Format::kindOf(indices);
        if (!carried(indices, kind))
            return nullptr;
        osg::ref_ptr<osg::DrawElements> standIn = Format::makeIndices(kind, indices.getMode(), 0);
        standIn->setName(Format::standInName(std::uint32_t(blocks.size())));
        standIn->setNumInstances(indices.getNumInstances());
        addBlock(indices, kind, indices.getNumIndices());
        m_standIns[&indices] = standIn;
        return standIn.get();
    }

    std::map<const osg::Object*, osg::ref_ptr<osg::Object>> m_standIns;
};

bool writeAll(int fd, const void* data, std::uint64_t size, std::uint64_t offset,
              std::string& error)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, bytes, std::min<std::uint64_t>(size, 1u << 30),
                                         static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error = std::string("writing the arrays failed: ") + std::strerror(errno);
            return false;
        }
        bytes += written;
        size -= std::uint64_t(written);
        offset += std::uint64_t(written);
    }
    return true;
}

// The test build can make the helper lie about its blocks, as a helper taken over by a
// crafted file could; the program must refuse every such lie.
void lieForTests(std::vector<Block>& blocks, std::uint64_t fileEnd)
{
#if defined(ZELVISTA_TEST_HOOKS)
    const char* lie = std::getenv("ZELVISTA_TEST_ARRAY_BLOCK_LIE");
    if (!lie || blocks.empty())
        return;
    const std::string kind = lie;
    for (Block& block : blocks) {
        Format::Entry& entry = block.entry;
        const bool index = Format::isIndexKind(entry.kind);
        if (kind == "short" && !index) {
            entry.elements /= 2;
            entry.bytes = entry.elements * Format::elementSize(entry.kind);
            return;
        }
        if (kind == "overflow") {
            // For 4, 12 and 16 bytes an element, elements * size wraps to the true byte count.
            entry.elements += std::uint64_t(1) << 62;
            return;
        }
        if (kind == "beyond") {
            entry.offset = fileEnd + Format::blockAlignment;
            return;
        }
    }
#else
    static_cast<void>(blocks);
    static_cast<void>(fileEnd);
#endif
}

// The index lie changes the data itself: one index far past the vertices.
void lieInIndices(const Block& block, std::vector<char>& copy)
{
#if defined(ZELVISTA_TEST_HOOKS)
    const char* lie = std::getenv("ZELVISTA_TEST_ARRAY_BLOCK_LIE");
    if (!lie || std::string(lie) != "index" ||
        block.entry.kind !=
            Format::indexKindBase + osg::PrimitiveSet::DrawElementsUIntPrimitiveType)
        return;
    const auto* data = static_cast<const char*>(block.data->getDataPointer());
    copy.assign(data, data + block.entry.bytes);
    const GLuint far = 400000000;
    std::memcpy(copy.data(), &far, sizeof far);
#else
    static_cast<void>(block);
    static_cast<void>(copy);
#endif
}

} // namespace

bool ArrayBlockWriter::moveArrays(osg::Node& scene, std::string& error)
{
    StandInVisitor visitor;
    scene.accept(visitor);
    std::vector<Block>& blocks = visitor.blocks;

    const std::uint64_t tableEnd = sizeof(Format::Header) + blocks.size() * sizeof(Format::Entry);
    std::uint64_t offset = tableEnd;
    for (Block& block : blocks) {
        offset =
            (offset + Format::blockAlignment - 1) / Format::blockAlignment * Format::blockAlignment;
        block.entry.offset = offset;
        offset += block.entry.bytes;
    }
    const std::uint64_t fileEnd = offset;
    for (const Block& block : blocks) {
        std::vector<char> changed;
        lieInIndices(block, changed);
        const void* data = changed.empty() ? block.data->getDataPointer() : changed.data();
        if (!writeAll(m_fd, data, block.entry.bytes, block.entry.offset, error))
            return false;
    }
    lieForTests(blocks, fileEnd);

    Format::Header header{Format::magic, Format::version, std::uint32_t(blocks.size()), 0};
    std::vector<Format::Entry> entries;
    for (const Block& block : blocks)
        entries.push_back(block.entry);
    return writeAll(m_fd, &header, sizeof header, 0, error) &&
           writeAll(m_fd, entries.data(), entries.size() * sizeof(Format::Entry), sizeof header,
                    error);
}
