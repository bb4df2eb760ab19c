#include "LogCapture.h"
#include "QtOSGPluginBase/IFileIO.h"

#include <gtest/gtest.h>

namespace {

class Filter : public IFileIO
{
public:
    explicit Filter(std::string filter) : m_filter(std::move(filter)) {}
    std::string getFilterString() const override { return m_filter; }

private:
    std::string m_filter;
};

TEST(FileIOFilterTest, PatternsAreMatchedByTheFilterStringRules)
{
    EXPECT_TRUE(Filter("Scenes (*.OSGT;*.Osgb)").isExtensionSupported("osgb"));
    EXPECT_FALSE(Filter("Scenes (*.osgt *.osgb)").isExtensionSupported("osgt"));
    EXPECT_TRUE(Filter("Meshes (*.stl);;Wavefront (*.obj)").isExtensionSupported("obj"));
    EXPECT_TRUE(Filter("Outer (inner) (*.ply)").isExtensionSupported("ply"));
    EXPECT_FALSE(Filter("Meshes (*.stl)").isExtensionSupported(""));
    EXPECT_TRUE(Filter("Anything (*.)").isExtensionSupported(""));

    LogCapture capture;
    EXPECT_TRUE(Filter("Broken *.stl);;Good (*.stl)").isExtensionSupported("stl"));
    EXPECT_TRUE(capture.contains("invalid filter string Broken *.stl)\n"));
    EXPECT_FALSE(Filter("Reversed )*.stl(").isExtensionSupported("stl"));
    EXPECT_FALSE(Filter("").isExtensionSupported("stl"));
    EXPECT_EQ(capture.count("invalid filter string"), 3);
}

TEST(FileIOFilterTest, ExtensionIsTheLowerCasedTextAfterTheLastDot)
{
    EXPECT_EQ(fileExtension("/data/model.v2.OSGB"), "osgb");
    EXPECT_EQ(fileExtension("/data.dir/README"), "");
    EXPECT_EQ(fileExtension("scene."), "");
}

} // namespace
