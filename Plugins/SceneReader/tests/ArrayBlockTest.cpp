#include "ErrorCapture.h"
#include "SceneIOKernel.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/Geometry>
#include <osgDB/WriteFile>

namespace {

// Two meshes sharing one large vertex array, with normals, colours, texture coordinates and
// index lists large enough to travel as blocks, and a small one that travels in the stream.
osg::ref_ptr<osg::Group> meshes()
{
    const int side = 200;
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec4ubArray> colours = new osg::Vec4ubArray;
    osg::ref_ptr<osg::Vec2Array> coordinates = new osg::Vec2Array;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            vertices->push_back(osg::Vec3(float(i), float(j), float((i * j) % 7)));
            normals->push_back(osg::Vec3(0.f, float(i % 2), 1.f));
            colours->push_back(osg::Vec4ub(GLubyte(i), GLubyte(j), 7, 255));
            coordinates->push_back(osg::Vec2(float(i) / side, float(j) / side));
        }
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    for (int j = 0; j + 1 < side; ++j)
        for (int i = 0; i + 1 < side; ++i) {
            const GLuint a = GLuint(j * side + i), b = a + 1, c = a + side, d = c + 1;
            for (GLuint index : {a, b, d, a, d, c})
                triangles->push_back(index);
        }
    osg::ref_ptr<osg::Group> root = new osg::Group;
    for (const char* name : {"First", "Second"}) {
        osg::ref_ptr<osg::Geometry> mesh = new osg::Geometry;
        mesh->setName(name);
        mesh->setVertexArray(vertices);
        mesh->setNormalArray(normals, osg::Array::BIND_PER_VERTEX);
        mesh->setColorArray(colours, osg::Array::BIND_PER_VERTEX);
        mesh->setTexCoordArray(0, coordinates);
        mesh->addPrimitiveSet(triangles);
        const GLushort lines[] = {0, 1, 1, 2};
        mesh->addPrimitiveSet(new osg::DrawElementsUShort(GL_LINES, 4, lines));
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->addDrawable(mesh);
        root->addChild(geode);
    }
    return root;
}

const osg::Geometry* meshOf(const osg::Node& root, unsigned int i)
{
    return root.asGroup()->getChild(i)->asGroup()->getChild(0)->asGeometry();
}

template <class T> bool sameData(const T* a, const T* b)
{
    return a && b && a->getTotalDataSize() == b->getTotalDataSize() &&
           std::memcmp(a->getDataPointer(), b->getDataPointer(), a->getTotalDataSize()) == 0;
}

class ArrayBlockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_original = meshes();
        m_path = m_io.file("meshes.osgb");
        ASSERT_TRUE(osgDB::writeNodeFile(*m_original, m_path));
    }
    void TearDown() override { ::unsetenv("ZELVISTA_TEST_ARRAY_BLOCK_LIE"); }

    osg::ref_ptr<osg::Node> read(FileResult& result)
    {
        return m_io.reader()->readFile(m_path, nullptr, result);
    }

    ErrorCapture m_log;
    SceneIOKernel m_io;
    osg::ref_ptr<osg::Node> m_original;
    std::string m_path;
};

TEST_F(ArrayBlockTest, LargeArraysArriveWholeAndStayShared)
{
    FileResult result;
    osg::ref_ptr<osg::Node> node = read(result);
    ASSERT_TRUE(node.valid()) << result.reason;
    const osg::Geometry* original = meshOf(*m_original, 0);
    for (unsigned int i = 0; i < 2; ++i) {
        const osg::Geometry* mesh = meshOf(*node, i);
        ASSERT_NE(mesh, nullptr);
        EXPECT_TRUE(sameData(mesh->getVertexArray(), original->getVertexArray()));
        EXPECT_TRUE(sameData(mesh->getNormalArray(), original->getNormalArray()));
        EXPECT_TRUE(sameData(mesh->getColorArray(), original->getColorArray()));
        EXPECT_TRUE(sameData(mesh->getTexCoordArray(0), original->getTexCoordArray(0)));
        EXPECT_EQ(mesh->getNormalArray()->getBinding(), osg::Array::BIND_PER_VERTEX);
        ASSERT_EQ(mesh->getNumPrimitiveSets(), 2u);
        EXPECT_EQ(mesh->getPrimitiveSet(0)->getMode(), GLenum(GL_TRIANGLES));
        EXPECT_TRUE(sameData(mesh->getPrimitiveSet(0)->getDrawElements(),
                             original->getPrimitiveSet(0)->getDrawElements()));
        EXPECT_EQ(mesh->getPrimitiveSet(1)->getNumIndices(), 4u);
        EXPECT_TRUE(mesh->getVertexArray()->getName().empty());
    }
    // What the file shares stays shared.
    EXPECT_EQ(meshOf(*node, 0)->getVertexArray(), meshOf(*node, 1)->getVertexArray());
    EXPECT_EQ(meshOf(*node, 0)->getPrimitiveSet(0), meshOf(*node, 1)->getPrimitiveSet(0));
    EXPECT_EQ(m_log.errorCount(), 0u);
}

