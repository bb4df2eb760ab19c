#include "ErrorCapture.h"
#include "SceneGraphCheck.h"
#include "SceneIOKernel.h"

#include <QDir>
#include <gtest/gtest.h>
#include <osg/Group>
#include <osg/LightSource>
#include <osg/MatrixTransform>
#include <osg/ValueObject>
#include <osgDB/WriteFile>
#include <random>

namespace {

// A unit square made of two triangles, as Stanford PLY text.
const char* const plyText = "ply\n"
                            "format ascii 1.0\n"
                            "element vertex 4\n"
                            "property float x\nproperty float y\nproperty float z\n"
                            "element face 2\n"
                            "property list uchar int vertex_indices\n"
                            "end_header\n"
                            "0 0 0\n1 0 0\n1 1 0\n0 1 0\n"
                            "3 0 1 2\n3 0 2 3\n";

// A group that is its own grandchild, as a malformed file can make it.
const char* const cycleText = "#Ascii Scene\n#Version 161\n#Generator OpenSceneGraph 3.6.5\n"
                              "osg::Group {\n UniqueID 1\n Name \"Loop\"\n Children 1 {\n"
                              "  osg::Group {\n   UniqueID 2\n   Name \"Inner\"\n"
                              "   Children 1 {\n    osg::Group {\n     UniqueID 1\n    }\n"
                              "   }\n  }\n }\n}\n";

QByteArray randomBytes(int size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xff);
    return bytes;
}

class SceneReaderFixture : public ::testing::Test
{
protected:
    ErrorCapture m_log;
    SceneIOKernel m_io;
};

TEST_F(SceneReaderFixture, FilterOffersTheInstalledFamiliesOneEntryEach)
{
    ASSERT_NE(m_io.reader(), nullptr);
    const std::string filter = m_io.reader()->getFilterString();
    EXPECT_NE(filter.find("OpenSceneGraph (*.osgt;*.osgb;*.osgx;*.osg;*.ive)"), std::string::npos)
        << filter;
    for (const char* extension : {"osgt", "osgb", "osgx", "osg", "ive", "obj", "stl", "ply", "3ds",
                                  "dae", "dxf", "flt", "ac", "lwo", "lw", "wrl", "iv"})
        EXPECT_TRUE(m_io.reader()->isExtensionSupported(extension)) << extension;
    EXPECT_FALSE(m_io.reader()->isExtensionSupported("png"));
    EXPECT_EQ(m_log.count("invalid filter string"), 0);
}

TEST_F(SceneReaderFixture, LoadsFilesOfSixFormatsWithVertexBuffers)
{
    NodeReader* reader = m_io.reader();
    NodeWriter* writer = m_io.writer();
    ASSERT_TRUE(reader && writer);
    const osg::ref_ptr<osg::Node> shapes = makeShapesScene();
    const GeometryStats original = geometryStats(*shapes);
    for (const QString extension : {"obj", "stl", "osgb", "3ds", "osgt"}) {
        const std::string path = m_io.file("shapes." + extension);
        // The writer offers only formats that keep a whole scene; osgDB writes the others.
        ASSERT_TRUE(osgDB::writeNodeFile(*shapes, path)) << path;
        osg::ref_ptr<osg::Node> loaded = reader->read(path, nullptr);
        ASSERT_TRUE(loaded) << path;
        const GeometryStats stats = geometryStats(*loaded);
        EXPECT_GE(stats.geometries, 1) << path;
        EXPECT_GE(stats.vertices, original.vertices / 2) << path;
        EXPECT_TRUE(stats.allUseVertexBuffers) << path;
        // Every format keeps the layout: three shapes side by side along x.
        EXPECT_NEAR(loaded->getBound().radius(), shapes->getBound().radius(),
                    0.25 * shapes->getBound().radius())
            << path;
    }
    m_io.writeBytes("square.ply", plyText);
    osg::ref_ptr<osg::Node> square = reader->read(m_io.file("square.ply"), nullptr);
    ASSERT_TRUE(square);
    EXPECT_EQ(geometryStats(*square).vertices, 4);
    EXPECT_TRUE(geometryStats(*square).allUseVertexBuffers);
    EXPECT_EQ(m_log.errorCount(), 0u);
}

TEST_F(SceneReaderFixture, NativeFormatsKeepNamesMasksAndUserValues)
{
    osg::ref_ptr<osg::Group> root = new osg::Group;
    root->setName("FILE_ROOT");
    osg::ref_ptr<osg::Group> child = new osg::Group;
    child->setName("Settings");
    child->setNodeMask(0x5);
    child->setUserValue("answer", 42);
    child->setUserValue("label", std::string("left"));
    root->addChild(child);
    root->addChild(makeShapesScene());
    for (const QString extension : {"osgt", "osgb", "osgx"}) {
        const std::string path = m_io.file("native." + extension);
        ASSERT_TRUE(m_io.writer()->write(root, path));
        osg::ref_ptr<osg::Node> loaded = m_io.reader()->read(path, nullptr);
        ASSERT_TRUE(loaded && loaded->asGroup()) << path;
        EXPECT_EQ(loaded->getName(), "FILE_ROOT");
        ASSERT_EQ(loaded->asGroup()->getNumChildren(), 2u);
        osg::Node* settings = loaded->asGroup()->getChild(0);
        EXPECT_EQ(settings->getName(), "Settings");
        EXPECT_EQ(settings->getNodeMask(), 0x5u);
        int answer = 0;
        std::string label;
        EXPECT_TRUE(settings->getUserValue("answer", answer) && answer == 42) << path;
        EXPECT_TRUE(settings->getUserValue("label", label) && label == "left") << path;
        EXPECT_EQ(loaded->asGroup()->getChild(1)->asGroup()->getChild(2)->getName(), "Cone");
    }
}

