#include "QtOSGPluginBase/OsgPluginGate.h"

#include "ApplicationBase/QtApplication.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <osgDB/Registry>

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
        // The colour-mapping pipeline's image export.
        EXPECT_TRUE(isOsgLibraryAllowed(library("tif")));
        for (const char* extension : {"lua", "js", "curl", "p3d", "gdal", "png"})
            EXPECT_FALSE(isOsgLibraryAllowed(library(extension))) << extension;
    }
    EXPECT_EQ(osgDB::Registry::instance()->getReaderWriterForExtension("lua"), nullptr);
    EXPECT_NE(osgDB::Registry::instance()->getReaderWriterForExtension("osgt"), nullptr);
}

} // namespace
