#include "LasFileReader.h"
#include "LasFileWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <random>

namespace {

// Little-endian fields appended one after the other, as the ASPRS layout lists them.
class Bytes
{
public:
    template <class T> Bytes& put(T value)
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof value);
        for (std::size_t i = 0; i < sizeof value; ++i)
            m_bytes.push_back(char((bits >> (8 * i)) & 0xff));
        return *this;
    }
    Bytes& text(const char* value, std::size_t field)
    {
        std::string padded(field, '\0');
        std::memcpy(padded.data(), value, std::min(std::strlen(value), field));
        m_bytes += padded;
        return *this;
    }
    Bytes& zeros(std::size_t count)
    {
        m_bytes.append(count, '\0');
        return *this;
    }
    std::string& str() { return m_bytes; }

private:
    std::string m_bytes;
};

struct WorldPoint
{
    osg::Vec3d position;
    osg::Vec3f colour;
};

struct HeaderFields
{
    int minor = 2;
    int format = 2;
    std::uint16_t recordLength = 26;
    std::uint32_t extraBeforePoints = 0; // variable-length records the reader skips
    double scale = 0.0001;
    osg::Vec3d offset;
    osg::Vec3d minimum;
    osg::Vec3d maximum;
    std::uint16_t day = 100;
    std::uint16_t year = 2025;
};

// A public header block of LAS 1.0 to 1.4, field by field.
std::string headerBlock(const HeaderFields& h, std::uint64_t count)
{
    const std::uint16_t size = h.minor >= 4 ? 375 : h.minor == 3 ? 235 : 227;
    Bytes b;
    b.text("LASF", 4).put<std::uint16_t>(0).put<std::uint16_t>(0);
    b.put<std::uint32_t>(0).put<std::uint16_t>(0).put<std::uint16_t>(0).zeros(8);
    b.put<std::uint8_t>(1).put<std::uint8_t>(std::uint8_t(h.minor));
    b.text("Zelvista", 32).text("Zelvista colour mapping", 32);
    b.put<std::uint16_t>(h.day).put<std::uint16_t>(h.year).put<std::uint16_t>(size);
    b.put<std::uint32_t>(size + h.extraBeforePoints).put<std::uint32_t>(0);
    b.put<std::uint8_t>(std::uint8_t(h.format)).put<std::uint16_t>(h.recordLength);
    const bool legacy = h.minor < 4 || h.format < 6;
    b.put<std::uint32_t>(legacy ? std::uint32_t(count) : 0u);
    b.put<std::uint32_t>(legacy ? std::uint32_t(count) : 0u).zeros(16);
    for (int axis = 0; axis < 3; ++axis)
        b.put<double>(h.scale);
    for (int axis = 0; axis < 3; ++axis)
        b.put<double>(h.offset[axis]);
    for (int axis = 0; axis < 3; ++axis)
        b.put<double>(h.maximum[axis]).put<double>(h.minimum[axis]);
    if (h.minor >= 3)
        b.put<std::uint64_t>(0);
    if (h.minor >= 4)
        b.put<std::uint64_t>(0).put<std::uint32_t>(0).put<std::uint64_t>(count).zeros(120);
    b.zeros(h.extraBeforePoints);
    return b.str();
}

// Point records of formats 0 to 3 and 6 to 8.
std::string pointRecords(const HeaderFields& h, const std::vector<WorldPoint>& points)
{
    Bytes b;
    for (const WorldPoint& p : points) {
        const std::size_t start = b.str().size();
        for (int axis = 0; axis < 3; ++axis)
            b.put<std::int32_t>(
                std::int32_t(std::llround((p.position[axis] - h.offset[axis]) / h.scale)));
        b.put<std::uint16_t>(0); // intensity
        if (h.format >= 6)
            b.put<std::uint8_t>(0x11)
                .put<std::uint8_t>(0)
                .put<std::uint8_t>(0)
                .put<std::uint8_t>(0)
                .put<std::int16_t>(0)
                .put<std::uint16_t>(0)
                .put<double>(0.0);
        else
            b.put<std::uint8_t>(0x09)
                .put<std::uint8_t>(0)
                .put<std::int8_t>(0)
                .put<std::uint8_t>(0)
                .put<std::uint16_t>(0);
        if (h.format == 1 || h.format == 3)
            b.put<double>(0.0);
        if (h.format == 2 || h.format == 3 || h.format == 7 || h.format == 8)
            for (int channel = 0; channel < 3; ++channel)
                b.put<std::uint16_t>(std::uint16_t(std::lround(p.colour[channel] * 65535.0f)));
        if (h.format == 8)
            b.put<std::uint16_t>(0);
        b.zeros(h.recordLength - (b.str().size() - start));
    }
    return b.str();
}