TEST_F(SceneReaderFixture, BadInputGivesNullAndAnErrorNamingTheFile)
{
    NodeReader* reader = m_io.reader();
    ASSERT_TRUE(reader && m_io.writer());
    ASSERT_TRUE(m_io.writer()->write(makeShapesScene(), m_io.file("whole.osgb")));
    const QByteArray whole = m_io.readBytes("whole.osgb");
    ASSERT_GT(whole.size(), 200);

    m_io.writeBytes("empty.osgt", "");
    m_io.writeBytes("truncated.osgb", whole.left(whole.size() / 3));
    m_io.writeBytes("random.obj", randomBytes(3000, 1));
    m_io.writeBytes("random.stl", randomBytes(3000, 2));
    m_io.writeBytes("random.osgb", randomBytes(3000, 3));
    m_io.writeBytes("nosuffix", whole);
    m_io.writeBytes("cycle.osgt", cycleText);
    const std::string folder = m_io.file("scenes.osgt");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));

    const std::vector<std::pair<std::string, std::string>> cases{
        {m_io.file("empty.osgt"), "the file is empty"},
        {m_io.file("truncated.osgb"), "osgDB"},
        {m_io.file("random.obj"), "Cannot read"},
        {m_io.file("random.stl"), "not a complete binary STL file"},
        {m_io.file("random.osgb"), "not handled"},
        {m_io.file("nosuffix"), "has no extension"},
        {m_io.file("cycle.osgt"), "has a cycle: \"Loop\""},
        {m_io.file("missing.obj"), "does not exist"},
        {folder, "is a directory"},
    };
    for (const auto& [path, reason] : cases) {
        m_log.clearErrors();
        EXPECT_FALSE(reader->read(path, nullptr)) << path;
        EXPECT_EQ(m_log.errorsWith({"SceneReader::read: Cannot read " + path, reason}), 1) << path;
    }
}

TEST_F(SceneReaderFixture, ShippedSampleHoldsASavedFileRoot)
{
    osg::ref_ptr<osg::Node> loaded =
        m_io.reader()->read(ZELVISTA_BUILD_ROOT "/Media/samples/sample.osgt", nullptr);
    ASSERT_TRUE(loaded && loaded->asGroup());
    EXPECT_EQ(loaded->getName(), "FILE_ROOT");
    std::vector<std::string> top;
    for (unsigned int i = 0; i < loaded->asGroup()->getNumChildren(); ++i)
        top.push_back(loaded->asGroup()->getChild(i)->getName());
    EXPECT_EQ(top, std::vector<std::string>({"SCENE", "PLUGIN_DATA"}));

    auto* scene = dynamic_cast<osg::MatrixTransform*>(loaded->asGroup()->getChild(0));
    ASSERT_NE(scene, nullptr);
    std::vector<std::string> objects;
    for (unsigned int i = 0; i < scene->getNumChildren(); ++i)
        objects.push_back(scene->getChild(i)->getName());
    EXPECT_EQ(objects,
              std::vector<std::string>({"Box", "Sphere", "Cone", "Ground", "BEACONS", "CAMERAS"}));
    EXPECT_GT(geometryStats(*scene->getChild(0)).vertices, 0);
    EXPECT_TRUE(geometryStats(*scene).allUseVertexBuffers);

    osg::Group* beacons = scene->getChild(4)->asGroup();
    ASSERT_TRUE(beacons && beacons->getNumChildren() == 1);
    auto* sun = dynamic_cast<osg::LightSource*>(beacons->getChild(0));
    ASSERT_NE(sun, nullptr);
    EXPECT_EQ(sun->getName(), "SunLight");
    EXPECT_EQ(sun->getLight()->getPosition().w(), 0.0f);
    EXPECT_EQ(scene->getChild(5)->asGroup()->getNumChildren(), 0u);

    osg::Group* pluginData = loaded->asGroup()->getChild(1)->asGroup();
    ASSERT_TRUE(pluginData && pluginData->getNumChildren() == 1);
    std::string view;
    EXPECT_TRUE(pluginData->getChild(0)->getUserValue("startView", view));
    EXPECT_EQ(view, "Overview");
}

TEST(SceneGraphCheckTest, FindsCyclesAndDeepNestingButAcceptsSharedNodes)
{
    osg::ref_ptr<osg::Group> root = new osg::Group;
    osg::ref_ptr<osg::Group> shared = new osg::Group;
    osg::ref_ptr<osg::Group> left = new osg::Group;
    osg::ref_ptr<osg::Group> right = new osg::Group;
    root->addChild(left);
    root->addChild(right);
    left->addChild(shared);
    right->addChild(shared);
    EXPECT_EQ(SceneGraphCheck::problem(*root), "");

    shared->setName("Back");
    shared->addChild(root);
    root->setName("Top");
    EXPECT_NE(SceneGraphCheck::problem(*root).find("cycle: \"Top\""), std::string::npos);
    shared->removeChildren(0, 1);

    osg::ref_ptr<osg::Group> deep = new osg::Group;
    osg::Group* tip = deep.get();
    for (int level = 1; level < SceneGraphCheck::maximumDepth; ++level) {
        osg::ref_ptr<osg::Group> child = new osg::Group;
        tip->addChild(child);
        tip = child.get();
    }
    EXPECT_EQ(SceneGraphCheck::problem(*deep), "");
    tip->addChild(new osg::Group);
    EXPECT_NE(SceneGraphCheck::problem(*deep).find("deeper than"), std::string::npos);
}

} // namespace
