#include "PluginSystem/PluginRegistry.h"

#include "ApplicationBase/KernelAPI.h"
#include "LogCapture.h"
#include "PluginSystem/PluginDescriptor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sys/stat.h>

namespace {

const QString testPlugins = ZELVISTA_TEST_PLUGIN_ROOT;

void copyFile(const QString& from, const QString& to)
{
    ASSERT_TRUE(QFile::copy(from, to)) << from.toStdString() << " -> " << to.toStdString();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::set<std::string> descriptorNames(const IKernel& kernel)
{
    std::set<std::string> names;
    for (const PluginDescriptor* descriptor : kernel.getPluginRegistry())
        names.insert(descriptor->name);
    return names;
}

TEST(ShortenStringTest, LongPathsKeepTheirLastThirtyCharacters)
{
    const std::string path37(37, 'p');
    const std::string path38 = "x" + std::string(7, 'y') + std::string(30, 'z');
    EXPECT_EQ(shortenString(path37, 30, 0), path37);
    EXPECT_EQ(shortenString(path38, 30, 0), "[...]" + std::string(30, 'z'));
}

TEST(PluginScanTest, LoadsOnlyWellFormedLibrariesWithTheExactSuffix)
{
    QTemporaryDir dir;
    const QString plugins = dir.filePath("Plugins");
    QDir().mkpath(plugins + "/c.so");
    copyFile(testPlugins + "/good/GoodPlugins.so", plugins + "/GoodPlugins.so");
    copyFile(testPlugins + "/good/GoodPlugins.so", plugins + "/Capital.SO");
    copyFile(testPlugins + "/broken/NoRuntimePlugin.so", plugins + "/NoRuntimePlugin.so");
    copyFile(testPlugins + "/broken/RuntimeZeroPlugin.so", plugins + "/RuntimeZeroPlugin.so");
    writeBytes(plugins + "/b.txt", "not a library");
    writeBytes(plugins + "/text.so", "this is plain text, not ELF\n");
    QFile good(plugins + "/GoodPlugins.so");
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    writeBytes(plugins + "/truncated.so", good.read(600));

    LogCapture capture;
    KernelAPI kernel(dir.path().toStdString(), dir.path().toStdString(),
                     plugins.toStdString() + "/", false);

    EXPECT_EQ(descriptorNames(kernel),
              (std::set<std::string>{"Alpha", "Beta", "Gamma", "Manual", "Scene", "Failing"}));
    EXPECT_EQ(kernel.getPluginRegistry().size(), 6u);
    EXPECT_EQ(capture.count("] Loaded "), 1);
    EXPECT_EQ(capture.count("GoodPlugins.so\n"), 1);
    EXPECT_EQ(capture.count("NoRuntimePlugin.so is not a plugin.\n"), 1);
    EXPECT_EQ(capture.count("RuntimeZeroPlugin.so runtime mismatch.\n"), 1);
    EXPECT_EQ(capture.count("Failed loading "), 2);
    EXPECT_TRUE(capture.contains("text.so"));
    EXPECT_TRUE(capture.contains("truncated.so"));
    EXPECT_FALSE(capture.contains("Capital.SO"));
    EXPECT_FALSE(capture.contains("c.so"));

    // Paths longer than 37 characters appear as "[...]" and their last 30 characters.
    const std::string shown = "[...]" + (plugins + "/GoodPlugins.so").right(30).toStdString();
    EXPECT_TRUE(capture.contains("Loaded " + shown + "\n"));

    const PluginDescriptor* alpha = kernel.getPluginRegistry().front();
    EXPECT_EQ(alpha->libraryDirectory, plugins.toStdString());
    EXPECT_NE(alpha->libraryHandle, nullptr);
}

TEST(PluginScanTest, SameLibraryThroughTwoAlternativePathsIsMergedOnce)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("first"));
    QDir().mkpath(dir.filePath("second"));
    QDir().mkpath(dir.filePath("Plugins"));
    const QString original = dir.filePath("Shared.so");
    copyFile(testPlugins + "/good/GoodPlugins.so", original);
    ASSERT_TRUE(QFile::link(original, dir.filePath("first/Shared.so")));
    ASSERT_TRUE(QFile::link(original, dir.filePath("second/Shared.so")));
    copyFile(testPlugins + "/good/GoodPlugins.so", dir.filePath("Plugins/Ignored.so"));

