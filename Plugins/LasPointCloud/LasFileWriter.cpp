#include "LasFileWriter.h"

#include "LasHeader.h"
#include "Logger/Log.h"

#include <QDate>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <vector>

namespace {

constexpr std::size_t RecordLength = 26;
constexpr std::size_t RecordsPerChunk = 65536;
// Kept clear of the integer limits, so that rounding never overflows.
constexpr double LargestInteger = 2147483000.0;

struct Point
{
    osg::Vec3d position;
    osg::Vec3f colour;
};

osg::Vec3f colourOf(const osg::Array* colours, unsigned int index)
{
    if (!colours || colours->getNumElements() == 0)
        return {1.0f, 1.0f, 1.0f};
    if (colours->getBinding() == osg::Array::BIND_OVERALL)
        index = 0;
    if (index >= colours->getNumElements())
        return {1.0f, 1.0f, 1.0f};
    switch (colours->getType()) {
    case osg::Array::Vec3ArrayType:
        return static_cast<const osg::Vec3Array&>(*colours)[index];
    case osg::Array::Vec4ArrayType: {
        const osg::Vec4& c = static_cast<const osg::Vec4Array&>(*colours)[index];
        return {c.r(), c.g(), c.b()};
    }
    case osg::Array::Vec4ubArrayType: {
        const osg::Vec4ub& c = static_cast<const osg::Vec4ubArray&>(*colours)[index];
        return {c.r() / 255.0f, c.g() / 255.0f, c.b() / 255.0f};
    }
    default:
        return {1.0f, 1.0f, 1.0f};
    }
}

// Every vertex of every geometry, in world coordinates, with its colour.
class PointCollector : public osg::NodeVisitor
{
public:
    PointCollector() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}

    void apply(osg::Geometry& geometry) override
    {
        const osg::Matrixd toWorld = osg::computeLocalToWorld(getNodePath());
        const osg::Array* vertices = geometry.getVertexArray();
        if (!vertices)
            return;
        const osg::Array* colours = geometry.getColorArray();
        const auto* floats = dynamic_cast<const osg::Vec3Array*>(vertices);
        const auto* doubles = dynamic_cast<const osg::Vec3dArray*>(vertices);
        if (!floats && !doubles) {
            ++skipped;
            return;
        }
        for (unsigned int i = 0; i < vertices->getNumElements(); ++i) {
            const osg::Vec3d local = floats ? osg::Vec3d((*floats)[i]) : (*doubles)[i];
            const osg::Vec3d world = local * toWorld;
            if (!std::isfinite(world.x()) || !std::isfinite(world.y()) ||
                !std::isfinite(world.z())) {
                ++skipped;
                continue;
            }
            points.push_back({world, colourOf(colours, i)});
        }
    }

    std::vector<Point> points;
    std::size_t skipped = 0;
};

void putLittle(unsigned char* at, std::uint32_t bits, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>((bits >> (8 * i)) & 0xff);
}

std::uint16_t colourChannel(float value)
{
    if (!(value > 0.0f))
        return 0;
    return static_cast<std::uint16_t>(std::lround(std::min(value, 1.0f) * 65535.0f));
}

LasHeader headerFor(const std::vector<Point>& points)
{
    LasHeader header;
    header.pointCount = points.size();
    const QDate today = QDate::currentDate();
    header.creationDay = std::uint16_t(today.dayOfYear());
    header.creationYear = std::uint16_t(today.year());
    if (points.empty())
        return header;
    osg::Vec3d low = points.front().position;
    osg::Vec3d high = low;
    for (const Point& point : points)
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], point.position[axis]);
            high[axis] = std::max(high[axis], point.position[axis]);
        }
    for (int axis = 0; axis < 3; ++axis) {
        const auto a = std::size_t(axis);
        header.offset[a] = std::round((low[axis] + high[axis]) / 2.0);
        header.scale[a] = LasFileWriter::chooseScale(low[axis], high[axis], header.offset[a]);
        // The bounds of the coordinates as the file holds them.
        header.minimum[a] =
            std::round((low[axis] - header.offset[a]) / header.scale[a]) * header.scale[a] +
            header.offset[a];
        header.maximum[a] =
            std::round((high[axis] - header.offset[a]) / header.scale[a]) * header.scale[a] +
            header.offset[a];
    }
    return header;
}

void encodeRecord(const Point& point, const LasHeader& header, unsigned char* record)
{
    std::memset(record, 0, RecordLength);
    for (int axis = 0; axis < 3; ++axis) {
        const auto a = std::size_t(axis);
        const auto value = static_cast<std::int32_t>(
            std::llround((point.position[axis] - header.offset[a]) / header.scale[a]));
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        putLittle(record + 4 * axis, bits, 4);
    }
    // Return 1 of 1; class 0, never classified.
    record[14] = 0x09;
    for (int channel = 0; channel < 3; ++channel)
        putLittle(record + 20 + 2 * channel, colourChannel(point.colour[channel]), 2);
}

} // namespace

double LasFileWriter::chooseScale(double minimum, double maximum, double offset)
{
    const double reach = std::max(std::fabs(minimum - offset), std::fabs(maximum - offset));
    double scale = 0.0001;
    while (reach / scale > LargestInteger && scale < 1e6)
        scale *= 10.0;
    return scale;
}

std::string LasFileWriter::write(const osg::Node& node, const std::string& path,
                                 std::uint64_t* pointsWritten)
{
    PointCollector collector;
    const_cast<osg::Node&>(node).accept(collector);
    if (collector.skipped > 0)
        ZEL_WARN << "LasWriter::write: " << collector.skipped
                 << " points without a finite position are left out of " << path << "\n";
    if (collector.points.size() > std::numeric_limits<std::uint32_t>::max())
        return "LAS 1.2 holds at most 4294967295 points, the scene has " +
               std::to_string(collector.points.size());
    const LasHeader header = headerFor(collector.points);
    for (int axis = 0; axis < 3; ++axis)
        if ((header.maximum[std::size_t(axis)] - header.offset[std::size_t(axis)]) /
                header.scale[std::size_t(axis)] >
            LargestInteger)
            return "the scene is too large for LAS coordinates";

    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString().toStdString();
    const std::string headerBytes = header.encode12();
    bool written =
        file.write(headerBytes.data(), qint64(headerBytes.size())) == qint64(headerBytes.size());
    std::vector<unsigned char> chunk(RecordsPerChunk * RecordLength);
    for (std::size_t first = 0; written && first < collector.points.size();
         first += RecordsPerChunk) {
        const std::size_t records = std::min(RecordsPerChunk, collector.points.size() - first);
        for (std::size_t i = 0; i < records; ++i)
            encodeRecord(collector.points[first + i], header, chunk.data() + i * RecordLength);
        const auto bytes = qint64(records * RecordLength);
        written = file.write(reinterpret_cast<const char*>(chunk.data()), bytes) == bytes;
    }
    if (!written) {
        const std::string reason = file.errorString().toStdString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString().toStdString();
    if (pointsWritten)
        *pointsWritten = collector.points.size();
    return {};
}
