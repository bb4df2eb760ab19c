#include "ErrorCapture.h"
#include "ReaderHelperProcess.h"
#include "SceneIOKernel.h"

#include <QDir>
#include <QFile>
#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/PagedLOD>
#include <osg/ProxyNode>
#include <osg/ShapeDrawable>
#include <osg/Texture2D>
#include <osgDB/ReadFile>
#include <osgDB/Registry>
#include <osgDB/WriteFile>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

osg::ref_ptr<osg::Geode> box()
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName("Box");
    geode->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(), 1)));
    return geode;
}

// A scene whose ProxyNode, PagedLOD and texture each name the file, next to a box.
osg::ref_ptr<osg::Group> sceneNaming(const std::string& file)
{
    osg::ref_ptr<osg::Group> root = new osg::Group;
    root->setName("Root");
    osg::ref_ptr<osg::ProxyNode> proxy = new osg::ProxyNode;
    proxy->setName("Proxy");
    proxy->setFileName(0, file);
    root->addChild(proxy);
    osg::ref_ptr<osg::PagedLOD> paged = new osg::PagedLOD;
    paged->setName("Paged");
    paged->setFileName(0, file);
    paged->setRange(0, 0, 1e9f);
    root->addChild(paged);
    osg::ref_ptr<osg::Geode> textured = box();
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->setFileName(file);
    textured->getOrCreateStateSet()->setTextureAttributeAndModes(0, new osg::Texture2D(image));
    root->addChild(textured);
    return root;
}

osg::ref_ptr<osg::Geode> geometryWith(osg::PrimitiveSet* primitives)
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->push_back({0, 0, 0});
    vertices->push_back({1, 0, 0});
    vertices->push_back({0, 1, 0});
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setName("Bad");
    geometry->setVertexArray(vertices);
    geometry->addPrimitiveSet(primitives);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry);
    return geode;
}

// 2^levels paths in a few hundred bytes per level: every group lists its one child twice.
osg::ref_ptr<osg::Group> sharedChildren(int levels)
{
    osg::ref_ptr<osg::Group> root = new osg::Group;
    osg::Group* tip = root.get();
    for (int level = 0; level < levels; ++level) {
        osg::ref_ptr<osg::Group> child = new osg::Group;
        tip->addChild(child);
        tip->addChild(child);
        tip = child.get();
    }
    tip->addChild(box());
    return root;
}

// Binary .osgb as the reader helper sends it.
QByteArray streamOf(const osg::Node& node)
{
    std::ostringstream out;
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options("RobustBinaryFormat=false");
    osgDB::Registry::instance()->getReaderWriterForExtension("osgb")->writeNode(node, out,
                                                                                options.get());
    return QByteArray::fromStdString(out.str());
}

