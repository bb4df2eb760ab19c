#include "ApplicationBase/KernelAPI.h"

#include "ApplicationBase/LogFileName.h"
#include "ApplicationBase/ModelRegistry.h"
#include "LogCapture.h"
#include "Logger/File.h"
#include "Logger/Log.h"
#include "QtOSGPluginBase/ZELModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <regex>

namespace {

TEST(KernelLocationTest, PluginSubdirectoriesAndConfigurationRoots)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    LogCapture capture;
    {
        KernelAPI kernel(root + "/bin", root + "/data", root + "/Plugins/", false);
        EXPECT_EQ(kernel.getPluginSubdirectory("Selection"), root + "/Plugins//Selection/");
        const ConfigLocation location = kernel.getConfigLocation("Selection", "");
        EXPECT_EQ(location.defaultDir, root + "/bin/../config/default");
        EXPECT_EQ(location.userDir, root + "/data/user");
        EXPECT_EQ(location.pluginName, "Selection");
    }

    QDir().mkpath(dir.filePath("alt1/default"));
    QDir().mkpath(dir.filePath("alt2/user/Selection"));
    QDir().mkpath(dir.filePath("altPlugins/Selection"));
    KernelAPI kernel(root + "/bin", root + "/data", "", false, {root + "/altPlugins"},
                     {root + "/missing", root + "/alt1", root + "/alt2"});
    EXPECT_EQ(kernel.getPluginSubdirectory("Selection"), root + "/altPlugins/Selection/");
    EXPECT_EQ(kernel.getPluginSubdirectory("Navigation"), "");
    // alt1 is the first existing root and lacks the subdirectory: alt2 is never consulted.
    EXPECT_EQ(kernel.getConfigLocation("Selection", "a.xml").defaultDir,
              root + "/bin/../config/default");
    QDir().mkpath(dir.filePath("alt1/default/Selection"));
    const ConfigLocation found = kernel.getConfigLocation("Selection", "a.xml");
    EXPECT_EQ(found.defaultDir, root + "/alt1/default/");
    EXPECT_EQ(found.userDir, root + "/alt1/user/");
    EXPECT_EQ(found.fileName, "a.xml");
}

class TestModel : public ZELModel
{
public:
    using ZELModel::ZELModel;
};

TEST(ModelRegistryTest, DuplicateUuidIsRefusedWithoutCallbacks)
{
    ModelRegistry registry;
    int calls = 0;
    registry.addModelAddedCallback([&calls](const std::shared_ptr<ZELModel>&) { ++calls; });
    auto model = std::make_shared<TestModel>(Uuid{});
    EXPECT_FALSE(model->getUuid().is_nil());
    EXPECT_TRUE(registry.addModel(model));
    EXPECT_FALSE(registry.addModel(std::make_shared<TestModel>(model->getUuid())));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(registry.getModel<TestModel>(model->getUuid()), model);
}

} // namespace

namespace {

TEST(LogFileNameTest, TemporaryDirectoryFallsBackToTmpNeverTheRoot)
{
    const QByteArray saved[] = {qgetenv("TEMP"), qgetenv("TMP"), qgetenv("TMPDIR")};
    qunsetenv("TEMP");
    qputenv("TMP", "");
    qunsetenv("TMPDIR");
    const std::string fallback = logFileName("ZEL");
    qputenv("TMPDIR", "/var/tmp");
    const std::string fromTmpDir = logFileName("ZEL");
    qputenv("TEMP", "/first");
    const std::string fromTemp = logFileName("ZEL");
    qputenv("TEMP", saved[0]);
    qputenv("TMP", saved[1]);
    qputenv("TMPDIR", saved[2]);

    const std::regex name(R"(/tmp/#ZEL_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d_\d{5,}\.log)");
    EXPECT_TRUE(std::regex_match(fallback, name)) << fallback;
    EXPECT_EQ(fromTmpDir.rfind("/var/tmp/#ZEL_", 0), 0u) << fromTmpDir;
    EXPECT_EQ(fromTemp.rfind("/first/#ZEL_", 0), 0u) << fromTemp;
}

TEST(LogFileNameTest, ATakenNameIsNeverOpenedTheNextFreeOneIs)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim.txt");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me\n");
    file.close();
    const std::string path = dir.filePath("#ZEL_run.log").toStdString();
    ASSERT_TRUE(QFile::link(victim, QString::fromStdString(path)));
    ASSERT_TRUE(QFile::link(victim, dir.filePath("#ZEL_run-1.log")));

    std::string error;
    std::unique_ptr<Logger::Util::File> log = createNewLogFile(path, false, error);
    ASSERT_NE(log, nullptr) << error;
    EXPECT_EQ(log->path(), dir.filePath("#ZEL_run-2.log").toStdString());
    ZEL_INFO << "a record\n";
    log.reset();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me\n");

    EXPECT_EQ(createNewLogFile(dir.filePath("missing/x.log").toStdString(), false, error), nullptr);
    EXPECT_FALSE(error.empty());
}

} // namespace
