#include "ProgramRun.h"
#include "ScratchInstall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

    // The command line wins over config.ini; SIGTERM writes the file like a normal exit. The
    // setting of a plug-in that is gone for now is kept for its return; one-run options are not.
    m_install.writeFile("xdg/Korvath Lab/Zelvista/config.ini",
                        "# kept settings\nalpha-level=7\nfullscreen=\nremoved-plugin-option=3 # x\n"
                        "help=\nresponse-file=/nowhere\n");
    const QString second = runUntilSignal({"--alpha-level", "9"});
    EXPECT_TRUE(
        second.contains("Unknown option removed-plugin-option encountered in config file\n"));
    EXPECT_EQ(config(), "alpha-level=9\nfullscreen=\nremoved-plugin-option=3\n");
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

    // Help asked for in a response file is given as on the command line, and never kept.
    m_install.writeFile("help.txt", "--alpha-level 6\n--help\n");
    auto help = start({"--response-file", m_install.root() + "/help.txt"});
    ASSERT_TRUE(help->waitForExit());
    EXPECT_EQ(help->exitCode(), 0);
    EXPECT_TRUE(help->standardOutput().contains("--alpha-level"));
    runUntilSignal({});
    EXPECT_EQ(config(), "alpha-level=5\n");
}

TEST_F(ProgramStartupTest, HelpAndOptionErrorsNeedNoDisplay)
{
    const QStringList noDisplay{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    ProgramRun help(m_install.program(), {"-h"}, m_install.dataHome(), noDisplay);
    ASSERT_TRUE(help.waitForExit());
    EXPECT_FALSE(help.crashed());
    EXPECT_EQ(help.exitCode(), 0) << help.standardError().toStdString();
    EXPECT_TRUE(help.standardOutput().contains("--loadFile"));
    EXPECT_TRUE(help.standardOutput().contains("--alpha-level"));

    ProgramRun bogus(m_install.program(), {"--bogus"}, m_install.dataHome(), noDisplay);
    ASSERT_TRUE(bogus.waitForExit());
    EXPECT_FALSE(bogus.crashed());
    EXPECT_EQ(bogus.exitCode(), 1);
    EXPECT_TRUE(bogus.standardError().contains("Error: unrecognised option '--bogus'"));

    // A start that needs a window ends with its reason, not an abort, and changes nothing.
    ProgramRun window(m_install.program(), {"--alpha-level", "2"}, m_install.dataHome(), noDisplay);
    ASSERT_TRUE(window.waitForExit());
    EXPECT_FALSE(window.crashed());
    EXPECT_EQ(window.exitCode(), 1);
    EXPECT_TRUE(window.standardError().contains("FATAL")) << window.standardError().toStdString();
    EXPECT_TRUE(window.standardError().contains("no display"));
    EXPECT_FALSE(QFile::exists(m_install.configFile()));
}

TEST_F(ProgramStartupTest, SceneFileNamedWithoutOptionOpensLikeLoadFile)
{
    m_install.addTestPlugin("sceneio", "TestSceneIO.so");
    m_install.writeFile("scene dir/scene.osgt",
                        "#Ascii Scene\n#Version 161\n#Generator Zelvista\n\n"
                        "osg::Group {\n  UniqueID 1\n  Name \"named\"\n}\n");
    const QString scene = m_install.root() + "/scene dir/scene.osgt";
    const QString log = runUntilSignal({scene});
    EXPECT_TRUE(log.contains("Found loader plugIn for extension(s) ")) << log.toStdString();
    EXPECT_FALSE(log.contains("Cannot read"));
    EXPECT_FALSE(config().contains("scene")) << config().toStdString();

    auto two = start({scene, scene});
    ASSERT_TRUE(two->waitForExit());
    EXPECT_EQ(two->exitCode(), 1);
    EXPECT_TRUE(two->standardError().contains("Error: "));
}

TEST_F(ProgramStartupTest, UnreadableUserBindingsGiveWayToTheShippedOnesAndAreKept)
{
    m_install.addShippedPlugin("Viewer.so");
    m_install.addShippedPlugin("Navigation.so");
    const QByteArray shipped =
        m_install.readFile("config/default/Navigation/NavigationBindings.xml");
    ASSERT_FALSE(shipped.isEmpty());
    const QString user = "xdg/Korvath Lab/Zelvista/user/Navigation/NavigationBindings.xml";
    const QByteArray truncated = shipped.left(shipped.size() / 2);
    m_install.writeFile(user, truncated);

    // No GL context (no display for the offscreen platform): the viewer's drawing is not the
    // point here, its navigation is.
    auto run =
        std::make_unique<ProgramRun>(m_install.program(), QStringList{}, m_install.dataHome(),
                                     QStringList{"DISPLAY", "QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(run->waitForLog(started)) << run->standardError().toStdString();
    run->sendSignal(SIGTERM);
    ASSERT_TRUE(run->waitForExit());
    EXPECT_EQ(run->exitCode(), 0) << run->standardError().toStdString();
    const QString log = run->standardError();
    EXPECT_TRUE(log.contains("Cannot read the bindings file ")) << log.toStdString();
    // Every navigation binding is back, in the same form; the damaged file is kept aside.
    EXPECT_EQ(m_install.readFile(user), shipped);
    EXPECT_EQ(m_install.readFile(user + ".unreadable"), truncated);
}

TEST_F(ProgramStartupTest, SpecialFilesAndCrashingLibrariesAreReportedAndStartUpGoesOn)
{
    m_install.addTestPlugin("crashing", "CrashOnLoad.so");
    const auto fifo = [this](const QString& relativePath) {
        const QString path = m_install.root() + "/" + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0) << path.toStdString();
    };
    fifo("Plugins/fifo.so");
    fifo("xdg/Korvath Lab/Zelvista/ZelvistaLayout.bin");
    fifo("cwd/ZelvistaLayout.bin");
    ASSERT_TRUE(
        QFile::link(m_install.pluginDir() + "/loop.so", m_install.pluginDir() + "/loop.so"));
    QDir().mkpath(m_install.root() + "/folder");

    for (int run = 0; run < 2; ++run) {
        ProgramRun program(m_install.program(), {"--response-file", m_install.root() + "/folder"},
                           m_install.dataHome(), {}, m_install.root() + "/cwd");
        ASSERT_TRUE(program.waitForLog(started)) << program.standardError().toStdString();
        program.sendSignal(SIGTERM);
        ASSERT_TRUE(program.waitForExit());
        EXPECT_EQ(program.exitCode(), 0);
        const QString log = program.standardError();
        expectOnlyRecords(log);
        EXPECT_TRUE(log.contains("CrashOnLoad.so (it crashed a trial load: ")) << log.toStdString();
        EXPECT_TRUE(log.contains("fifo.so (not a regular file)"));
        EXPECT_TRUE(log.contains("loop.so ("));
        EXPECT_TRUE(log.contains("Could not open response-file " + m_install.root() + "/folder"));
        EXPECT_EQ(log.count("ZelvistaLayout.bin skipped (not a regular file)"), 2);
        // The second start knows the verdict and tries nothing.
        EXPECT_EQ(log.contains("Plugin libraries tried in child processes: 2 "), run == 0);
    }
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
