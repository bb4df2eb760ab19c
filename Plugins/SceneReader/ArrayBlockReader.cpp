#include "ArrayBlockReader.h"

#include "ArrayBlockFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <osg/Geometry>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Format = ArrayBlockFormat;

struct StandIn
{
    osg::Geometry* geometry = nullptr;
    std::uint32_t block = 0;
    std::uint32_t kind = 0;
    // What an index list's stand-in says about its primitives.
    GLenum mode = GL_TRIANGLES;
    int instances = 0;
    std::function<void(osg::BufferData*)> replace;
};

bool readAll(int fd, void* data, std::uint64_t size, std::uint64_t offset)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t count =
            ::pread(fd, bytes, std::min<std::uint64_t>(size, 1u << 30), static_cast<off_t>(offset));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes += count;
        size -= std::uint64_t(count);
        offset += std::uint64_t(count);
    }
    return true;
}

std::vector<StandIn> findStandIns(const std::vector<const osg::Node*>& nodes, std::string& error)
{
    std::vector<StandIn> standIns;
    for (const osg::Node* node : nodes) {
        auto* geometry = const_cast<osg::Geometry*>(node->asGeometry());
        if (!geometry)
            continue;
        Format::forEachArray(*geometry, [&](osg::Array& array, const auto& replace) {
            std::uint32_t block = 0;
            if (!Format::blockOfStandIn(array.getName(), block))
                return;
            if (array.getNumElements() != 0)
                error = "a stand-in for an array holds data of its own";
            standIns.push_back({geometry, block, Format::kindOf(array), GL_TRIANGLES, 0,
                                [replace, &array](osg::BufferData* data) {
                                    auto* taken = static_cast<osg::Array*>(data);
                                    taken->setBinding(array.getBinding());
                                    taken->setNormalize(array.getNormalize());
                                    replace(taken);
                                }});
        });
        auto& sets = geometry->getPrimitiveSetList();
        for (unsigned int i = 0; i < sets.size(); ++i) {
            std::uint32_t block = 0;
            osg::DrawElements* indices = sets[i] ? sets[i]->getDrawElements() : nullptr;
            if (!indices || !Format::blockOfStandIn(indices->getName(), block))
                continue;
            if (indices->getNumIndices() != 0)
                error = "a stand-in for an index list holds indices of its own";
            standIns.push_back({geometry, block, Format::kindOf(*indices), indices->getMode(),
                                indices->getNumInstances(), [geometry, i](osg::BufferData* data) {
                                    geometry->setPrimitiveSet(
                                        i, static_cast<osg::DrawElements*>(data));
                                }});
        }
    }
    return standIns;
}

std::string entryProblem(const Format::Entry& entry, std::uint64_t tableEnd, std::uint64_t fileSize)
{
    const std::size_t size = Format::elementSize(entry.kind);
    if (size == 0)
        return "a block has the unknown kind " + std::to_string(entry.kind);
    // Divisions, not products: a count of 2^62 must not wrap around to a fitting size.
    if (entry.elements > fileSize / size || entry.bytes != entry.elements * size)
        return "a block of " + std::to_string(entry.elements) + " elements claims " +
               std::to_string(entry.bytes) + " bytes";
    if (entry.elements > std::numeric_limits<unsigned int>::max())
        return "a block has more elements than an array can hold";
    if (entry.offset < tableEnd || entry.offset > fileSize || entry.bytes > fileSize - entry.offset)
        return "a block lies outside the " + std::to_string(fileSize) + " bytes of the file";
    return {};
}

// The table, checked against the file's size before anything is allocated for it.
std::vector<Format::Entry> readTable(int fd, std::string& error)
{
    struct stat info
    {};
    if (::fstat(fd, &info) != 0) {
        error = std::string("its arrays cannot be looked at: ") + std::strerror(errno);
        return {};
    }
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    Format::Header header{};
    if (fileSize < sizeof header || !readAll(fd, &header, sizeof header, 0)) {
        error = "its arrays are missing";
        return {};
    }
    if (header.magic != Format::magic || header.version != Format::version) {
        error = "its arrays come in an unknown form";
        return {};
    }
    const std::uint64_t tableEnd =
        sizeof header + std::uint64_t(header.count) * sizeof(Format::Entry);
    if (header.count > Format::maximumBlocks || tableEnd > fileSize) {
        error = "it announces " + std::to_string(header.count) + " array blocks";
        return {};
    }
    std::vector<Format::Entry> entries(header.count);
    if (!readAll(fd, entries.data(), entries.size() * sizeof(Format::Entry), sizeof header)) {
        error = "its array table cannot be read";
        return {};
    }
    for (const Format::Entry& entry : entries)
        if (!(error = entryProblem(entry, tableEnd, fileSize)).empty())
            return {};
    return entries;
}

osg::ref_ptr<osg::BufferData> readBlock(int fd, const Format::Entry& entry, const StandIn& standIn)
{
    osg::ref_ptr<osg::BufferData> data;
    if (Format::isIndexKind(entry.kind)) {
        osg::ref_ptr<osg::DrawElements> indices =
            Format::makeIndices(entry.kind, standIn.mode, entry.elements);
        if (indices)
            indices->setNumInstances(standIn.instances);
        data = indices;
    } else
        data = Format::makeArray(entry.kind, entry.elements);
    if (!data || (entry.bytes > 0 && !readAll(fd, const_cast<GLvoid*>(data->getDataPointer()),
                                              entry.bytes, entry.offset)))
        return nullptr;
    return data;
}

} // namespace

std::string ArrayBlockReader::restore(int fd, const std::vector<const osg::Node*>& nodes)
{
    std::string error;
    std::vector<StandIn> standIns = findStandIns(nodes, error);
    if (!error.empty() || standIns.empty())
        return error;
    if (fd < 0)
        return "it refers to array blocks, but none were sent";
    const std::vector<Format::Entry> entries = readTable(fd, error);
    if (!error.empty())
        return error;

    // One array for every block: a shared array stays shared.
    std::map<std::uint32_t, osg::ref_ptr<osg::BufferData>> taken;
    for (StandIn& standIn : standIns) {
        if (standIn.block >= entries.size())
            return "it refers to the array block " + std::to_string(standIn.block) + " of " +
                   std::to_string(entries.size());
        const Format::Entry& entry = entries[standIn.block];
        if (entry.kind != standIn.kind)
            return "an array block is not of the kind its stand-in needs";
        osg::ref_ptr<osg::BufferData>& data = taken[standIn.block];
        if (!data && !(data = readBlock(fd, entry, standIn)))
            return "an array block cannot be read";
        standIn.replace(data.get());
    }
    if (taken.size() != entries.size())
        return "it sent " + std::to_string(entries.size() - taken.size()) +
               " array blocks the scene does not use";
    return {};
}
