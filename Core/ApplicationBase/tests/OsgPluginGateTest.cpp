#include "QtOSGPluginBase/OsgPluginGate.h"

#include "ApplicationBase/QtApplication.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <osgDB/ReadFile>
#include <osgDB/Registry>
#include <osgDB/WriteFile>

namespace {

std::string library(const char* extension)
{
    return osgDB::Registry::instance()->createLibraryNameForExtension(extension);
}

// Plug-in instances ask osgDB for their formats while the window base is built: the gate must
// stand before that, in every program on this base.
TEST(OsgPluginGateTest, TheWindowBaseRestrictsOsgDBBeforeAnyPluginInstance)
{
    EXPECT_FALSE(isOsgLibraryAllowed(library("osgt")));
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    static char name[] = "OsgPluginGateTest";
    static char* argv[] = {name, nullptr};
    {
        QtApplication application(1, argv, nullptr, {}, "Zelvista", {}, false);
        // The scene writer relies on these.
        for (const char* extension :
             {"osgt", "osgb", "osgx", "osg", "ive", "obj", "stl", "3ds", "dxf", "flt", "ac"})
            EXPECT_TRUE(isOsgLibraryAllowed(library(extension))) << extension;
        for (const char* extension : {"lua", "js", "curl", "p3d", "gdal", "bmp"})
            EXPECT_FALSE(isOsgLibraryAllowed(library(extension))) << extension;
        // Screenshots are written as PNG, TIFF or JPEG; the program still reads no image.
        const std::string picture = data.filePath("picture.png").toStdString();
        osg::ref_ptr<osg::Image> image = new osg::Image;
        image->allocateImage(4, 4, 1, GL_RGBA, GL_UNSIGNED_BYTE);
        for (const char* extension : {"png", "tiff", "jpeg"})
            EXPECT_TRUE(isOsgLibraryAllowed(library(extension))) << extension;
        ASSERT_TRUE(osgDB::writeImageFile(*image, picture));
        EXPECT_EQ(osgDB::readRefImageFile(picture), nullptr);
    }
    EXPECT_EQ(osgDB::Registry::instance()->getReaderWriterForExtension("lua"), nullptr);
    EXPECT_NE(osgDB::Registry::instance()->getReaderWriterForExtension("osgt"), nullptr);
}

} // namespace
