#include "LogCapture.h"
#include "Logger/File.h"
#include "Logger/Log.h"
#include "cpplog/LogData.h"
#include "cpplog/MultiplexLogger.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>

namespace {

const std::regex recordLine(R"(^(TRACE|DEBUG|INFO|WARN|ERROR|FATAL|OTHER) )"
                            R"(([01]\d|2[0-3]):[0-5]\d:[0-5]\d [^ ()]+\(\d+\) \[\] .*$)");

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

TEST(LoggerFormatTest, RecordsCarryLevelTimeFileLineTagAndText)
{
    LogCapture capture;
    const int line = __LINE__ + 1;
    ZEL_ERROR << "value " << 42 << "\n";
    ZEL_FATAL << "fatal records do not stop the program\n";
    ZEL_LOG(9) << "odd level\n";

    const auto records = capture.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(std::regex_match(records[0].substr(0, records[0].size() - 1), recordLine))
        << records[0];
    EXPECT_NE(records[0].find("ERROR "), std::string::npos);
    EXPECT_NE(records[0].find(" LoggerTest.cpp(" + std::to_string(line) + ") [] value 42\n"),
              std::string::npos);
    EXPECT_EQ(records[1].rfind("FATAL ", 0), 0u);
    EXPECT_EQ(records[2].rfind("OTHER ", 0), 0u);
}

TEST(LoggerFormatTest, FileNameIsTakenAfterTheLastSlashFirst)
{
    EXPECT_STREQ(cpplog::fileNameOf("src/dir\\name.cpp"), "dir\\name.cpp");
    EXPECT_STREQ(cpplog::fileNameOf("C:\\src\\name.cpp"), "name.cpp");
    EXPECT_STREQ(cpplog::fileNameOf("plain.cpp"), "plain.cpp");

    LogCapture capture;
    {
        ::Logger::PrivateUtil::Message("a/b\\c.cpp", 7, ::Logger::Warn, ::Logger::rootLogger());
    }
    ASSERT_EQ(capture.records().size(), 1u);
    EXPECT_NE(capture.records()[0].find(" b\\c.cpp(7) "), std::string::npos);
}

TEST(LoggerFileTest, TextWithoutNewlineContinuesTheLineAndFileIsFlushedPerRecord)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("run.log").toStdString();
    {
        Logger::Util::File file(path);
        ZEL_INFO << "first without newline";
        // Flushed at once: the record is in the file while the sink still lives.
        EXPECT_EQ(readLines(path).size(), 1u);
        ZEL_INFO << "second\n";
    }
    ZEL_INFO << "after the file was closed\n";
    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("first without newlineINFO "), std::string::npos);
    EXPECT_EQ(lines[0].find("after"), std::string::npos);
}

TEST(LoggerFileTest, RunLogFileBeginsWithTheRecordsMadeBeforeIt)
{
    QTemporaryDir dir;
    cpplog::MultiplexLogger multiplexer;
    multiplexer.keepBacklog(2);
    auto log = [&multiplexer](const char* text) {
        Logger::PrivateUtil::Message(__FILE__, __LINE__, Logger::Info, multiplexer).stream()
            << text;
    };
    log("one\n");
    log("two\n");
    log("three, past the limit\n");
    const std::string first = dir.filePath("first.log").toStdString();
    const std::string second = dir.filePath("second.log").toStdString();
    {
        Logger::Util::File file(first, &multiplexer, true);
        log("four\n");
        Logger::Util::File other(second, &multiplexer, true);
        log("five\n");
    }
    const auto lines = readLines(first);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("one"), std::string::npos);
    EXPECT_NE(lines[1].find("two"), std::string::npos);
    EXPECT_NE(lines[2].find("four"), std::string::npos);
    // The backlog went to the first file only.
    ASSERT_EQ(readLines(second).size(), 1u);
    EXPECT_NE(readLines(second)[0].find("five"), std::string::npos);
}

TEST(LoggerFileTest, ExistingFileOrPlantedLinkIsNeitherFollowedNorTruncated)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim.txt");
    const QString existing = dir.filePath("existing.log");
    const QString link = dir.filePath("planted.log");
    for (const QString& file : {victim, existing}) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("user data\n");
    }
    ASSERT_TRUE(QFile::link(victim, link));

    cpplog::MultiplexLogger multiplexer;
    multiplexer.keepBacklog(10);
    Logger::PrivateUtil::Message(__FILE__, __LINE__, Logger::Warn, multiplexer).stream()
        << "earlier\n";
    for (const QString& taken : {link, existing, dir.filePath("missing-folder/x.log")}) {
        Logger::Util::File file(taken.toStdString(), &multiplexer, true);
        EXPECT_FALSE(file.isOpen()) << taken.toStdString();
        EXPECT_FALSE(file.error().empty());
        Logger::PrivateUtil::Message(__FILE__, __LINE__, Logger::Info, multiplexer).stream()
            << "not in a taken file\n";
    }
    EXPECT_EQ(readLines(victim.toStdString()), std::vector<std::string>{"user data"});
    EXPECT_EQ(readLines(existing.toStdString()), std::vector<std::string>{"user data"});
    // The earlier records wait for a file that opens.
    const std::string fresh = dir.filePath("fresh.log").toStdString();
    Logger::Util::File file(fresh, &multiplexer, true);
    ASSERT_TRUE(file.isOpen());
    const auto lines = readLines(fresh);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("earlier"), std::string::npos);
    EXPECT_EQ(QFile::permissions(QString::fromStdString(fresh)) & QFileDevice::ReadOther, 0);
}

TEST(LoggerThreadTest, RecordsFromManyThreadsAreNeverInterleaved)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("threads.log").toStdString();
    constexpr int threads = 4, perThread = 400;
    {
        Logger::Util::File file(path);
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([t] {
                for (int i = 0; i < perThread; ++i)
                    ZEL_INFO << "thread " << t << " record " << i << " "
                             << std::string(50, char('a' + t)) << "\n";
            });
        for (auto& worker : workers)
            worker.join();
    }
    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), std::size_t(threads * perThread));
    const std::regex text(R"(.* \[\] thread (\d) record \d+ ([a-d])\2{49}$)");
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, recordLine)) << line;
        ASSERT_TRUE(std::regex_match(line, match, text)) << line;
        EXPECT_EQ(match[2].str()[0], char('a' + std::stoi(match[1].str())));
    }
}

TEST(LoggerThreadTest, FilesComeAndGoWhileOtherThreadsLog)
{
    QTemporaryDir dir;
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t)
        workers.emplace_back([&stop] {
            while (!stop)
                ZEL_INFO << "busy " << std::string(20, 'x') << "\n";
        });
    for (int i = 0; i < 50; ++i) {
        const std::string path = dir.filePath(QString("f%1.log").arg(i)).toStdString();
        {
            Logger::Util::File file(path);
        }
        for (const std::string& line : readLines(path))
            EXPECT_TRUE(std::regex_match(line, recordLine)) << line;
    }
    stop = true;
    for (auto& worker : workers)
        worker.join();
}

} // namespace
