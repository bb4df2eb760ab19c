#include "ProgramRun.h"
#include "ScratchInstall.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const char* const helperName = "SceneReaderHelp"; // as the kernel shortens it

// The reader helpers the process started, as found in /proc.
QList<int> helpersOf(qint64 parent)
{
    QList<int> helpers;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        QFile stat("/proc/" + entry + "/stat");
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ..."
        const QString text = QString::fromLatin1(stat.readAll());
        const int close = text.lastIndexOf(')');
        const QStringList fields = text.mid(close + 2).split(' ');
        if (text.contains(QString("(") + helperName + ")") && fields.size() > 1 &&
            fields[1].toLongLong() == parent)
            helpers.append(pid);
    }
    return helpers;
}

bool alive(int pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromLatin1(stat.readAll());
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

template <class Condition> bool waitFor(Condition condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

class ReaderProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_install.addShippedPlugin("SceneReader.so");
        ASSERT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/bin/SceneReaderHelper",
                                m_install.root() + "/bin/SceneReaderHelper"));
    }

    std::unique_ptr<ProgramRun> start(const QStringList& arguments, int readerDelayMs = 0)
    {
        QStringList environment{"QT_QPA_PLATFORM=offscreen", "TMP=" + m_install.root()};
        if (readerDelayMs > 0)
            environment << QString("ZELVISTA_TEST_READER_DELAY_MS=%1").arg(readerDelayMs);
        return std::make_unique<ProgramRun>(m_install.program(), arguments, m_install.dataHome(),
                                            environment);
    }

    // Starts the program on a load that the helper holds up for a minute; the helper's pid.
    int startSlowLoad(std::unique_ptr<ProgramRun>& run)
    {
        run = start({"--loadFile", m_sample}, 60000);
        int helper = 0;
        EXPECT_TRUE(waitFor(
            [&] {
                const QList<int> helpers = helpersOf(run->processId());
                helper = helpers.isEmpty() ? 0 : helpers.front();
                return helper != 0;
            },
            30000))
            << run->standardError().toStdString();
        return helper;
    }

    ScratchInstall m_install;
    const QString m_sample = QString(ZELVISTA_BUILD_ROOT) + "/Media/samples/sample.osgt";
};

TEST_F(ReaderProgramTest, SignalsCancelALoadAndCloseLikeExit)
{
    for (const int signalNumber : {SIGTERM, SIGHUP}) {
        QFile::remove(m_install.configFile());
        std::unique_ptr<ProgramRun> run;
        const int helper = startSlowLoad(run);
        ASSERT_NE(helper, 0);
        QElapsedTimer timer;
        timer.start();
        run->sendSignal(signalNumber);
        // The read ends at once; closing takes what it takes on this machine.
        ASSERT_TRUE(run->waitForLog("the read was cancelled", 1000))
            << run->standardError().toStdString();
        const qint64 cancelledAfter = timer.elapsed();
        ASSERT_TRUE(run->waitForExit(10000));
        const qint64 closedAfter = timer.elapsed();
        std::cout << "signal " << signalNumber << " during a load: read cancelled after "
                  << cancelledAfter << " ms, program closed after " << closedAfter << " ms\n";
        EXPECT_LT(closedAfter, 3000);
        EXPECT_FALSE(run->crashed());
        EXPECT_EQ(run->exitCode(), 0);
        EXPECT_TRUE(QFile::exists(m_install.configFile()));
        EXPECT_FALSE(alive(helper));
    }
}

TEST_F(ReaderProgramTest, TheHelperIsConfinedAndDiesWithTheProgram)
{
    std::unique_ptr<ProgramRun> run;
    const int helper = startSlowLoad(run);
    ASSERT_NE(helper, 0);
    // The helper confines itself first thing; the delay for the test comes after.
    QString text;
    EXPECT_TRUE(waitFor(
        [&] {
            QFile status(QString("/proc/%1/status").arg(helper));
            text = status.open(QIODevice::ReadOnly) ? QString::fromLatin1(status.readAll()) : "";
            return text.contains("Seccomp:\t2");
        },
        10000))
        << text.toStdString();
    EXPECT_TRUE(text.contains("NoNewPrivs:\t1")) << text.toStdString();
    QFile limits(QString("/proc/%1/limits").arg(helper));
    ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(limits.readAll()).split('\n');
    for (const QString& line : lines) {
        if (line.startsWith("Max cpu time")) {
            EXPECT_FALSE(line.contains("unlimited")) << line.toStdString();
        } else if (line.startsWith("Max core file size")) {
            EXPECT_TRUE(line.simplified().startsWith("Max core file size 0 0"))
                << line.toStdString();
        }
    }
    run->sendSignal(SIGKILL);
    ASSERT_TRUE(run->waitForExit(10000));
    EXPECT_TRUE(waitFor([&] { return !alive(helper); }, 1000));
}

TEST_F(ReaderProgramTest, AScriptNamedByTheSceneNeverRuns)
{
    const QString marker = m_install.root() + "/marker";
    m_install.writeFile("evil.lua", "local f = io.open(\"" + marker.toUtf8() +
                                        "\", \"w\")\nf:write(\"ran\")\nf:close()\n");
    m_install.writeFile("scene.osgt",
                        "#Ascii Scene\n#Version 161\n#Generator OpenSceneGraph 3.6.5\n"
                        "osg::Group {\n  UniqueID 1\n  Children 1 {\n"
                        "    osg::ProxyNode {\n      UniqueID 2\n"
                        "      Name \"Proxy\"\n      FileNames 1 {\n"
                        "        \"evil.lua\"\n      }\n    }\n  }\n}\n");
    auto run = start({"--loadFile", m_install.root() + "/scene.osgt"});
    ASSERT_TRUE(run->waitForLog("SceneReader::read: Read ")) << run->standardError().toStdString();
    run->sendSignal(SIGTERM);
    ASSERT_TRUE(run->waitForExit());
    EXPECT_EQ(run->exitCode(), 0);
    const QString log = run->standardError();
    EXPECT_TRUE(log.contains("left out evil.lua")) << log.toStdString();
    EXPECT_FALSE(QFile::exists(marker));
}

TEST_F(ReaderProgramTest, AClosedStandardErrorDoesNotKillTheProgram)
{
    // As "Zelvista 2>&1 | head -1": the reading end goes away after the first line.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    const std::string program = m_install.program().toStdString();
    const std::string data = "XDG_DATA_HOME=" + m_install.dataHome().toStdString();
    const std::string temp = "TMP=" + m_install.root().toStdString();
    std::vector<std::string> environment{data, temp, "QT_QPA_PLATFORM=offscreen"};
    auto replaced = [](const std::string& entry) {
        for (const char* name : {"XDG_DATA_HOME=", "QT_QPA_PLATFORM=", "TMP=", "TEMP="})
            if (entry.rfind(name, 0) == 0)
                return true;
        return false;
    };
    for (char** entry = environ; *entry; ++entry)
        if (!replaced(*entry))
            environment.push_back(*entry);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    char byte = 0;
    ASSERT_EQ(::read(pipe[0], &byte, 1), 1);
    ::close(pipe[0]);
    // Started, the program has written many more records into the closed pipe (and its log).
    EXPECT_TRUE(waitFor(
        [&] {
            for (const QString& name : QDir(m_install.root()).entryList({"#ZEL_*.log"})) {
                QFile log(m_install.root() + "/" + name);
                if (log.open(QIODevice::ReadOnly) && log.readAll().contains("Main window shown."))
                    return true;
            }
            return false;
        },
        30000));
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(QFile::exists(m_install.configFile()));
}

} // namespace
