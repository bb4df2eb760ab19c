#pragma once

#include <array>
#include <cstdint>
#include <string>

// The public header block of an ASPRS LAS file, versions 1.0 to 1.4: the fields the reader
// relies on, checked against the file's size before anything is allocated.
class LasHeader
{
public:
    // Bytes every header of the version has: 227 up to 1.2, 235 for 1.3, 375 for 1.4.
    static std::uint32_t minimumHeaderSize(int versionMinor);
    // Bytes a point record of the format has at least; 0 for a format that is not read.
    static std::uint32_t minimumRecordLength(int format);
    // Byte offset of red, green and blue in a record of the format; -1 without colours.
    static int colourOffset(int format);

    // Reads the header from the file's first bytes (at least 375 of them, or the whole file
    // when shorter). Returns why the file cannot be read, or "" when it can.
    std::string parse(const unsigned char* bytes, std::uint64_t available, std::uint64_t fileSize);

    // The header of a LAS 1.2 file of point format 2 (RGB) without variable-length records.
    std::string encode12() const;

    int versionMinor = 2;
    std::uint16_t headerSize = 227;
    std::uint32_t pointOffset = 227;
    int format = 2;
    std::uint16_t recordLength = 26;
    std::uint64_t pointCount = 0;
    std::uint16_t creationDay = 1;
    std::uint16_t creationYear = 2024;
    std::array<double, 3> scale{{0.0001, 0.0001, 0.0001}};
    std::array<double, 3> offset{{0.0, 0.0, 0.0}};
    std::array<double, 3> minimum{{0.0, 0.0, 0.0}};
    std::array<double, 3> maximum{{0.0, 0.0, 0.0}};
};