// A helper taken over by a crafted file may write anything into the memory file; each lie is
// refused with an ERROR record, and the next read is sound again.
TEST_F(ArrayBlockTest, BlocksOfAHelperThatLiesAreRefused)
{
    const struct
    {
        const char* lie;
        const char* reason;
    } lies[] = {
        {"short", "vertices"},  // an array shorter than its index list needs
        {"index", "vertices"},  // an index far past the vertices
        {"overflow", "claims"}, // a count whose byte size wraps around
        {"beyond", "outside"},  // a block past the end of the file
    };
    for (const auto& lie : lies) {
        m_log.clearErrors();
        ::setenv("ZELVISTA_TEST_ARRAY_BLOCK_LIE", lie.lie, 1);
        FileResult result;
        EXPECT_FALSE(read(result)) << lie.lie;
        EXPECT_EQ(result.status, FileResult::Failed) << lie.lie;
        EXPECT_NE(result.reason.find(lie.reason), std::string::npos)
            << lie.lie << ": " << result.reason;
        EXPECT_EQ(m_log.errorsWith({"meshes.osgb", lie.reason}), 1) << lie.lie;
    }
    ::unsetenv("ZELVISTA_TEST_ARRAY_BLOCK_LIE");
    FileResult result;
    EXPECT_TRUE(read(result)) << result.reason;
}

} // namespace

namespace {

// A binary STL grid of 2 * side^2 triangles, each with its facet normal.
QByteArray stlGrid(int side, std::vector<osg::Vec3>& corners)
{
    QByteArray bytes(80, ' ');
    const std::uint32_t count = std::uint32_t(2 * side * side);
    bytes.append(reinterpret_cast<const char*>(&count), 4);
    auto at = [](int i, int j) {
        return osg::Vec3(float(i), float(j), float((i * j) % 3));
    };
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i)
            for (const auto& triangle :
                 {std::array<osg::Vec3, 3>{at(i, j), at(i + 1, j), at(i + 1, j + 1)},
                  std::array<osg::Vec3, 3>{at(i, j), at(i + 1, j + 1), at(i, j + 1)}}) {
                osg::Vec3 normal = (triangle[1] - triangle[0]) ^ (triangle[2] - triangle[0]);
                normal.normalize();
                bytes.append(reinterpret_cast<const char*>(normal.ptr()), 12);
                for (const osg::Vec3& corner : triangle) {
                    bytes.append(reinterpret_cast<const char*>(corner.ptr()), 12);
                    corners.push_back(corner);
                }
                bytes.append(2, '\0');
            }
    return bytes;
}

} // namespace

// Separate triangles with flat normals arrive as shared corners and an index list, without
// normals, shaded per facet: the same triangles at a sixth of the vertices.
TEST(FlatMeshTest, LargeFlatShadedMeshesArriveWeldedWithTheSameTriangles)
{
    SceneIOKernel io;
    std::vector<osg::Vec3> corners;
    io.writeBytes("grid.stl", stlGrid(64, corners));
    FileResult result;
    osg::ref_ptr<osg::Node> node = io.reader()->readFile(io.file("grid.stl"), nullptr, result);
    ASSERT_TRUE(node.valid()) << result.reason;
    osg::Node* at = node.get();
    while (at && at->asGroup() && at->asGroup()->getNumChildren() > 0)
        at = at->asGroup()->getChild(0);
    osg::Geometry* mesh = at ? at->asGeometry() : nullptr;
    ASSERT_NE(mesh, nullptr);
    const auto* vertices = dynamic_cast<const osg::Vec3Array*>(mesh->getVertexArray());
    ASSERT_NE(vertices, nullptr);
    EXPECT_EQ(vertices->size(), 65u * 65u);
    EXPECT_EQ(mesh->getNormalArray(), nullptr);
    ASSERT_EQ(mesh->getNumPrimitiveSets(), 1u);
    const auto* indices = dynamic_cast<const osg::DrawElementsUInt*>(mesh->getPrimitiveSet(0));
    ASSERT_NE(indices, nullptr);
    ASSERT_EQ(indices->size(), corners.size());
    std::size_t same = 0;
    for (std::size_t i = 0; i < corners.size(); ++i)
        same += (*vertices)[(*indices)[i]] == corners[i];
    EXPECT_EQ(same, corners.size());
    ASSERT_NE(mesh->getStateSet(), nullptr);
    EXPECT_NE(mesh->getStateSet()->getAttribute(osg::StateAttribute::PROGRAM), nullptr);
    bool asked = false;
    EXPECT_FALSE(mesh->getUserValue("zelvista.flatShading", asked));
}
