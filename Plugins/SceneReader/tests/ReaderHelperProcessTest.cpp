#include "ReaderHelperProcess.h"

#include "ErrorCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/Geometry>
#include <osgDB/Registry>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using Outcome = ReaderHelperProcess::Outcome;

std::atomic<bool> cancelRequested{false};

bool cancelCheck()
{
    return cancelRequested;
}

// A valid stream as the helper writes it: a geometry of many vertices, so that it is long.
QByteArray largeStream()
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array(300000);
    for (std::size_t i = 0; i < vertices->size(); ++i)
        (*vertices)[i].set(float(i % 100), float(i / 100), 0);
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices);
    osg::ref_ptr<osg::DrawElementsUInt> points = new osg::DrawElementsUInt(GL_POINTS);
    for (unsigned int i = 0; i < vertices->size(); ++i)
        points->push_back(i);
    geometry->addPrimitiveSet(points);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry);
    std::ostringstream out;
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options("RobustBinaryFormat=false");
    osgDB::Registry::instance()->getReaderWriterForExtension("osgb")->writeNode(*geode, out,
                                                                                options.get());
    return QByteArray::fromStdString(out.str());
}

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

    std::string file(const char* name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
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
    std::string m_scene = file("scene.osgt", "#Ascii Scene\n");
    Outcome m_outcome;
};

TEST_F(FakeHelperFixture, CrashIsReportedWithItsSignal)
{
    // Half a stream, then the crash: the plug-in must not trust what arrived.
    ReaderHelperProcess crashing(helper("crash", "printf 'osgb partial'\nkill -SEGV $$\n"));
    EXPECT_FALSE(crashing.read(m_scene, "", m_outcome));
    EXPECT_EQ(m_outcome.kind, Outcome::Crashed);
    EXPECT_NE(m_outcome.reason.find("crashed (SIGSEGV)"), std::string::npos) << m_outcome.reason;
    ReaderHelperProcess aborting(helper("abort", "echo 'osgDB: bad chunk' >&2\nkill -ABRT $$\n"));
    EXPECT_FALSE(aborting.read(m_scene, "", m_outcome));
    EXPECT_NE(m_outcome.reason.find("crashed (SIGABRT)"), std::string::npos);
    EXPECT_NE(m_outcome.reason.find("osgDB: bad chunk"), std::string::npos);
    // Nothing is logged here: the plug-in logs the one record.
    EXPECT_EQ(m_log.errorCount(), 0u);
    expectNoChildLeft();
}

TEST_F(FakeHelperFixture, DeathInTheMiddleOfTheStreamEndsTheReadAtOnce)
{
    const QByteArray stream = largeStream();
    ASSERT_GT(stream.size(), 1000000);
    const std::string half = file("half.osgb", stream.left(stream.size() / 2));
    const std::string whole = file("whole.osgb", stream);
    // The stream as the helper would send it, then nothing while the helper is still alive.
    ReaderHelperProcess stalled(
        helper("stalled", QByteArray("cat ") + half.c_str() + "\nkill -KILL $$\n"),
        {milliseconds(60000), milliseconds(0)});
    const auto start = Clock::now();
    EXPECT_FALSE(stalled.read(m_scene, "", m_outcome));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(m_outcome.kind, Outcome::Crashed) << m_outcome.reason;
    EXPECT_NE(m_outcome.reason.find("SIGKILL"), std::string::npos) << m_outcome.reason;

    ReaderHelperProcess ending(helper("ending", QByteArray("cat ") + half.c_str() + "\n"));
    EXPECT_FALSE(ending.read(m_scene, "", m_outcome));
    EXPECT_EQ(m_outcome.kind, Outcome::Failed);
    EXPECT_NE(m_outcome.reason.find("ends in the middle"), std::string::npos) << m_outcome.reason;
    // osgDB is not left to report every value it could not read.
    EXPECT_EQ(m_log.count("checkStream"), 0);
    EXPECT_LT(m_log.records().size(), 10u);

    ReaderHelperProcess complete(helper("complete", QByteArray("cat ") + whole.c_str() + "\n"));
    EXPECT_TRUE(complete.read(m_scene, "", m_outcome)) << m_outcome.reason;
    expectNoChildLeft();
}

