// The program's side of the reader helper's stream under attack: valid streams of small scenes
// are mutated (fixed seed) and fed through a pipe to the parser, the scene check and what the
// program then does with a scene (bounds, framing, vertex buffers). Any crash, sanitizer
// report or hang fails the round. ZELVISTA_FUZZ_CASES and ZELVISTA_FUZZ_SEED set its size
// and seed; the default suite runs a short round, the fuzz-stream-long target a long one.
#include "ErrorCapture.h"
#include "ExternalReferences.h"
#include "HelperStreamParser.h"
#include "PipeInputBuffer.h"
#include "QtOSGPluginBase/OsgPluginGate.h"
#include "VertexBufferVisitor.h"

#include <QByteArray>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <osg/ComputeBoundsVisitor>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/LOD>
#include <osg/LightSource>
#include <osg/Material>
#include <osg/MatrixTransform>
#include <osg/PagedLOD>
#include <osg/ProxyNode>
#include <osg/ShapeDrawable>
#include <osg/Switch>
#include <osg/Texture2D>
#include <osg/ValueObject>
#include <osgDB/Registry>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::size_t environmentNumber(const char* name, std::size_t fallback)
{
    const char* value = std::getenv(name);
    return value ? static_cast<std::size_t>(std::strtoull(value, nullptr, 10)) : fallback;
}

osg::ref_ptr<osg::Geometry> mesh()
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec2Array> coordinates = new osg::Vec2Array;
    for (int i = 0; i < 24; ++i) {
        vertices->push_back(osg::Vec3(i % 4, i / 4, (i * 7) % 3));
        normals->push_back(osg::Vec3(0, 0, 1));
        coordinates->push_back(osg::Vec2(i % 2, i % 3));
    }
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setName("Mesh");
    geometry->setVertexArray(vertices);
    geometry->setNormalArray(normals, osg::Array::BIND_PER_VERTEX);
    geometry->setTexCoordArray(0, coordinates, osg::Array::BIND_PER_VERTEX);
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array(1);
    (*colours)[0].set(1, 0.5f, 0.25f, 1);
    geometry->setColorArray(colours, osg::Array::BIND_OVERALL);
    osg::ref_ptr<osg::DrawElementsUShort> triangles = new osg::DrawElementsUShort(GL_TRIANGLES);
    for (unsigned short i = 0; i + 2 < 24; ++i) {
        triangles->push_back(i);
        triangles->push_back(static_cast<unsigned short>(i + 1));
        triangles->push_back(static_cast<unsigned short>(i + 2));
    }
    geometry->addPrimitiveSet(triangles);
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_LINES, 2, 6));
    osg::ref_ptr<osg::DrawArrayLengths> strips = new osg::DrawArrayLengths(GL_LINE_STRIP, 4);
    strips->push_back(3);
    strips->push_back(5);
    geometry->addPrimitiveSet(strips);
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(4, 4, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    for (unsigned int i = 0; i < image->getTotalSizeInBytes(); ++i)
        image->data()[i] = static_cast<unsigned char>(i * 37);
    osg::StateSet* state = geometry->getOrCreateStateSet();
    state->setTextureAttributeAndModes(0, new osg::Texture2D(image));
    state->setAttributeAndModes(new osg::Material);
    return geometry;
}

// Small scenes touching what files carry: transforms, switches, levels of detail, a shared
// subgraph, proxies, lights, shapes, user values, textures.
std::vector<osg::ref_ptr<osg::Node>> seedScenes()
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName("Geode");
    geode->addDrawable(mesh());
    osg::ref_ptr<osg::MatrixTransform> moved =
        new osg::MatrixTransform(osg::Matrix::translate(1, 2, 3));
    moved->setName("Moved");
    moved->addChild(geode);
    moved->addChild(geode);
    osg::ref_ptr<osg::Switch> choice = new osg::Switch;
    choice->addChild(moved, true);
    choice->addChild(new osg::LightSource, false);
    osg::ref_ptr<osg::LOD> lod = new osg::LOD;
    lod->addChild(geode, 0, 100);
    osg::ref_ptr<osg::PagedLOD> paged = new osg::PagedLOD;
    paged->addChild(geode, 0, 10);
    paged->setFileName(1, "far.osgt");
    paged->setRange(1, 10, 1000);
    osg::ref_ptr<osg::ProxyNode> proxy = new osg::ProxyNode;
    proxy->setFileName(0, "part.osgt");
    osg::ref_ptr<osg::Geode> shapes = new osg::Geode;
    shapes->addDrawable(new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(), 1)));
    shapes->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(3, 0, 0), 1)));
    osg::ref_ptr<osg::Group> root = new osg::Group;
    root->setName("FILE_ROOT");
    root->setUserValue("answer", 42);
    root->setUserValue("label", std::string("left"));
    for (osg::Node* child : std::initializer_list<osg::Node*>{choice, lod, paged, proxy, shapes})
        root->addChild(child);
    return {root, moved, shapes, geode, paged};
}

QByteArray streamOf(const osg::Node& node)
{
    std::ostringstream out;
    osg::ref_ptr<osgDB::Options> options =
        new osgDB::Options("WriteImageHint=IncludeData RobustBinaryFormat=false");
    osgDB::Registry::instance()->getReaderWriterForExtension("osgb")->writeNode(node, out,
                                                                                options.get());
    return QByteArray::fromStdString(out.str());
}

