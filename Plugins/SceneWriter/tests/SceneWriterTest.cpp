#include "ErrorCapture.h"
#include "SceneIOKernel.h"
#include "WriterTestScenes.h"

#include <QDir>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <osg/Geometry>
#include <osg/KdTree>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A node class of some plug-in, for which osgDB has no serializer.
class PluginMarker : public osg::Group
{
public:
    PluginMarker() = default;
    PluginMarker(const PluginMarker& other, const osg::CopyOp& copy) : osg::Group(other, copy) {}
    META_Node(zelvistatest, PluginMarker)
};

class SceneWriterFixture : public ::testing::Test
{
protected:
    QString folder() const { return QString::fromStdString(m_io.file("")) + "/"; }
    std::string reason(const osg::ref_ptr<osg::Node>& scene, const std::string& path)
    {
        return m_writer.writeFile(scene, path).reason;
    }
    // Hidden entries too: no staging folder may stay behind.
    QStringList entries() const
    {
        return QDir(folder()).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    ErrorCapture m_log;
    SceneIOKernel m_io;
    NodeWriter& m_writer = *m_io.writer();
};

TEST_F(SceneWriterFixture, OffersOnlyFormatsThatReadBackAndSaysWhyNot)
{
    for (const char* extension : {"osgt", "osgb", "osgx"})
        EXPECT_TRUE(m_writer.isExtensionSupported(extension)) << extension;
    // They lose names, groups or user values, turn the scene, or do not read back at all.
    for (const char* extension : {"osg", "ive", "obj", "stl", "3ds", "dxf", "flt", "ac", "dae"})
        EXPECT_FALSE(m_writer.isExtensionSupported(extension)) << extension;

    const osg::ref_ptr<osg::Node> scene = layoutScene(false);
    EXPECT_EQ(reason(scene, m_io.file("a.obj")),
              "\".obj\" is not one of the formats this writer offers (.osgt, .osgb, .osgx)");
    EXPECT_EQ(reason(nullptr, m_io.file("a.osgt")), "no scene given");
    EXPECT_EQ(reason(scene, m_io.file("a")), "the file name has no extension, so its format is "
                                             "unknown");
    const std::string missing = m_io.file("missing/a.osgt");
    EXPECT_EQ(reason(scene, missing), "the folder " + m_io.file("missing") + " does not exist");
    ASSERT_TRUE(QDir(folder()).mkdir("taken.osgt"));
    EXPECT_EQ(reason(scene, m_io.file("taken.osgt")), "it is a folder");
    // One ERROR each, naming the file.
    EXPECT_EQ(m_log.errorCount(), 5u);
    EXPECT_EQ(m_log.errorsWith({"SceneWriter::write: Cannot write " + missing + ": the folder"}),
              1);
    EXPECT_EQ(entries(), QStringList({"taken.osgt"}));
}

TEST_F(SceneWriterFixture, ALossySaveIsRefusedAndThePreviousFileStays)
{
    const std::string path = m_io.file("scene.osgt");
    ASSERT_TRUE(m_writer.write(layoutScene(false), path));
    const QByteArray before = m_io.readBytes("scene.osgt");
    // osgDB leaves out a node it cannot write, with all below it.
    osg::ref_ptr<osg::Node> scene = layoutScene(true);
    osg::ref_ptr<PluginMarker> marker = new PluginMarker;
    marker->setName("Marker");
    marker->addChild(meshScene(200));
    scene->asGroup()->getChild(1)->asGroup()->addChild(marker);
    EXPECT_EQ(reason(scene, path), "the new file does not hold the scene: it loses the node "
                                   "\"Big\"; the previous file is unchanged");
    EXPECT_EQ(m_io.readBytes("scene.osgt"), before);
    EXPECT_EQ(m_log.errorsWith({"Cannot write " + path, "does not hold the scene"}), 1);
    EXPECT_EQ(entries(), QStringList({"scene.osgt"}));
}

TEST_F(SceneWriterFixture, OverwriteKeepsModeAndWritesThroughSymbolicLinks)
{
    const std::string path = m_io.file("scene.osgt");
    ASSERT_TRUE(m_writer.write(meshScene(200), path));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(m_writer.write(layoutScene(false), path));
    struct stat info
    {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // now.osgt -> link.osgt -> data/v1.osgt, and a dangling link to a file still to be made.
    ASSERT_TRUE(QDir(folder()).mkdir("data"));
    ASSERT_TRUE(m_writer.write(meshScene(200), m_io.file("data/v1.osgt")));
    ASSERT_EQ(::symlink("data/v1.osgt", m_io.file("link.osgt").c_str()), 0);
    ASSERT_EQ(::symlink(m_io.file("link.osgt").c_str(), m_io.file("now.osgt").c_str()), 0);
    ASSERT_EQ(::symlink("data/new.osgb", m_io.file("dangling.osgb").c_str()), 0);
    ASSERT_TRUE(m_writer.write(layoutScene(false), m_io.file("now.osgt")));
    ASSERT_TRUE(m_writer.write(layoutScene(false), m_io.file("dangling.osgb")));
    for (const char* link : {"now.osgt", "link.osgt", "dangling.osgb"})
        EXPECT_TRUE(QFileInfo(folder() + link).isSymLink()) << link;
    EXPECT_TRUE(m_io.readBytes("data/v1.osgt").contains("Terrain"));
    EXPECT_TRUE(m_io.readBytes("data/new.osgb").contains("Terrain"));
    EXPECT_EQ(
        QDir(folder() + "data").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList({"new.osgb", "v1.osgt"}));
    EXPECT_EQ(m_log.errorCount(), 0u);
}

TEST_F(SceneWriterFixture, LatinOneNamesAreSavedAndReportedAsTheirBytes)
{
    const std::string latin1Folder = m_io.file("") + "/Entw\xfcrfe";
    const std::string path = latin1Folder + "/caf\xe9.osgt";
    ASSERT_EQ(::mkdir(latin1Folder.c_str(), 0755), 0);
    ASSERT_TRUE(m_writer.write(layoutScene(false), path));
    ASSERT_EQ(::symlink("caf\xe9.osgt", (latin1Folder + "/th\xe9.osgt").c_str()), 0);
    ASSERT_TRUE(m_writer.write(meshScene(200), latin1Folder + "/th\xe9.osgt"));
    EXPECT_TRUE(m_log.contains("SceneWriter::write: Wrote " + path + "\n"));
    EXPECT_TRUE(m_log.contains("SceneWriter::write: Wrote " + latin1Folder + "/th\xe9.osgt\n"));
    // The link's target took the second save.
    std::ifstream saved(path);
    const std::string text((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(text.find("Big"), std::string::npos);
    // QTemporaryDir cannot remove names that are not in the locale's encoding.
    for (const char* name : {"/th\xe9.osgt", "/caf\xe9.osgt"})
        EXPECT_EQ(::unlink((latin1Folder + name).c_str()), 0);
    EXPECT_EQ(::rmdir(latin1Folder.c_str()), 0);
}

TEST_F(SceneWriterFixture, LeftoversOfDeadSavesGoAndLiveOnesStay)
{
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const auto name = [](const char* file, pid_t pid, const char* suffix) {
        return QString(".%1.saving-%2-%3").arg(file).arg(pid).arg(suffix);
    };
    const QString deadSave = name("old.osgt", dead, "Ab12Cd");
    const QString liveSave = name("other.osgt", ::getpid(), "Ef34Gh");
    const QString lockedSave = name("locked.osgt", dead, "Ij56Kl");
    for (const QString& folderName : {deadSave, liveSave, lockedSave, QString(".notes.saving-x")})
        ASSERT_TRUE(QDir(folder()).mkpath(folderName + "/inner"));
    m_io.writeBytes(deadSave + "/old.osgt", QByteArray(4096, 'x'));
    m_io.writeBytes(name("file.osgt", dead, "Mn78Op"), "a file, not a save's folder");
    // A save in another pid namespace has a pid that looks dead here; its lock tells.
    const int lock = ::open(m_io.file(lockedSave).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    ASSERT_TRUE(m_writer.write(layoutScene(false), m_io.file("scene.osgt")));
    ::close(lock);
    EXPECT_EQ(entries(), QStringList({name("file.osgt", dead, "Mn78Op"), lockedSave,
                                      ".notes.saving-x", liveSave, "scene.osgt"}));
}

TEST_F(SceneWriterFixture, PickingTreesStayOutOfTheFileAndOnTheScene)
{
    osg::ref_ptr<osg::Node> scene = meshScene(2000);
    osg::Geometry* geometry = scene->asGroup()->getChild(0)->asGeometry();
    osg::ref_ptr<osg::KdTree> tree = new osg::KdTree;
    osg::KdTree::BuildOptions options;
    ASSERT_TRUE(tree->build(options, geometry));
    geometry->setShape(tree);
    for (const QString name : {"picked.osgt", "picked.osgb", "picked.osgx"}) {
        ASSERT_TRUE(m_writer.write(scene, m_io.file(name)));
        EXPECT_FALSE(m_io.readBytes(name).contains("KdTree")) << name.toStdString();
        EXPECT_EQ(geometry->getShape(), tree.get());
    }
}

} // namespace
