#include "ErrorCapture.h"
#include "SceneIOKernel.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <osg/Group>
#include <sys/stat.h>

namespace {

class SceneWriterFixture : public ::testing::Test
{
protected:
    // Nothing but the named files: no staging folder or temporary file left behind.
    QStringList folderEntries() const
    {
        return QDir(QFileInfo(QString::fromStdString(m_io.file("x"))).path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    ErrorCapture m_log;
    SceneIOKernel m_io;
};

TEST_F(SceneWriterFixture, OffersOnlyFormatsWhoseWriterWritesAFile)
{
    NodeWriter* writer = m_io.writer();
    ASSERT_NE(writer, nullptr);
    for (const char* extension : {"osgt", "osgb", "osgx", "osg", "ive", "obj", "stl", "3ds"})
        EXPECT_TRUE(writer->isExtensionSupported(extension)) << extension;
    for (const char* extension : {"dae", "ply", "lwo"})
        EXPECT_FALSE(writer->isExtensionSupported(extension)) << extension;

    EXPECT_FALSE(writer->write(makeShapesScene(), m_io.file("scene.dae")));
    EXPECT_FALSE(writer->write(nullptr, m_io.file("scene.osgt")));
    EXPECT_FALSE(writer->write(makeShapesScene(), m_io.file("scene")));
    EXPECT_EQ(m_log.errorsWith({"SceneWriter::write: Cannot write " + m_io.file("scene.dae"),
                                "not one of the formats"}),
              1);
    EXPECT_EQ(m_log.errorsWith({m_io.file("scene.osgt"), "no scene given"}), 1);
    EXPECT_EQ(m_log.errorsWith({m_io.file("scene"), "no extension"}), 1);
    EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(",").toStdString();
}

TEST_F(SceneWriterFixture, FailedWriteLeavesThePreviousFileUntouched)
{
    NodeWriter* writer = m_io.writer();
    ASSERT_NE(writer, nullptr);
    const std::string path = m_io.file("model.stl");
    ASSERT_TRUE(writer->write(makeShapesScene(), path));
    const QByteArray before = m_io.readBytes("model.stl");
    ASSERT_FALSE(before.isEmpty());

    // osgDB's STL writer reports success for a scene without triangles and writes nothing.
    osg::ref_ptr<osg::Node> empty = new osg::Group;
    EXPECT_FALSE(writer->write(empty, path));
    EXPECT_EQ(m_log.errorsWith({"SceneWriter::write: Cannot write " + path, "an empty file",
                                "previous file is unchanged"}),
              1);
    EXPECT_EQ(m_io.readBytes("model.stl"), before);

    // A directory in the way of the target is refused before anything is written.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(m_io.file("taken.osgt"))));
    EXPECT_FALSE(writer->write(makeShapesScene(), m_io.file("taken.osgt")));
    EXPECT_EQ(m_log.errorsWith({m_io.file("taken.osgt"), "is a directory"}), 1);
    EXPECT_EQ(folderEntries(), QStringList({"model.stl", "taken.osgt"}));
}

TEST_F(SceneWriterFixture, OverwriteReplacesContentKeepsModeAndSideFiles)
{
    NodeWriter* writer = m_io.writer();
    ASSERT_NE(writer, nullptr);
    const std::string path = m_io.file("scene.osgt");
    osg::ref_ptr<osg::Group> first = new osg::Group;
    first->setName("First");
    ASSERT_TRUE(writer->write(first, path));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    osg::ref_ptr<osg::Group> second = new osg::Group;
    second->setName("Second");
    ASSERT_TRUE(writer->write(second, path));
    const QByteArray text = m_io.readBytes("scene.osgt");
    EXPECT_TRUE(text.contains("Second") && !text.contains("First"));
    struct stat info
    {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // The OBJ writer names its material file after the file it writes: the final name.
    ASSERT_TRUE(writer->write(makeShapesScene(), m_io.file("shapes.obj")));
    EXPECT_TRUE(m_io.readBytes("shapes.obj").contains("mtllib shapes.mtl"));
    EXPECT_EQ(folderEntries(), QStringList({"scene.osgt", "shapes.mtl", "shapes.obj"}));
    EXPECT_EQ(m_log.errorCount(), 0u);
}

} // namespace
