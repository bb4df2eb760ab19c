#include "PluginSystem/PluginFactory.h"

#include "ApplicationBase/KernelAPI.h"
#include "LogCapture.h"
#include "PluginSystem/PluginInstanceInfo.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

const Uuid alpha = uuidFromString("a1000000-0000-4000-8000-000000000001");
const Uuid manual = uuidFromString("d4000000-0000-4000-8000-000000000004");
const Uuid scene = uuidFromString("e5000000-0000-4000-8000-000000000005");

// A plug-in directory holding the good test library, and an optional pio.cfg.
class FactoryFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(QString(ZELVISTA_TEST_PLUGIN_ROOT) + "/good/GoodPlugins.so",
                                m_dir.filePath("GoodPlugins.so")));
    }

    void writePio(const QByteArray& text)
    {
        QFile file(m_dir.filePath("pio.cfg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    std::unique_ptr<KernelAPI> makeKernel(bool createAll)
    {
        const std::string dir = m_dir.path().toStdString();
        return std::make_unique<KernelAPI>(dir, dir, dir, createAll);
    }

    QTemporaryDir m_dir;
    LogCapture m_log;
};

TEST_F(FactoryFixture, CreatesInDefaultHintOrderWithCategories)
{
    auto kernel = makeKernel(true);
    const int beta = m_log.indexOf("Instantiate Beta (BASE +0)\n");
    const int alphaCreated = m_log.indexOf("Instantiate Alpha (UTIL -750)\n");
    const int failing = m_log.indexOf("Instantiate Failing (UTIL +0)\n");
    const int sceneCreated = m_log.indexOf("Instantiate Scene (SCENE -8999)\n");
    EXPECT_GE(beta, 0);
    EXPECT_LT(beta, alphaCreated);
    EXPECT_LT(alphaCreated, failing);
    EXPECT_LT(failing, sceneCreated);
    EXPECT_TRUE(m_log.contains("Created Alpha as Alpha_Default"));
    EXPECT_TRUE(m_log.contains("Failed initializing plugin Failing\n"));
    EXPECT_TRUE(m_log.contains("Skip instantiation of Gamma (DISABLED)"));
    EXPECT_TRUE(m_log.contains("Skip autocreation of Manual, uuid: "
                               "d4000000-0000-4000-8000-000000000004"));
    EXPECT_EQ(kernel->getPluginFactory()->getAllInstances().size(), 3u);
}

TEST_F(FactoryFixture, PioFileReordersDisablesAndReportsBadLines)
{
    writePio("# comment\n"
             "\n"
             "a1000000-0000-4000-8000-000000000001 50\n"
             "A1000000-0000-4000-8000-000000000001 9000\n"
             "B2000000-0000-4000-8000-000000000002 -5\n"
             "e5000000-0000-4000-8000-00000000000g 10\n"
             "{e5000000-0000-4000-8000-000000000005} 10\n"
             "e5000000-0000-4000-8000-000000000005\n"
             "e5000000-0000-4000-8000-000000000005 later\n"
             "e5000000-0000-4000-8000-000000000005 2147483647\n"
             "f6000000-0000-4000-8000000000000006 0\n"
             "\x01\x02\xff\xfe garbage \x00 bytes\n" +
             QByteArray(1500, 'x') + "\n" + "e5000000-0000-4000-8000-000000000005 1\n");
    auto kernel = makeKernel(true);

    EXPECT_TRUE(m_log.contains("PIO: a1000000-0000-4000-8000-000000000001 set instantiation "
                               "hint 50"));
    EXPECT_TRUE(m_log.contains("PIO: A1000000-0000-4000-8000-000000000001 set instantiation "
                               "hint 9000"));
    EXPECT_TRUE(m_log.contains("Instantiate Alpha (BASE -50)"));
    EXPECT_TRUE(m_log.contains("Skip instantiation of Beta (DISABLED)"));
    EXPECT_TRUE(m_log.contains("Skip instantiation of Failing (DISABLED)"));
    EXPECT_TRUE(m_log.contains("PIO: failed parsing uuid e5000000-0000-4000-8000-00000000000g in " +
                               m_dir.filePath("pio.cfg").toStdString()));
    EXPECT_EQ(m_log.count("PIO: cannot parse instantiation hint for "
                          "e5000000-0000-4000-8000-000000000005"),
              3);
    EXPECT_FALSE(m_log.contains("{e5000000"));
    // Reading stopped at the over-long line: the last line gave Scene no hint.
    EXPECT_TRUE(m_log.contains("Instantiate Scene (SCENE -8999)"));
}

TEST_F(FactoryFixture, LookupCreationAndDestructionNewestFirst)
{
    auto kernel = makeKernel(false);
    PluginFactory& factory = *kernel->getPluginFactory();
    EXPECT_EQ(factory.findInstance(alpha), nullptr);
    IPlugin* first = factory.getOrCreateInstance(alpha);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getInstanceInfo().getName(), "Default");
    EXPECT_EQ(factory.getOrCreateInstance(alpha), first);
    EXPECT_EQ(factory.findInstance(alpha), first);
    EXPECT_EQ(factory.createInstance(uuidFromString("00000000-0000-0000-0000-0000000000aa"),
                                     PluginInstanceInfo("x")),
              nullptr);

    IPlugin* external = factory.createInstance(manual, PluginInstanceInfo("Mine"), true);
    ASSERT_NE(factory.createInstance(scene, PluginInstanceInfo("Last")), nullptr);
    ASSERT_NE(external, nullptr);
    EXPECT_EQ(factory.getInstances<IPlugin>().size(), 3u);

    EXPECT_FALSE(factory.destroyInstance(external));
    EXPECT_TRUE(m_log.contains(" no external owner.\n"));
    int unrelated = 0;
    EXPECT_FALSE(factory.destroyInstance(reinterpret_cast<IPlugin*>(&unrelated)));
    EXPECT_TRUE(m_log.contains(" not found.\n"));

    factory.createOneInstanceOfAll();
    EXPECT_FALSE(m_log.contains("invoked multiple times"));
    factory.createOneInstanceOfAll();
    EXPECT_TRUE(m_log.contains(
        "PluginFactory::createOneInstanceOfAll() invoked multiple times, intended?\n"));
    EXPECT_EQ(m_log.count("Created Alpha as Alpha_Default"), 2);

    m_log.clear();
    kernel.reset();
    std::vector<std::string> destroyed;
    for (const std::string& record : m_log.records())
        destroyed.push_back(record.substr(record.find("] ") + 2));
    EXPECT_EQ(destroyed, (std::vector<std::string>{
                             "Destroy Scene...\n", "Destroy Alpha...\n", "Destroy Beta...\n",
                             "Destroy Scene...\n", "Destroy Alpha...\n", "Destroy Beta...\n",
                             "Destroy Scene...\n", "Skip destroy Manual, external owner.\n",
                             "Destroy Alpha...\n"}));
    external->destroy();
}

} // namespace
