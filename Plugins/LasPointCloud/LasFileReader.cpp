#include "LasFileReader.h"

#include "LasHeader.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t RecordsPerChunk = 65536;

// Closes the file however the read ends.
struct FileDescriptor
{
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd;
};

bool readAt(int fd, unsigned char* buffer, std::size_t size, std::uint64_t at)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, buffer, size, off_t(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer += got;
        size -= std::size_t(got);
        at += std::uint64_t(got);
    }
    return true;
}

std::int32_t int32At(const unsigned char* bytes)
{
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= std::uint32_t(bytes[i]) << (8 * i);
    std::int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float colourAt(const unsigned char* bytes)
{
    return float(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8) / 65535.0f;
}

osg::ref_ptr<osg::Node> makePoints(osg::Vec3Array* vertices, osg::Vec3Array* colours,
                                   const osg::Vec3d& origin, const std::string& name)
{
    osg::ref_ptr<osg::Geometry> points = new osg::Geometry;
    points->setName(name);
    points->setUseDisplayList(false);
    points->setUseVertexBufferObjects(true);
    points->setVertexArray(vertices);
    if (colours) {
        points->setColorArray(colours, osg::Array::BIND_PER_VERTEX);
    } else {
        osg::ref_ptr<osg::Vec3Array> white = new osg::Vec3Array(osg::Array::BIND_OVERALL);
        white->push_back(osg::Vec3(1.0f, 1.0f, 1.0f));
        points->setColorArray(white.get());
    }
    points->addPrimitiveSet(new osg::DrawArrays(GL_POINTS, 0, GLsizei(vertices->size())));
    // Points have no normals: lighting would darken them at random.
    points->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);

    osg::ref_ptr<osg::MatrixTransform> placed =
        new osg::MatrixTransform(osg::Matrixd::translate(origin));
    placed->setName(name);
    placed->addChild(points.get());
    return placed;
}

} // namespace

osg::ref_ptr<osg::Node> LasFileReader::read(const std::string& path, std::string& reason)
{
    // Non-blocking, so that a FIFO does not hang the open; refused below.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.fd < 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    struct stat info
    {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "it is not a regular file";
        return nullptr;
    }
    const std::uint64_t fileSize = std::uint64_t(info.st_size);
    std::vector<unsigned char> headerBytes(std::size_t(std::min<std::uint64_t>(fileSize, 375)));
    if (!readAt(file.fd, headerBytes.data(), headerBytes.size(), 0)) {
        reason = "its header cannot be read";
        return nullptr;
    }
    LasHeader header;
    reason = header.parse(headerBytes.data(), headerBytes.size(), fileSize);
    if (!reason.empty())
        return nullptr;
    if (header.pointCount > MaximumPoints) {
        reason = "it holds " + std::to_string(header.pointCount) + " points, more than the " +
                 std::to_string(MaximumPoints) + " Zelvista reads";
        return nullptr;
    }

    const std::size_t count = std::size_t(header.pointCount);
    const int colourOffset = LasHeader::colourOffset(header.format);
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->reserve(count);
    osg::ref_ptr<osg::Vec3Array> colours = colourOffset >= 0 ? new osg::Vec3Array : nullptr;
    if (colours)
        colours->reserve(count);

    osg::Vec3d origin;
    std::vector<unsigned char> chunk(std::min(count, RecordsPerChunk) * header.recordLength);
    for (std::size_t first = 0; first < count; first += RecordsPerChunk) {
        const std::size_t records = std::min(RecordsPerChunk, count - first);
        const std::uint64_t at = header.pointOffset + std::uint64_t(first) * header.recordLength;
        if (!readAt(file.fd, chunk.data(), records * header.recordLength, at)) {
            reason = "its points cannot be read after point " + std::to_string(first);
            return nullptr;
        }
        for (std::size_t i = 0; i < records; ++i) {
            const unsigned char* record = chunk.data() + i * header.recordLength;
            osg::Vec3d position;
            for (int axis = 0; axis < 3; ++axis)
                position[axis] = int32At(record + 4 * axis) * header.scale[std::size_t(axis)] +
                                 header.offset[std::size_t(axis)];
            if (first == 0 && i == 0)
                origin = osg::Vec3d(std::floor(position.x()), std::floor(position.y()),
                                    std::floor(position.z()));
            vertices->push_back(osg::Vec3(position - origin));
            if (colours)
                colours->push_back(osg::Vec3(colourAt(record + colourOffset),
                                             colourAt(record + colourOffset + 2),
                                             colourAt(record + colourOffset + 4)));
        }
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    return makePoints(vertices.get(), colours.get(), origin, name);
}
