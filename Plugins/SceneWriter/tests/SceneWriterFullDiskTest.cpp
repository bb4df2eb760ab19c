#include "ErrorCapture.h"
#include "SceneIOKernel.h"
#include "WriterTestScenes.h"

#include <QDir>
#include <csignal>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Conditions a test cannot set for itself, so the save runs in a forked child. Under a file
// size limit with SIGXFSZ ignored, writes fail with EFBIG as on a full disk; with SIGXFSZ, the
// save dies in the middle as if killed. Root passes permission checks unless it drops that right.
enum class Child
{
    FullDisk,
    KilledAtLimit,
    WithoutRootRights
};

void dropRootRights()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ::syscall(SYS_capget, &header, data);
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        for (__u32* set : {&data[0].effective, &data[0].permitted})
            *set &= ~(1u << capability);
    ::syscall(SYS_capset, &header, data);
}

// "ok" or the reason, and the ERROR records naming the file; "signal N" when the save died.
std::string saveInChild(NodeWriter& writer, const osg::ref_ptr<osg::Node>& scene,
                        const std::string& path, Child child, off_t limit = 0)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit fileSize{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        if (limit > 0)
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
        std::signal(SIGXFSZ, child == Child::KilledAtLimit ? SIG_DFL : SIG_IGN);
        if (child == Child::WithoutRootRights)
            dropRootRights();
        ErrorCapture log;
        const FileResult result = writer.writeFile(scene, path);
        const std::string report = (result.ok() ? "ok" : result.reason) + " | " +
                                   std::to_string(log.errorsWith({path})) + " ERROR";
        ::_exit(::write(pipeFds[1], report.data(), report.size()) > 0 ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status));
    return report;
}

class SceneWriterFullDisk : public ::testing::Test
{
protected:
    QStringList entries() const
    {
        return QDir(QString::fromStdString(m_io.file("")))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    ErrorCapture m_log;
    SceneIOKernel m_io;
    NodeWriter& m_writer = *m_io.writer();
};

// osgDB's writers report success on a short write; the save must not, and must leave the
// previous file as it was.
TEST_F(SceneWriterFullDisk, AFullDiskFailsTheSaveAndKeepsThePreviousFile)
{
    const osg::ref_ptr<osg::Node> big = meshScene(20000);
    for (const QString extension : {"osgt", "osgb", "osgx"}) {
        const std::string path = m_io.file("good." + extension);
        ASSERT_TRUE(m_writer.write(layoutScene(false), path));
        const QByteArray before = m_io.readBytes("good." + extension);
        ASSERT_TRUE(m_writer.write(big, m_io.file("full." + extension)));
        const QByteArray full = m_io.readBytes("full." + extension);
        // Half the file, and all of it but the last byte that close() would write.
        for (const off_t limit : {full.size() / 2, full.size() - 1}) {
            EXPECT_EQ(saveInChild(m_writer, big, path, Child::FullDisk, limit),
                      "the file would be larger than the system allows (File too large); the "
                      "previous file is unchanged | 1 ERROR")
                << path << " " << limit;
            EXPECT_EQ(m_io.readBytes("good." + extension), before);
        }
        EXPECT_EQ(saveInChild(m_writer, big, path, Child::FullDisk, full.size()), "ok | 0 ERROR");
        EXPECT_EQ(m_io.readBytes("good." + extension), full);
    }
    EXPECT_EQ(entries().filter(".saving-").size(), 0);
}

// A save that dies in the middle (here by SIGXFSZ, as by kill -9) leaves its hidden folder;
// the next save into the folder takes it away.
TEST_F(SceneWriterFullDisk, TheNextSaveRemovesWhatAKilledSaveLeft)
{
    const std::string path = m_io.file("scene.osgt");
    ASSERT_TRUE(m_writer.write(layoutScene(false), path));
    const QByteArray before = m_io.readBytes("scene.osgt");
    ASSERT_EQ(saveInChild(m_writer, meshScene(20000), path, Child::KilledAtLimit, 50000),
              "signal " + std::to_string(SIGXFSZ));
    EXPECT_EQ(entries().filter(QRegExp("^\\.scene\\.osgt\\.saving-\\d+-\\w{6}$")).size(), 1);
    EXPECT_EQ(m_io.readBytes("scene.osgt"), before);
    ASSERT_TRUE(m_writer.write(layoutScene(false), m_io.file("other.osgb")));
    EXPECT_EQ(entries(), QStringList({"other.osgb", "scene.osgt"}));
}

TEST_F(SceneWriterFullDisk, ReadOnlyFoldersAndFilesAreNamedAsSuch)
{
    const std::string locked = m_io.file("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
    EXPECT_EQ(
        saveInChild(m_writer, layoutScene(false), locked + "/a.osgt", Child::WithoutRootRights),
        "no new file can be made in the folder " + locked +
            ": no permission to write there (Permission denied) | 1 ERROR");
    const std::string file = m_io.file("protected.osgb");
    ASSERT_TRUE(m_writer.write(layoutScene(false), file));
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const QByteArray before = m_io.readBytes("protected.osgb");
    EXPECT_EQ(saveInChild(m_writer, meshScene(200), file, Child::WithoutRootRights),
              "the file is read-only | 1 ERROR");
    EXPECT_EQ(m_io.readBytes("protected.osgb"), before);
    EXPECT_EQ(entries(), QStringList({"locked", "protected.osgb"}));
}

} // namespace