// A local listener that records whether anything connected.
class Listener
{
public:
    Listener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(::listen(m_fd, 16), 0);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(m_fd); }

    int port() const { return m_port; }
    bool connected() const
    {
        const int client = ::accept(m_fd, nullptr, nullptr);
        if (client >= 0)
            ::close(client);
        return client >= 0;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

class HostileSceneTest : public ::testing::Test
{
protected:
    FileResult read(const std::string& path)
    {
        FileResult result;
        m_node = m_io.reader()->readFile(path, nullptr, result);
        EXPECT_EQ(result.ok(), m_node.valid()) << path;
        return result;
    }

    void write(const osg::Node& node, const QString& name)
    {
        ASSERT_TRUE(osgDB::writeNodeFile(node, m_io.file(name))) << name.toStdString();
    }

    ErrorCapture m_log;
    SceneIOKernel m_io;
    osg::ref_ptr<osg::Node> m_node;
};

TEST_F(HostileSceneTest, FilesAScenesNamesNeverRunCodeOrReachTheNetwork)
{
    ASSERT_NE(m_io.reader(), nullptr);
    const std::string marker = m_io.file("marker");
    m_io.writeBytes("evil.lua", ("local f = io.open(\"" + marker +
                                 "\", \"w\")\nf:write(\"ran\")\n"
                                 "f:close()\n")
                                    .c_str());
    Listener listener;
    const std::string url = "http://127.0.0.1:" + std::to_string(listener.port()) + "/evil.lua";
    write(*sceneNaming("evil.lua"), "local.osgt");
    write(*sceneNaming(url), "remote.osgt");
    write(*sceneNaming(m_io.file("evil.lua")), "absolute.osg");

    for (const char* name : {"local.osgt", "remote.osgt", "absolute.osg"}) {
        m_log.clear();
        const FileResult result = read(m_io.file(name));
        // The box stays; what the file names is left out, and said so.
        ASSERT_TRUE(result.ok()) << name << ": " << result.reason;
        EXPECT_EQ(m_node->asGroup()->getNumChildren(), 3u) << name;
        EXPECT_GE(m_log.count("left out"), 2) << name;
        EXPECT_EQ(m_log.errorCount(), 0u) << name;
    }
    // Named as the scene itself, neither is read by anything.
    EXPECT_EQ(read(m_io.file("evil.lua")).status, FileResult::NotHandled);
    EXPECT_EQ(read(url).status, FileResult::NotHandled);
    // Nor in this process, where the reader plug-in restricted osgDB.
    EXPECT_FALSE(osgDB::readRefNodeFile(m_io.file("evil.lua")));
    EXPECT_FALSE(osgDB::readRefNodeFile(url));
    EXPECT_EQ(osgDB::Registry::instance()->getReaderWriterForExtension("lua"), nullptr);
    EXPECT_EQ(osgDB::Registry::instance()->getReaderWriterForExtension("curl"), nullptr);

    EXPECT_FALSE(QFile::exists(QString::fromStdString(marker)));
    EXPECT_FALSE(listener.connected());
}

TEST_F(HostileSceneTest, ReferencedFilesOfTheAllowedFormatsAreInlined)
{
    write(*box(), "part.osgt");
    write(*sceneNaming("part.osgt"), "assembly.osgt");
    ASSERT_TRUE(read(m_io.file("assembly.osgt")).ok());
    // Proxy and paged children came from the helper: plain groups holding the part.
    osg::Group* root = m_node->asGroup();
    ASSERT_EQ(root->getNumChildren(), 3u);
    for (unsigned int i = 0; i < 2; ++i) {
        EXPECT_EQ(dynamic_cast<osg::ProxyNode*>(root->getChild(i)), nullptr);
        EXPECT_EQ(dynamic_cast<osg::PagedLOD*>(root->getChild(i)), nullptr);
        ASSERT_EQ(root->getChild(i)->asGroup()->getNumChildren(), 1u);
        EXPECT_EQ(root->getChild(i)->asGroup()->getChild(0)->getName(), "Box");
    }
}

TEST_F(HostileSceneTest, GeometryThatCannotBeDrawnIsRefusedNamingTheProblem)
{
    osg::ref_ptr<osg::DrawElementsUInt> far = new osg::DrawElementsUInt(GL_TRIANGLES);
    far->push_back(0);
    far->push_back(1);
    far->push_back(400000000);
    write(*geometryWith(far), "index.osgt");
    write(*geometryWith(new osg::DrawArrays(GL_TRIANGLES, 0, 300000000)), "count.osgx");
    write(*geometryWith(new osg::DrawArrays(GL_TRIANGLES, -5, 3)), "first.ive");
    const std::vector<std::pair<QString, std::string>> cases{
        {"index.osgt", "use 400000001 vertices but it has 3"},
        {"count.osgx", "use 300000000 vertices but it has 3"},
        {"first.ive", "negative vertex -5"},
    };
    for (const auto& [name, problem] : cases) {
        m_log.clearErrors();
        const std::string path = m_io.file(name);
        EXPECT_EQ(read(path).status, FileResult::Failed);
        EXPECT_EQ(m_log.errorsWith({"Cannot read " + path, "\"Bad\"", problem}), 1)
            << name.toStdString();
    }
}

TEST_F(HostileSceneTest, SharedChildrenBeyondTheBoundAreRefusedAtOnce)
{
    write(*sharedChildren(40), "dag40.osgt");
    write(*sharedChildren(10), "dag10.osgt");
    const auto start = Clock::now();
    const FileResult refused = read(m_io.file("dag40.osgt"));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(refused.status, FileResult::Failed);
    EXPECT_NE(refused.reason.find("share children too often"), std::string::npos) << refused.reason;
    EXPECT_LT(seconds, 1.0);
    std::cout << "2^40-path scene refused in " << seconds << " s\n";
    EXPECT_TRUE(read(m_io.file("dag10.osgt")).ok());
}

TEST_F(HostileSceneTest, FileNamesAreBytesNotText)
{
    write(*box(), "box.obj");
    // "café.obj" in Latin-1: not valid UTF-8, still a valid name on Linux.
    const std::string latin1 =
        QDir(QString::fromStdString(m_io.file(""))).path().toStdString() + "/caf\xe9.obj";
    ASSERT_EQ(std::rename(m_io.file("box.obj").c_str(), latin1.c_str()), 0);
    const FileResult result = read(latin1);
    EXPECT_TRUE(result.ok()) << result.reason;
    std::remove(latin1.c_str());
}

// The program's own checks, on streams a helper should never send.
TEST_F(HostileSceneTest, TheProgramChecksTheStreamItself)
{
    osg::ref_ptr<osg::ProxyNode> proxy = new osg::ProxyNode;
    proxy->setName("Proxy");
    proxy->setFileName(0, "missing.osgt");
    osg::ref_ptr<osg::DrawElementsUInt> far = new osg::DrawElementsUInt(GL_TRIANGLES);
    far->push_back(400000000);
    m_io.writeBytes("proxy.osgb", streamOf(*proxy));
    m_io.writeBytes("index.osgb", streamOf(*geometryWith(far)));
    m_io.writeBytes("paths.osgb", streamOf(*sharedChildren(40)));
    m_io.writeBytes("scene.osgt", "#Ascii Scene\n");
    auto sending = [&](const char* name) {
        const std::string helper = m_io.file(QString("send-") + name);
        m_io.writeBytes(QString("send-") + name,
                        QByteArray("#!/bin/sh\nexec cat ") + m_io.file(name).c_str() + "\n");
        QFile::setPermissions(QString::fromStdString(helper),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return ReaderHelperProcess(helper);
    };
    ReaderHelperProcess::Outcome outcome;
    // The ProxyNode's file is not loaded (nor does its callback crash): the name is dropped.
    osg::ref_ptr<osg::Node> node = sending("proxy.osgb").read(m_io.file("scene.osgt"), "", outcome);
    ASSERT_TRUE(node) << outcome.reason;
    EXPECT_EQ(static_cast<osg::ProxyNode*>(node.get())->getFileName(0), "");
    ASSERT_EQ(outcome.warnings.size(), 1u);
    EXPECT_NE(outcome.warnings[0].find("missing.osgt"), std::string::npos);

    EXPECT_FALSE(sending("index.osgb").read(m_io.file("scene.osgt"), "", outcome));
    EXPECT_NE(outcome.reason.find("use 400000001 vertices"), std::string::npos) << outcome.reason;
    EXPECT_FALSE(sending("paths.osgb").read(m_io.file("scene.osgt"), "", outcome));
    EXPECT_NE(outcome.reason.find("share children too often"), std::string::npos);
}

} // namespace