TEST_F(FakeHelperFixture, HangIsKilledAtTheTimeLimitOrOnCancellation)
{
    ReaderHelperProcess hanging(helper("hang", "exec sleep 30\n"),
                                {milliseconds(400), milliseconds(0)});
    auto start = Clock::now();
    EXPECT_FALSE(hanging.read(m_scene, "", m_outcome));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(m_outcome.kind, Outcome::TimedOut);
    EXPECT_NE(m_outcome.reason.find("was killed (time-out)"), std::string::npos);

    // Closing its output does not end a hang either.
    ReaderHelperProcess silent(helper("silent", "exec >&- 2>&-\nsleep 30\n"),
                               {milliseconds(400), milliseconds(0)});
    EXPECT_FALSE(silent.read(m_scene, "", m_outcome));
    EXPECT_EQ(m_outcome.kind, Outcome::TimedOut);

    // A termination signal sets the flag the read polls: it ends within a fraction of a second.
    ReaderHelperProcess cancellable(helper("slow", "exec sleep 30\n"),
                                    {milliseconds(60000), milliseconds(0)}, &cancelCheck);
    std::thread canceller([] {
        std::this_thread::sleep_for(milliseconds(300));
        cancelRequested = true;
    });
    start = Clock::now();
    EXPECT_FALSE(cancellable.read(m_scene, "", m_outcome));
    const auto elapsed = Clock::now() - start;
    canceller.join();
    EXPECT_EQ(m_outcome.kind, Outcome::Cancelled);
    EXPECT_LT(elapsed, milliseconds(1000));
    // Once asked to stop, no helper is started again.
    EXPECT_FALSE(cancellable.read(m_scene, "", m_outcome));
    EXPECT_EQ(m_outcome.kind, Outcome::Cancelled);
    cancelRequested = false;
    expectNoChildLeft();
}

TEST_F(FakeHelperFixture, FailuresCarryTheHelpersMessageAndKind)
{
    ReaderHelperProcess failing(helper("fail", "echo 'osgDB: unexpected end' >&2\nexit 66\n"));
    EXPECT_FALSE(failing.read(m_scene, "", m_outcome));
    EXPECT_EQ(m_outcome.kind, Outcome::Failed);
    EXPECT_NE(m_outcome.reason.find("(handled and failed): osgDB: unexpected end"),
              std::string::npos)
        << m_outcome.reason;

    ReaderHelperProcess unhandled(helper("unhandled", "exit 65\n"));
    EXPECT_FALSE(unhandled.read(m_scene, "", m_outcome));
    EXPECT_EQ(m_outcome.kind, Outcome::NotHandled);

    ReaderHelperProcess notFound(helper("notfound", "exit 67\n"));
    EXPECT_FALSE(notFound.read(m_scene, "", m_outcome));
    EXPECT_EQ(m_outcome.kind, Outcome::NotFound);

    // A helper chattering a lot on standard error must not block on it.
    ReaderHelperProcess chatty(
        helper("chatty", "i=0\nwhile [ $i -lt 3000 ]; do echo \"warning line $i of many\" >&2; "
                         "i=$((i+1)); done\nprintf 'not an osgb stream'\n"));
    EXPECT_FALSE(chatty.read(m_scene, "", m_outcome));
    EXPECT_NE(m_outcome.reason.find("the scene sent by the reader helper is broken"),
              std::string::npos)
        << m_outcome.reason;

    ReaderHelperProcess missing(m_dir.filePath("absent").toStdString());
    EXPECT_FALSE(missing.read(m_scene, "", m_outcome));
    EXPECT_NE(m_outcome.reason.find("missing or not executable"), std::string::npos);
    expectNoChildLeft();
}

} // namespace
