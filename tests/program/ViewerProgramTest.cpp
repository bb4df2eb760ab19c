#include "ProgramRun.h"
#include "ScratchInstall.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <csignal>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/ShapeDrawable>
#include <osgDB/WriteFile>

namespace {

const char* const pipelineCreated =
    "Created new render pipeline for mode FORWARD with traversal mask 1";

// The shipped sample scene; a scene of the test's own until the sample exists.
QString sceneFile(const ScratchInstall& install)
{
    const QString sample = QString(ZELVISTA_SOURCE_ROOT) + "/Media/samples/sample.osgt";
    if (QFile::exists(sample))
        return sample;
    osg::ref_ptr<osg::Geode> scene = new osg::Geode;
    scene->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(-0.8f, 0, 0), 1.0f)));
    scene->addDrawable(new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(0.8f, 0, 0), 0.6f)));
    const QString path = install.root() + "/scene.osgt";
    EXPECT_TRUE(osgDB::writeNodeFile(*scene, path.toStdString()));
    return path;
}

// Share of the pixels in the rectangle that differ clearly from the colour.
double coverage(const QImage& image, const QRect& area, const QColor& background)
{
    int differing = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            differing += std::abs(pixel.red() - background.red()) +
                             std::abs(pixel.green() - background.green()) +
                             std::abs(pixel.blue() - background.blue()) >
                         30;
        }
    return double(differing) / (area.width() * area.height());
}

TEST(ViewerProgramTest, ShowsTheSceneGivenOnTheCommandLine)
{
    ScratchInstall install;
    install.addShippedPlugin("Viewer.so");
    install.addShippedPlugin("SceneReader.so");
    // The reader reads in its helper, which lies next to the program.
    ASSERT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/bin/SceneReaderHelper",
                            install.root() + "/bin/SceneReaderHelper"));
    const QStringList environment{"QT_QPA_PLATFORM=xcb", "TMP=" + install.root()};

    ProgramRun help(install.program(), {"-h"}, install.dataHome(), environment);
    ASSERT_TRUE(help.waitForExit());
    EXPECT_TRUE(help.standardOutput().contains("viewer-render-mode"));
    EXPECT_TRUE(help.standardOutput().contains("viewer-snapshot"));

    const QString snapshot = install.root() + "/first-frame.png";
    ProgramRun run(install.program(),
                   {"--loadFile", sceneFile(install), "--viewer-snapshot", snapshot},
                   install.dataHome(), environment);
    ASSERT_TRUE(run.waitForLog(pipelineCreated)) << run.standardError().toStdString();
    ASSERT_TRUE(run.waitForLog("Wrote the first frame to " + snapshot))
        << run.standardError().toStdString();
    run.sendSignal(SIGTERM);
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(run.exitCode(), 0) << run.standardError().toStdString();
    // The snapshot is for one run only.
    EXPECT_FALSE(install.readFile("xdg/Korvath Lab/Zelvista/config.ini").contains("snapshot"));

    const QImage frame(snapshot);
    ASSERT_FALSE(frame.isNull());
    const QColor background(51, 51, 102);
    const int w = frame.width();
    const int h = frame.height();
    // The scene is framed: drawn around the middle, background at the edges.
    EXPECT_GT(coverage(frame, QRect(w / 4, h / 4, w / 2, h / 2), background), 0.1);
    EXPECT_LT(coverage(frame, QRect(0, 0, w, 4), background), 0.05);
    EXPECT_LT(coverage(frame, QRect(0, h - 4, w, 4), background), 0.05);
    if (::testing::Test::HasFailure())
        frame.save(QString(ZELVISTA_BUILD_ROOT) + "/tests/rendering-failures/ViewerProgram.png");
}

// Rendering without anyone at the window: the program shoots the scene it is given and ends.
TEST(ViewerProgramTest, ABatchScreenshotWritesTheSceneGivenAndEnds)
{
    ScratchInstall install;
    install.addShippedPlugin("Viewer.so");
    install.addShippedPlugin("SceneReader.so");
    ASSERT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/bin/SceneReaderHelper",
                            install.root() + "/bin/SceneReaderHelper"));
    const QStringList environment{"QT_QPA_PLATFORM=xcb", "TMP=" + install.root()};

    ProgramRun help(install.program(), {"-h"}, install.dataHome(), environment);
    ASSERT_TRUE(help.waitForExit());
    EXPECT_TRUE(help.standardOutput().contains("screenshot-size"));

    const QString shot = install.root() + "/shot.png";
    ProgramRun run(install.program(),
                   {"--screenshot", shot, "--screenshot-size", "1500x900", sceneFile(install)},
                   install.dataHome(), environment);
    ASSERT_TRUE(run.waitForExit(120000));
    EXPECT_EQ(run.exitCode(), 0) << run.standardError().toStdString();
    const QImage image(shot);
    ASSERT_EQ(image.size(), QSize(1500, 900));
    const QColor background(51, 51, 102);
    EXPECT_GT(coverage(image, QRect(375, 225, 750, 450), background), 0.1);
    EXPECT_LT(coverage(image, QRect(0, 0, 1500, 4), background), 0.05);
    EXPECT_FALSE(install.readFile("xdg/Korvath Lab/Zelvista/config.ini").contains("screenshot"));

    // A scene that cannot be read: no image, exit code 1 and the reason in the log.
    install.writeFile("broken.osgt", "#Ascii Scene\nosg::Group {\n  Children 7 {\n");
    const QString none = install.root() + "/none.png";
    ProgramRun broken(install.program(), {"--screenshot", none, install.root() + "/broken.osgt"},
                      install.dataHome(), environment);
    ASSERT_TRUE(broken.waitForExit(120000));
    EXPECT_EQ(broken.exitCode(), 1);
    EXPECT_TRUE(broken.standardError().contains("the scene given could not be loaded"))
        << broken.standardError().toStdString();
    EXPECT_FALSE(QFile::exists(none));
}

} // namespace
