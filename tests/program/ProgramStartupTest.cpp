#include "ProgramRun.h"
#include "ScratchInstall.h"

#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>

namespace {

const char* const started = "Main window shown.";

// Every line the program writes to standard error is a log record.
void expectOnlyRecords(const QString& log)
{
    const QRegularExpression record(
        R"(^(INFO|WARN|ERROR|FATAL) \d\d:\d\d:\d\d [^ ()]+\(\d+\) \[\] )");
    for (const QString& line : log.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(record.match(line).hasMatch()) << line.toStdString();
}

class ProgramStartupTest : public ::testing::Test
{
protected:
    void SetUp() override { m_install.addTestPlugin("good", "GoodPlugins.so"); }

    std::unique_ptr<ProgramRun> start(const QStringList& arguments)
    {
        return std::make_unique<ProgramRun>(m_install.program(), arguments, m_install.dataHome());
    }

    // Starts the program, waits for start-up, then ends it with a signal.
    QString runUntilSignal(const QStringList& arguments, int signalNumber = SIGTERM)
    {
        auto run = start(arguments);
        EXPECT_TRUE(run->waitForLog(started)) << run->standardError().toStdString();
        run->sendSignal(signalNumber);
        EXPECT_TRUE(run->waitForExit());
        EXPECT_FALSE(run->crashed());
        EXPECT_EQ(run->exitCode(), 0) << run->standardError().toStdString();
        return run->standardError();
    }

    QString config() const
    {
        return QString::fromUtf8(m_install.readFile("xdg/Korvath Lab/Zelvista/config.ini"));
    }

    ScratchInstall m_install;
};

TEST_F(ProgramStartupTest, HelpListsPluginOptionsBeforeReadingAnyConfiguration)
{
    m_install.writeFile("xdg/Korvath Lab/Zelvista/config.ini", "no equals sign here\n");
    m_install.writeFile("response.txt", "\x01\x02 --unknown-thing");
    auto run = start({"-h", "--response-file", m_install.root() + "/response.txt"});
    ASSERT_TRUE(run->waitForExit());
    EXPECT_EQ(run->exitCode(), 0);
    const QString help = run->standardOutput();
    for (const char* option : {"--fullscreen", "--loadFile", "--response-file", "--debug",
                               "-h [ --help ]", "--alpha-level", "level of the alpha test plugin"})
        EXPECT_TRUE(help.contains(option)) << option;
    EXPECT_FALSE(run->standardError().contains("config file"));
    EXPECT_FALSE(run->standardError().contains("Instantiate"));

    auto invalid = start({"--no-such-option"});
    ASSERT_TRUE(invalid->waitForExit());
    EXPECT_EQ(invalid->exitCode(), 1);
    EXPECT_TRUE(invalid->standardError().contains("Error: unrecognised option '--no-such-option'"));
}

TEST_F(ProgramStartupTest, OptionsPersistAcrossRunsEndedBySignals)
{
    const QString first = runUntilSignal({"--fullscreen", "--alpha-level", "7", "--debug"}, SIGINT);
    expectOnlyRecords(first);
    EXPECT_TRUE(first.contains("could not open "));
    EXPECT_EQ(config(), "alpha-level=7\nfullscreen=\n");

    // Destroyed newest first at exit.
    const int scene = first.indexOf("Destroy Scene...");
    const int alpha = first.indexOf("Destroy Alpha...");
    const int beta = first.indexOf("Destroy Beta...");
    EXPECT_GE(scene, 0);
    EXPECT_LT(scene, alpha);
    EXPECT_LT(alpha, beta);

    // The command line wins over config.ini; SIGTERM writes the file like a normal exit.
    m_install.writeFile("xdg/Korvath Lab/Zelvista/config.ini",
                        "# kept settings\nalpha-level=7\nfullscreen=\nremoved-plugin-option=3\n");
    const QString second = runUntilSignal({"--alpha-level", "9"});
    EXPECT_TRUE(second.contains("reading config file "));
    EXPECT_TRUE(second.contains("WARN", Qt::CaseSensitive));
    EXPECT_TRUE(
        second.contains("Unknown option removed-plugin-option encountered in config file\n"));
    EXPECT_EQ(config(), "alpha-level=9\nfullscreen=\n");
}

TEST_F(ProgramStartupTest, ResponseFileCountsLikeTheCommandLine)
{
    m_install.writeFile("response.txt", "--alpha-level\t 3\r\n\n  --loadFile\n scene.osgt \t");
    const QString log = runUntilSignal(
        {"--response-file", m_install.root() + "/response.txt", "--alpha-level", "5"});
    EXPECT_FALSE(log.contains("Error in response file")) << log.toStdString();
    // The scene file is for this run only.
    EXPECT_EQ(config(), "alpha-level=5\n");

    const QString missing = runUntilSignal({"--response-file", m_install.root() + "/absent.txt"});
    EXPECT_TRUE(
        missing.contains("Could not open response-file " + m_install.root() + "/absent.txt"));
    EXPECT_FALSE(config().contains("response-file"));
}

TEST_F(ProgramStartupTest, BadFilesGiveTheirMessagesAndNeverCrash)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) % 256));

    m_install.writeFile("garbage.txt", garbage);
    auto response = start({"--response-file", m_install.root() + "/garbage.txt"});
    ASSERT_TRUE(response->waitForExit());
    EXPECT_FALSE(response->crashed());
    EXPECT_EQ(response->exitCode(), 1);
    EXPECT_TRUE(response->standardError().contains("Error in response file: "));

    m_install.writeFile("xdg/Korvath Lab/Zelvista/config.ini", garbage);
    auto config = start({});
    ASSERT_TRUE(config->waitForExit());
    EXPECT_FALSE(config->crashed());
    EXPECT_EQ(config->exitCode(), 1);
    EXPECT_TRUE(config->standardError().contains("Error in config file: "));

    // Over-long lines are fine in config.ini; a broken pio.cfg and broken libraries are
    // reported and start-up goes on.
    m_install.writeFile("xdg/Korvath Lab/Zelvista/config.ini",
                        "#" + QByteArray(5000, 'c') + "\nalpha-level=4\n");
    m_install.writeFile("Plugins/pio.cfg", garbage + "\n" + QByteArray(3000, 'p'));
    m_install.writeFile("Plugins/garbage.so", garbage);
    m_install.writeFile("Plugins/empty.so", "");
    const QString log = runUntilSignal({});
    EXPECT_EQ(log.count("Failed loading "), 2);
    EXPECT_TRUE(log.contains("Instantiate Alpha (UTIL -750)"));
    EXPECT_EQ(this->config(), "alpha-level=4\n");
}

} // namespace
