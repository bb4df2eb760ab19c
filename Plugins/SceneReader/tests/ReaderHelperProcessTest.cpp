#include "ReaderHelperProcess.h"

#include "ErrorCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

using std::chrono::milliseconds;

// Stand-ins for the reader helper: small shell scripts that misbehave on purpose.
class FakeHelperFixture : public ::testing::Test
{
protected:
    std::string helper(const char* name, const QByteArray& script)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path.toStdString();
    }

    std::string sceneFile()
    {
        const QString path = m_dir.filePath("scene.osgt");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#Ascii Scene\n");
        return path.toStdString();
    }

    static void expectNoChildLeft()
    {
        errno = 0;
        EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }

    QTemporaryDir m_dir;
    ErrorCapture m_log;
};

TEST_F(FakeHelperFixture, CrashIsReportedWithItsSignal)
{
    const std::string scene = sceneFile();
    // Half a stream, then the crash: the plug-in must not trust what arrived.
    ReaderHelperProcess crashing(helper("crash", "printf 'osgb partial'\nkill -SEGV $$\n"));
    EXPECT_FALSE(crashing.read(scene, ""));
    EXPECT_EQ(m_log.errorsWith({"SceneReader::read: Cannot read " + scene, "crashed (SIGSEGV)"}),
              1);
    ReaderHelperProcess aborting(helper("abort", "echo 'osgDB: bad chunk' >&2\nkill -ABRT $$\n"));
    EXPECT_FALSE(aborting.read(scene, ""));
    EXPECT_EQ(m_log.errorsWith({scene, "crashed (SIGABRT)", "osgDB: bad chunk"}), 1);
    expectNoChildLeft();
}

TEST_F(FakeHelperFixture, HangIsKilledAtTheTimeLimit)
{
    const std::string scene = sceneFile();
    ReaderHelperProcess hanging(helper("hang", "exec sleep 30\n"),
                                {milliseconds(400), milliseconds(0)});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hanging.read(scene, ""));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(m_log.errorsWith({scene, "was killed (time-out)"}), 1);

    // Closing its output does not end a hang either.
    ReaderHelperProcess silent(helper("silent", "exec >&- 2>&-\nsleep 30\n"),
                               {milliseconds(400), milliseconds(0)});
    EXPECT_FALSE(silent.read(scene, ""));
    EXPECT_EQ(m_log.errorsWith({scene, "time-out"}), 2);
    expectNoChildLeft();
}

TEST_F(FakeHelperFixture, FailuresCarryTheHelpersMessageAndKind)
{
    const std::string scene = sceneFile();
    ReaderHelperProcess failing(helper("fail", "echo 'osgDB: unexpected end' >&2\nexit 66\n"));
    EXPECT_FALSE(failing.read(scene, ""));
    EXPECT_EQ(m_log.errorsWith({scene, "(handled and failed)", "osgDB: unexpected end"}), 1);

    ReaderHelperProcess unhandled(helper("unhandled", "exit 65\n"));
    EXPECT_FALSE(unhandled.read(scene, ""));
    EXPECT_EQ(m_log.errorsWith({scene, "(not handled)"}), 1);

    // A helper chattering a lot on standard error must not block on it.
    ReaderHelperProcess chatty(
        helper("chatty", "i=0\nwhile [ $i -lt 3000 ]; do echo \"warning line $i of many\" >&2; "
                         "i=$((i+1)); done\nprintf 'not an osgb stream'\n"));
    EXPECT_FALSE(chatty.read(scene, ""));
    EXPECT_EQ(m_log.errorsWith({scene, "the scene sent by the reader helper is broken"}), 1);

    ReaderHelperProcess missing(m_dir.filePath("absent").toStdString());
    EXPECT_FALSE(missing.read(scene, ""));
    EXPECT_EQ(m_log.errorsWith({scene, "missing or not executable"}), 1);
    expectNoChildLeft();
}

} // namespace
