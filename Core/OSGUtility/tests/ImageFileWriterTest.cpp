#include "OSGUtility/ImageFileWriter.h"

#include "LogCapture.h"
#include "OSGUtility/Screenshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <osg/Camera>
#include <osg/Texture2D>
#include <osgDB/ReadFile>

namespace {

// 32 by 16 BGRA pixels: a red left half and a blue right half, the bottom row (the first in
// memory) green, and half transparent everywhere.
osg::ref_ptr<osg::Image> screenshotLike()
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(32, 16, 1, GL_BGRA, GL_UNSIGNED_BYTE);
    for (int t = 0; t < 16; ++t)
        for (int s = 0; s < 32; ++s) {
            unsigned char* pixel = image->data(s, t);
            const bool bottom = t < 2;
            pixel[0] = !bottom && s >= 16 ? 255 : 0;
            pixel[1] = bottom ? 255 : 0;
            pixel[2] = !bottom && s < 16 ? 255 : 0;
            pixel[3] = 128;
        }
    return image;
}

std::string channels(const osg::Image& image, int s, int t)
{
    const osg::Vec4 colour = image.getColor(s, t);
    return std::to_string(int(colour.r() * 255 + 0.5f)) + " " +
           std::to_string(int(colour.g() * 255 + 0.5f)) + " " +
           std::to_string(int(colour.b() * 255 + 0.5f)) + " " +
           std::to_string(int(colour.a() * 255 + 0.5f));
}

class ImageFileWriterTest : public ::testing::Test
{
protected:
    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    QTemporaryDir m_dir;
    LogCapture m_log;
};

TEST_F(ImageFileWriterTest, PngTiffAndJpegReadBackOpaqueTheRightWayUp)
{
    for (const char* name : {"shot.png", "shot.TIFF", "shot.tif", "shot.jpg"}) {
        osg::ref_ptr<osg::Image> image = screenshotLike();
        std::string reason;
        ASSERT_TRUE(OSGU::writeImageFile(*image, path(name), reason)) << name << ": " << reason;
        osg::ref_ptr<osg::Image> read = osgDB::readRefImageFile(path(name));
        ASSERT_NE(read, nullptr) << name;
        EXPECT_EQ(read->s(), 32) << name;
        EXPECT_EQ(read->t(), 16) << name;
        if (std::string(name).find("jpg") != std::string::npos) {
            // Lossy: near the colours, well inside the areas.
            EXPECT_GT(read->getColor(4, 10).r(), 0.8f);
            EXPECT_GT(read->getColor(28, 10).b(), 0.8f);
            EXPECT_GT(read->getColor(4, 0).g(), 0.6f) << "the bottom row stays down";
            continue;
        }
        EXPECT_EQ(channels(*read, 4, 12), "255 0 0 255") << name;
        EXPECT_EQ(channels(*read, 28, 12), "0 0 255 255") << name;
        EXPECT_EQ(channels(*read, 4, 0), "0 255 0 255") << name << ": the bottom row stays down";
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4)
        << "no staged file is left behind";
}

TEST_F(ImageFileWriterTest, AFailedWriteLeavesTheEarlierFileAsItWas)
{
    QFile earlier(m_dir.filePath("shot.bmp"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    std::string reason;
    EXPECT_FALSE(OSGU::writeImageFile(*screenshotLike(), path("shot.bmp"), reason));
    EXPECT_NE(reason.find(".png"), std::string::npos) << reason;
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");

    EXPECT_FALSE(OSGU::writeImageFile(*screenshotLike(), path("missing/shot.png"), reason));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.png"));
    EXPECT_FALSE(OSGU::writeImageFile(*screenshotLike(), path("folder.png"), reason));
    EXPECT_NE(reason.find("not a regular file"), std::string::npos) << reason;
    osg::ref_ptr<osg::Image> empty = new osg::Image;
    EXPECT_FALSE(OSGU::writeImageFile(*empty, path("empty.png"), reason));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("empty.png")));

    // A link is written through: it keeps naming the new file.
    ASSERT_TRUE(QFile::link(m_dir.filePath("target.png"), m_dir.filePath("link.png")));
    ASSERT_TRUE(OSGU::writeImageFile(*screenshotLike(), path("link.png"), reason)) << reason;
    EXPECT_TRUE(QFileInfo(m_dir.filePath("link.png")).isSymLink());
    EXPECT_NE(osgDB::readRefImageFile(path("target.png")), nullptr);
}

TEST_F(ImageFileWriterTest, AFolderIsCheckedForANewFileWithoutWritingOne)
{
    std::string reason;
    EXPECT_TRUE(OSGU::canCreateFileIn(path("shot.png"), reason)) << reason;
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    EXPECT_FALSE(OSGU::canCreateFileIn(path("missing/folder/shot.png"), reason));
    EXPECT_NE(reason.find(path("missing/folder") + ": " + std::strerror(ENOENT)), std::string::npos)
        << reason;

    QFile plain(m_dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    reason.clear();
    EXPECT_FALSE(OSGU::canCreateFileIn(path("plain/shot.png"), reason));
    EXPECT_NE(reason.find(path("plain")), std::string::npos) << reason;
}

TEST_F(ImageFileWriterTest, TheColourBufferOfAFrameBufferCameraIsWrittenWhenItHasAnImage)
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    OSGU::writeFBOColorBuffer(*camera, path("none.png"), 0);
    EXPECT_TRUE(m_log.contains("writeFBOColorBuffer: No buffer found"));

    osg::ref_ptr<osg::Texture2D> texture = new osg::Texture2D;
    camera->attach(osg::Camera::COLOR_BUFFER1, texture.get());
    OSGU::writeFBOColorBuffer(*camera, path("texture.png"), 1);
    EXPECT_TRUE(m_log.contains("writeFBOColorBuffer: No image found"));

    osg::ref_ptr<osg::Image> image = screenshotLike();
    texture->setImage(image.get());
    OSGU::writeFBOColorBuffer(*camera, path("texture.png"), 1);
    EXPECT_NE(osgDB::readRefImageFile(path("texture.png")), nullptr);
    EXPECT_EQ(image->getPixelFormat(), GLenum(GL_BGRA)) << "the camera's image stays as it is";
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.png")));
}

} // namespace