const std::vector<WorldPoint> somePoints = {{{1000.5, 2002.0, 3.0}, {1.0f, 0.0f, 0.0f}},
                                            {{1001.0, 1997.75, 3.5}, {0.25f, 0.5f, 0.75f}},
                                            {{1001.5, 2000.1234, 10.0}, {0.0f, 0.0f, 1.0f}}};

// The points as a scene: under a transform, so the writer must take world coordinates.
osg::ref_ptr<osg::Node> sceneOf(const std::vector<WorldPoint>& points)
{
    const osg::Vec3d shift(1000.0, 2000.0, 0.0);
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array(osg::Array::BIND_PER_VERTEX);
    for (const WorldPoint& p : points) {
        vertices->push_back(osg::Vec3(p.position - shift));
        colours->push_back(osg::Vec4(p.colour, 1.0f));
    }
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    geometry->setColorArray(colours.get());
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_TRIANGLES, 0, GLsizei(points.size())));
    osg::ref_ptr<osg::MatrixTransform> placed =
        new osg::MatrixTransform(osg::Matrixd::translate(shift));
    placed->addChild(geometry.get());
    return placed;
}

// What a read file holds, in world coordinates.
std::vector<WorldPoint> pointsOf(osg::Node& node)
{
    struct Collect : osg::NodeVisitor
    {
        Collect() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::Geometry& geometry) override
        {
            EXPECT_EQ(geometry.getPrimitiveSet(0)->getMode(), GLenum(GL_POINTS));
            const osg::Matrixd toWorld = osg::computeLocalToWorld(getNodePath());
            const auto& vertices = static_cast<const osg::Vec3Array&>(*geometry.getVertexArray());
            const auto* colours = dynamic_cast<const osg::Vec3Array*>(geometry.getColorArray());
            for (std::size_t i = 0; i < vertices.size(); ++i) {
                const osg::Vec3f colour =
                    colours && colours->getBinding() == osg::Array::BIND_PER_VERTEX
                        ? (*colours)[i]
                        : osg::Vec3f(-1, -1, -1);
                points.push_back({osg::Vec3d(vertices[i]) * toWorld, colour});
            }
        }
        std::vector<WorldPoint> points;
    } collect;
    node.accept(collect);
    return collect.points;
}

void expectSamePoints(const std::vector<WorldPoint>& got, const std::vector<WorldPoint>& expected,
                      bool colours = true, double tolerance = 0.00006)
{
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(got[i].position[axis], expected[i].position[axis], tolerance) << i;
        if (!colours)
            continue;
        for (int channel = 0; channel < 3; ++channel)
            EXPECT_NEAR(got[i].colour[channel], expected[i].colour[channel], 1.0 / 65535) << i;
    }
}