    LogCapture capture;
    KernelAPI kernel(dir.path().toStdString(), dir.path().toStdString(),
                     dir.filePath("Plugins").toStdString(), false,
                     {dir.filePath("first").toStdString(), dir.filePath("second").toStdString()});

    EXPECT_TRUE(capture.contains("If you use alternative plugin paths the value of pluginDir "
                                 "will be ignored!"));
    EXPECT_FALSE(capture.contains("Ignored.so"));
    EXPECT_EQ(capture.count("] Loaded "), 2);
    ASSERT_EQ(kernel.getPluginRegistry().size(), 6u);
    EXPECT_EQ(kernel.getPluginRegistry().front()->libraryPath,
              dir.filePath("second/Shared.so").toStdString());
}

TEST(PluginProbeTest, LibrariesThatCrashTheLoaderAreRefusedAndTheVerdictIsKept)
{
    QTemporaryDir dir;
    const QString plugins = dir.filePath("Plugins");
    const QString data = dir.filePath("data");
    QDir().mkpath(plugins);
    QDir().mkpath(data);
    copyFile(testPlugins + "/good/GoodPlugins.so", plugins + "/GoodPlugins.so");
    copyFile(testPlugins + "/crashing/CrashOnLoad.so", plugins + "/CrashOnLoad.so");
    // Special files where libraries are expected: reported, never waited on, never thrown.
    ASSERT_EQ(mkfifo((plugins + "/fifo.so").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(plugins + "/loop.so", plugins + "/loop.so"));
    ASSERT_TRUE(QFile::link(plugins + "/ping", plugins + "/pong"));
    ASSERT_TRUE(QFile::link(plugins + "/pong", plugins + "/ping"));
    const auto startKernel = [&] {
        return std::make_unique<KernelAPI>(dir.path().toStdString(), data.toStdString(),
                                           plugins.toStdString() + "/", false);
    };
    const std::set<std::string> good{"Alpha", "Beta", "Gamma", "Manual", "Scene", "Failing"};
    {
        LogCapture capture;
        auto kernel = startKernel();
        EXPECT_EQ(descriptorNames(*kernel), good);
        EXPECT_TRUE(capture.contains("CrashOnLoad.so (it crashed a trial load: "));
        EXPECT_TRUE(capture.contains("fifo.so (not a regular file)"));
        EXPECT_TRUE(capture.contains("loop.so ("));
        EXPECT_TRUE(capture.contains("Skipping " + (plugins + "/ping").toStdString()));
        EXPECT_EQ(capture.count("Failed loading "), 3);
        EXPECT_TRUE(capture.contains("Plugin libraries tried in child processes: 2 "));
    }
    QFile cache(data + "/PluginProbe.cache");
    ASSERT_TRUE(cache.exists());

    // Warm: nothing is tried again and the verdict stands.
    {
        LogCapture capture;
        auto kernel = startKernel();
        EXPECT_EQ(descriptorNames(*kernel), good);
        EXPECT_FALSE(capture.contains("Plugin libraries tried"));
        EXPECT_TRUE(capture.contains("CrashOnLoad.so (it crashed a trial load: "));
    }

    // A changed library is tried again; a damaged cache is no cache.
    QFile crashing(plugins + "/CrashOnLoad.so");
    ASSERT_TRUE(crashing.open(QIODevice::Append));
    crashing.write("appended");
    crashing.close();
    {
        LogCapture capture;
        auto kernel = startKernel();
        EXPECT_TRUE(capture.contains("Plugin libraries tried in child processes: 1 "));
    }
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cache.write("zelvista-plugin-probe-cache 1 x\nloads 0 1 2 3 4 5 %zz\n\0\xff garbage\n");
    cache.close();
    {
        LogCapture capture;
        auto kernel = startKernel();
        EXPECT_EQ(descriptorNames(*kernel), good);
        EXPECT_TRUE(capture.contains("Plugin libraries tried in child processes: 2 "));
        EXPECT_TRUE(capture.contains("CrashOnLoad.so (it crashed a trial load: "));
    }
}

} // namespace
