#include "LasHeader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

// Offsets of the header fields of a LAS file, in the layout ASPRS publishes.
constexpr std::size_t VersionMajorAt = 24;
constexpr std::size_t VersionMinorAt = 25;
constexpr std::size_t SystemIdentifierAt = 26;
constexpr std::size_t GeneratingSoftwareAt = 58;
constexpr std::size_t CreationDayAt = 90;
constexpr std::size_t CreationYearAt = 92;
constexpr std::size_t HeaderSizeAt = 94;
constexpr std::size_t PointOffsetAt = 96;
constexpr std::size_t FormatAt = 104;
constexpr std::size_t RecordLengthAt = 105;
constexpr std::size_t LegacyCountAt = 107;
constexpr std::size_t CountByReturnAt = 111;
constexpr std::size_t ScaleAt = 131;
constexpr std::size_t OffsetAt = 155;
constexpr std::size_t BoundsAt = 179;
constexpr std::size_t PointCount14At = 247;

template <class T> T readLittle(const unsigned char* bytes)
{
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bits |= std::uint64_t(bytes[i]) << (8 * i);
    if constexpr (std::is_floating_point_v<T>) {
        T value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    } else {
        return static_cast<T>(bits);
    }
}

template <class T> void writeLittle(std::string& bytes, std::size_t at, T value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bytes[at + i] = char((bits >> (8 * i)) & 0xff);
}

void writeText(std::string& bytes, std::size_t at, const char* text, std::size_t field)
{
    const std::size_t length = std::min(std::strlen(text), field);
    std::memcpy(&bytes[at], text, length);
}

} // namespace

std::uint32_t LasHeader::minimumHeaderSize(int versionMinor)
{
    return versionMinor >= 4 ? 375 : versionMinor == 3 ? 235 : 227;
}

std::uint32_t LasHeader::minimumRecordLength(int format)
{
    switch (format) {
    case 0:
        return 20;
    case 1:
        return 28;
    case 2:
        return 26;
    case 3:
        return 34;
    case 6:
        return 30;
    case 7:
        return 36;
    case 8:
        return 38;
    default:
        return 0;
    }
}

int LasHeader::colourOffset(int format)
{
    switch (format) {
    case 2:
        return 20;
    case 3:
        return 28;
    case 7:
    case 8:
        return 30;
    default:
        return -1;
    }
}

std::string LasHeader::parse(const unsigned char* bytes, std::uint64_t available,
                             std::uint64_t fileSize)
{
    if (available < minimumHeaderSize(0))
        return "the file is too short for a LAS header (" + std::to_string(fileSize) + " bytes)";
    if (std::memcmp(bytes, "LASF", 4) != 0)
        return "it is no LAS file: the \"LASF\" signature is missing";
    const int major = bytes[VersionMajorAt];
    versionMinor = bytes[VersionMinorAt];
    if (major != 1 || versionMinor > 4)
        return "LAS version " + std::to_string(major) + "." + std::to_string(versionMinor) +
               " is not read (1.0 to 1.4 are)";

    headerSize = readLittle<std::uint16_t>(bytes + HeaderSizeAt);
    if (headerSize < minimumHeaderSize(versionMinor) || headerSize > fileSize ||
        minimumHeaderSize(versionMinor) > available)
        return "the header size " + std::to_string(headerSize) + " does not fit LAS 1." +
               std::to_string(versionMinor) + " and a file of " + std::to_string(fileSize) +
               " bytes";
    pointOffset = readLittle<std::uint32_t>(bytes + PointOffsetAt);
    if (pointOffset < headerSize || pointOffset > fileSize)
        return "the offset to the points (" + std::to_string(pointOffset) +
               ") lies outside the file's " + std::to_string(fileSize) + " bytes after the header";

    const int formatByte = bytes[FormatAt];
    if (formatByte & 0xc0)
        return "the points are compressed (LAZ), which is not read";
    format = formatByte & 0x3f;
    const bool known = minimumRecordLength(format) > 0 && (format <= 3 || versionMinor >= 4);
    if (!known)
        return "point format " + std::to_string(format) + " is not read in LAS 1." +
               std::to_string(versionMinor) + " (formats 0 to 3, and 6 to 8 in 1.4, are)";
    recordLength = readLittle<std::uint16_t>(bytes + RecordLengthAt);
    if (recordLength < minimumRecordLength(format))
        return "a point record of " + std::to_string(recordLength) +
               " bytes is too short for format " + std::to_string(format);

    const std::uint64_t legacyCount = readLittle<std::uint32_t>(bytes + LegacyCountAt);
    pointCount = legacyCount;
    if (versionMinor >= 4) {
        const std::uint64_t count = readLittle<std::uint64_t>(bytes + PointCount14At);
        if (count != 0 && legacyCount != 0 && count != legacyCount)
            return "the header's two point counts disagree (" + std::to_string(legacyCount) +
                   " and " + std::to_string(count) + ")";
        if (count != 0)
            pointCount = count;
    }
    if (pointCount > (fileSize - pointOffset) / recordLength)
        return "the header announces " + std::to_string(pointCount) + " points of " +
               std::to_string(recordLength) + " bytes, more than the file's " +
               std::to_string(fileSize - pointOffset) + " bytes after the offset hold";

    for (std::size_t axis = 0; axis < 3; ++axis) {
        scale[axis] = readLittle<double>(bytes + ScaleAt + 8 * axis);
        offset[axis] = readLittle<double>(bytes + OffsetAt + 8 * axis);
        maximum[axis] = readLittle<double>(bytes + BoundsAt + 16 * axis);
        minimum[axis] = readLittle<double>(bytes + BoundsAt + 16 * axis + 8);
        if (!std::isfinite(scale[axis]) || scale[axis] == 0.0 || !std::isfinite(offset[axis]))
            return "the scale or offset of axis " + std::to_string(axis) +
                   " is zero or not a finite number";
    }
    creationDay = readLittle<std::uint16_t>(bytes + CreationDayAt);
    creationYear = readLittle<std::uint16_t>(bytes + CreationYearAt);
    return {};
}

std::string LasHeader::encode12() const
{
    std::string bytes(227, '\0');
    std::memcpy(&bytes[0], "LASF", 4);
    bytes[VersionMajorAt] = 1;
    bytes[VersionMinorAt] = 2;
    writeText(bytes, SystemIdentifierAt, "Zelvista", 32);
    writeText(bytes, GeneratingSoftwareAt, "Zelvista colour mapping", 32);
    writeLittle<std::uint16_t>(bytes, CreationDayAt, creationDay);
    writeLittle<std::uint16_t>(bytes, CreationYearAt, creationYear);
    writeLittle<std::uint16_t>(bytes, HeaderSizeAt, 227);
    writeLittle<std::uint32_t>(bytes, PointOffsetAt, 227);
    bytes[FormatAt] = 2;
    writeLittle<std::uint16_t>(bytes, RecordLengthAt, 26);
    writeLittle<std::uint32_t>(bytes, LegacyCountAt, std::uint32_t(pointCount));
    // Every point is the first return of one.
    writeLittle<std::uint32_t>(bytes, CountByReturnAt, std::uint32_t(pointCount));
    for (std::size_t axis = 0; axis < 3; ++axis) {
        writeLittle<double>(bytes, ScaleAt + 8 * axis, scale[axis]);
        writeLittle<double>(bytes, OffsetAt + 8 * axis, offset[axis]);
        writeLittle<double>(bytes, BoundsAt + 16 * axis, maximum[axis]);
        writeLittle<double>(bytes, BoundsAt + 16 * axis + 8, minimum[axis]);
    }
    return bytes;
}