class LasFileTest : public ::testing::Test
{
protected:
    std::string file(const char* name) const { return folder.filePath(name).toStdString(); }
    void writeBytes(const char* name, const std::string& bytes) const
    {
        QFile out(folder.filePath(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.data(), qint64(bytes.size()));
    }
    std::string readBytes(const char* name) const
    {
        QFile in(folder.filePath(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll().toStdString() : std::string();
    }

    QTemporaryDir folder;
};

TEST_F(LasFileTest, WrittenFileMatchesTheLayoutBuiltByHandAndReadsBack)
{
    ASSERT_EQ(LasFileWriter::write(*sceneOf(somePoints), file("written.las")), "");
    const std::string written = readBytes("written.las");

    // Offsets are the rounded centres of the bounds, scales 0.1 mm.
    HeaderFields h;
    h.offset = {1001.0, 2000.0, 7.0};
    h.minimum = {1000.5, 1997.75, 3.0};
    h.maximum = {1001.5, 2002.0, 10.0};
    ASSERT_GE(written.size(), 94u);
    std::memcpy(&h.day, written.data() + 90, 2);
    std::memcpy(&h.year, written.data() + 92, 2);
    const std::string byHand = headerBlock(h, somePoints.size()) + pointRecords(h, somePoints);
    EXPECT_EQ(written.size(), 227u + 3u * 26u);
    EXPECT_EQ(written, byHand);

    writeBytes("byhand.las", byHand);
    std::string reason;
    osg::ref_ptr<osg::Node> read = LasFileReader::read(file("byhand.las"), reason);
    ASSERT_TRUE(read) << reason;
    expectSamePoints(pointsOf(*read), somePoints);
}

TEST_F(LasFileTest, ReadsVersionsOneZeroToOneFourInEveryFormatTheyAllow)
{
    struct Case
    {
        int minor;
        int format;
        std::uint16_t recordLength;
        std::uint32_t extra;
    };
    const Case cases[] = {{0, 1, 30, 0}, {1, 0, 20, 54}, {2, 3, 34, 0},  {3, 2, 26, 0},
                          {4, 0, 20, 0}, {4, 6, 30, 0},  {4, 7, 36, 60}, {4, 8, 40, 0}};
    for (const Case& c : cases) {
        HeaderFields h;
        h.minor = c.minor;
        h.format = c.format;
        h.recordLength = c.recordLength;
        h.extraBeforePoints = c.extra;
        h.scale = 0.001;
        h.offset = {1001.0, 2000.0, 0.0};
        writeBytes("version.las", headerBlock(h, somePoints.size()) + pointRecords(h, somePoints));
        std::string reason;
        osg::ref_ptr<osg::Node> read = LasFileReader::read(file("version.las"), reason);
        ASSERT_TRUE(read) << "1." << c.minor << " format " << c.format << ": " << reason;
        const bool colours = c.format == 2 || c.format == 3 || c.format >= 7;
        // At 1 mm.
        const std::vector<WorldPoint> got = pointsOf(*read);
        expectSamePoints(got, somePoints, colours, 0.0006);
        if (!colours) {
            EXPECT_EQ(got.front().colour, osg::Vec3f(-1, -1, -1)); // one colour for all
        }
    }
}

TEST_F(LasFileTest, FilesThatLieAboutThemselvesAreRefused)
{
    HeaderFields h;
    const std::string good = headerBlock(h, somePoints.size()) + pointRecords(h, somePoints);
    auto patched = [&good](std::size_t at, const std::string& bytes) {
        std::string copy = good;
        copy.replace(at, bytes.size(), bytes);
        return copy;
    };
    auto le = [](auto value) {
        Bytes b;
        b.put(value);
        return b.str();
    };
    HeaderFields newer = h;
    newer.minor = 4;
    newer.format = 7;
    newer.recordLength = 36;
    std::string disagreeing = headerBlock(newer, 3) + pointRecords(newer, somePoints);
    disagreeing.replace(107, 4, le(std::uint32_t(2)));

    const std::pair<const char*, std::string> cases[] = {
        {"truncated header", good.substr(0, 100)},
        {"truncated points", good.substr(0, good.size() - 1)},
        {"point count beyond the file", patched(107, le(std::uint32_t(4)))},
        {"huge point count", patched(107, le(std::uint32_t(0xffffffff)))},
        {"point offset inside the header", patched(96, le(std::uint32_t(200)))},
        {"point offset beyond the file", patched(96, le(std::uint32_t(100000)))},
        {"header size too small", patched(94, le(std::uint16_t(100)))},
        {"header size beyond the file", patched(94, le(std::uint16_t(60000)))},
        {"record too short", patched(105, le(std::uint16_t(19)))},
        {"version 2.0", patched(24, std::string("\x02\x00", 2))},
        {"no signature", patched(0, "LASX")},
        {"format 6 in 1.2", patched(104, std::string("\x06", 1))},
        {"format 4", patched(104, std::string("\x04", 1))},
        {"compressed", patched(104, std::string("\x82", 1))},
        {"zero scale", patched(131, le(0.0))},
        {"scale not a number", patched(139, le(std::nan("")))},
        {"offset infinite", patched(171, le(HUGE_VAL))},
        {"1.4 counts disagree", disagreeing},
        {"empty file", std::string()}};
    for (const auto& [what, bytes] : cases) {
        writeBytes("bad.las", bytes);
        std::string reason;
        EXPECT_FALSE(LasFileReader::read(file("bad.las"), reason)) << what;
        EXPECT_FALSE(reason.empty()) << what;
    }
    std::string reason;
    EXPECT_FALSE(LasFileReader::read(folder.path().toStdString(), reason));
    EXPECT_EQ(reason, "it is not a regular file");

    // Random damage to the header: refused or read, never more than the file holds.
    std::mt19937 random(14);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = good;
        for (int hit = 0; hit < 4; ++hit)
            damaged[random() % 227] = char(random() & 0xff);
        writeBytes("damaged.las", damaged);
        osg::ref_ptr<osg::Node> read = LasFileReader::read(file("damaged.las"), reason);
        if (read) {
            EXPECT_LE(pointsOf(*read).size(), (damaged.size() - 227) / 20);
        }
    }
}

TEST_F(LasFileTest, ScalesStayAtATenthOfAMillimetreUpToHundredsOfKilometres)
{
    EXPECT_EQ(LasFileWriter::chooseScale(-50000.0, 50000.0, 0.0), 0.0001);
    EXPECT_EQ(LasFileWriter::chooseScale(600000.0, 700000.0, 650000.0), 0.0001);
    EXPECT_EQ(LasFileWriter::chooseScale(-1e6, 1e6, 0.0), 0.001);

    // A 100 km scene far from the origin keeps 0.1 mm.
    const std::vector<WorldPoint> wide = {{{400000.0001, 5100000.0003, -12.3456}, {1, 1, 1}},
                                          {{500000.0002, 5000000.0004, 812.3457}, {0, 0, 0}}};
    osg::ref_ptr<osg::Vec3dArray> vertices = new osg::Vec3dArray;
    for (const WorldPoint& p : wide)
        vertices->push_back(p.position);
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    ASSERT_EQ(LasFileWriter::write(*geometry, file("wide.las")), "");
    const std::string bytes = readBytes("wide.las");
    ASSERT_EQ(bytes.size(), 227u + 2u * 26u);
    auto number = [&bytes](std::size_t at, auto value) {
        std::memcpy(&value, bytes.data() + at, sizeof value);
        return value;
    };
    for (std::size_t i = 0; i < 2; ++i)
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const double scale = number(131 + 8 * axis, 0.0);
            const double offset = number(155 + 8 * axis, 0.0);
            EXPECT_EQ(scale, 0.0001);
            const double stored = number(227 + 26 * i + 4 * axis, std::int32_t(0)) * scale + offset;
            EXPECT_NEAR(stored, wide[i].position[int(axis)], 0.00005) << i << " " << axis;
        }
    std::string reason;
    EXPECT_TRUE(LasFileReader::read(file("wide.las"), reason)) << reason;

    // Points without a position are left out; a folder that is not there fails.
    osg::ref_ptr<osg::Vec3Array> nan = new osg::Vec3Array;
    nan->push_back(osg::Vec3(std::nanf(""), 0, 0));
    nan->push_back(osg::Vec3(1, 2, 3));
    osg::ref_ptr<osg::Geometry> partly = new osg::Geometry;
    partly->setVertexArray(nan.get());
    std::uint64_t written = 0;
    EXPECT_EQ(LasFileWriter::write(*partly, file("partly.las"), &written), "");
    EXPECT_EQ(written, 1u);
    EXPECT_NE(LasFileWriter::write(*partly, folder.filePath("missing/x.las").toStdString()), "");
}

} // namespace