QByteArray mutate(QByteArray bytes, std::mt19937& random)
{
    auto position = [&](int size) {
        return size > 0 ? static_cast<int>(random() % static_cast<unsigned>(size)) : 0;
    };
    const int rounds = 1 + static_cast<int>(random() % 4);
    for (int round = 0; round < rounds && !bytes.isEmpty(); ++round) {
        const int at = position(bytes.size());
        switch (random() % 7) {
        case 0: // flip bits of a few bytes
            for (int i = 0; i < 4; ++i) {
                const int flipped = position(bytes.size());
                bytes[flipped] = static_cast<char>(bytes[flipped] ^ (1 << (random() % 8)));
            }
            break;
        case 1: { // an integer at a word boundary becomes a large, small or negative number
            const int word = at & ~3;
            const std::uint32_t values[] = {
                0xffffffffu, 0x7fffffffu, 400000000u, 300000000u,
                0x10000u,    0u,          1u,         static_cast<std::uint32_t>(random())};
            const std::uint32_t value = values[random() % 8];
            if (word + 4 <= bytes.size())
                std::memcpy(bytes.data() + word, &value, 4);
            break;
        }
        case 2: // cut short
            bytes.truncate(at);
            break;
        case 3: // a piece goes missing
            bytes.remove(at, 1 + position(64));
            break;
        case 4: // a piece comes twice
            bytes.insert(at, bytes.mid(position(bytes.size()), 1 + position(64)));
            break;
        case 5: // random bytes
            for (int i = 0; i < 1 + position(16); ++i)
                bytes.insert(at, static_cast<char>(random()));
            break;
        default: // a byte set to an extreme
            bytes[at] = static_cast<char>((random() & 1) ? 0xff : 0x00);
        }
    }
    return bytes;
}

struct Verdict
{
    bool accepted = false;
    bool refusedByCheck = false;
    double seconds = 0;
};

// Feeds the bytes through a pipe as the helper would and does with the scene what the
// program does.
Verdict runCase(const QByteArray& bytes)
{
    Verdict verdict;
    int fds[2];
    EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::thread writer([&bytes, fd = fds[1]] {
        // The reader may stop early: then this write ends with EPIPE.
        for (int done = 0; done < bytes.size();) {
            const ssize_t count = ::write(fd, bytes.constData() + done, bytes.size() - done);
            if (count <= 0)
                break;
            done += static_cast<int>(count);
        }
        ::close(fd);
    });
    const auto start = Clock::now();
    {
        PipeInputBuffer buffer(fds[0], -1, start + std::chrono::seconds(10));
        std::string error;
        std::vector<const osg::Node*> nodes;
        osg::ref_ptr<osg::Node> node = HelperStreamParser::parse(buffer, error, nodes);
        buffer.abandon();
        if (node) {
            ExternalReferences::dropFileNames(nodes);
            VertexBufferVisitor vertexBuffers;
            node->accept(vertexBuffers);
            node->getBound();
            osg::ComputeBoundsVisitor bounds;
            node->accept(bounds);
            verdict.accepted = true;
        } else {
            verdict.refusedByCheck = error.find("cannot be drawn") != std::string::npos ||
                                     error.find("scene graph") != std::string::npos;
        }
    }
    writer.join();
    verdict.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return verdict;
}

TEST(HelperStreamFuzzTest, MutatedStreamsAreReadOrRefusedWithoutHarm)
{
    std::signal(SIGPIPE, SIG_IGN);
    restrictOsgPlugins();
    ErrorCapture log;
    const std::size_t cases = environmentNumber("ZELVISTA_FUZZ_CASES", 300);
    const std::size_t seed = environmentNumber("ZELVISTA_FUZZ_SEED", 1);
    std::vector<QByteArray> seeds;
    for (const auto& scene : seedScenes())
        seeds.push_back(streamOf(*scene));
    // Unmutated, every seed is read.
    for (const QByteArray& stream : seeds)
        EXPECT_TRUE(runCase(stream).accepted);

    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    std::size_t ran = 0;
    std::size_t accepted = 0;
    std::size_t refusedByCheck = 0;
    double slowest = 0;
    const auto start = Clock::now();
    // ZELVISTA_FUZZ_CASE=N repeats only case N of the round.
    const std::size_t only = environmentNumber("ZELVISTA_FUZZ_CASE", cases);
    for (std::size_t i = 0; i < cases; ++i) {
        const QByteArray& seedStream = seeds[random() % seeds.size()];
        const QByteArray bytes = mutate(seedStream, random);
        if (only < cases && i != only)
            continue;
        const Verdict verdict = runCase(bytes);
        ++ran;
        accepted += verdict.accepted;
        refusedByCheck += verdict.refusedByCheck;
        slowest = std::max(slowest, verdict.seconds);
        ASSERT_LT(verdict.seconds, 5.0) << "case " << i << " of seed " << seed;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::cout << ran << " cases (seed " << seed << ") in " << seconds << " s: " << accepted
              << " read, " << refusedByCheck << " refused by the scene check, "
              << ran - accepted - refusedByCheck << " refused by the parser; slowest case "
              << slowest << " s\n";
    // The parser reports its failure once, not once per value osgDB could not read.
    EXPECT_LT(log.count("checkStream"), 1);
}

} // namespace
