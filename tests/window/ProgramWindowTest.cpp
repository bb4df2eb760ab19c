#include "ProgramRun.h"
#include "ScratchInstall.h"

#include <QDir>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>

namespace {

const char* const shown = "Main window shown.";

TEST(ProgramWindowTest, OpensWithoutViewerAndEndsCleanlyOnSignals)
{
    ScratchInstall install;
    install.addTestPlugin("good", "GoodPlugins.so");
    const QString temp = install.root() + "/tmp";
    QDir().mkpath(temp);
    const QStringList environment{"QT_QPA_PLATFORM=offscreen", "TMP=" + temp, "TEMP="};

    for (int signalNumber : {SIGTERM, SIGINT}) {
        ProgramRun run(install.program(), {"--fullscreen", "--loadFile", "absent.osgt"},
                       install.dataHome(), environment);
        ASSERT_TRUE(run.waitForLog(shown)) << run.standardError().toStdString();
        run.sendSignal(signalNumber);
        ASSERT_TRUE(run.waitForExit());
        EXPECT_FALSE(run.crashed());
        EXPECT_EQ(run.exitCode(), 0);
        const QString log = run.standardError();
        EXPECT_TRUE(log.contains("Failed to get the default viewer plugin from kernel.\n"));
        const QString config =
            QString::fromUtf8(install.readFile("xdg/Korvath Lab/Zelvista/config.ini"));
        EXPECT_TRUE(config.contains("fullscreen")) << config.toStdString();
        EXPECT_FALSE(config.contains("loadFile")) << config.toStdString();
    }

    // One log file per run, named after the start time and the process id.
    const QStringList logs = QDir(temp).entryList({"#ZEL_*.log"});
    ASSERT_EQ(logs.size(), 2);
    const QRegularExpression name(R"(^#ZEL_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d_\d{5,}\.log$)");
    QFile file(temp + "/" + logs[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(name.match(logs[0]).hasMatch()) << logs[0].toStdString();
    EXPECT_TRUE(text.contains(shown));
    // The file stays open until the plug-ins are gone.
    EXPECT_TRUE(text.contains("Destroy Alpha...")) << text.toStdString();
    const QRegularExpression record(R"(^(INFO|WARN|ERROR|FATAL) \d\d:\d\d:\d\d \S+\(\d+\) \[\] )");
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(record.match(line).hasMatch()) << line.toStdString();
}

TEST(ProgramWindowTest, WithoutALogFileTheRunSaysSoAndGoesOn)
{
    ScratchInstall install;
    const QStringList environment{"QT_QPA_PLATFORM=offscreen",
                                  "TMP=" + install.root() + "/no-such-folder", "TEMP="};
    ProgramRun run(install.program(), {}, install.dataHome(), environment);
    ASSERT_TRUE(run.waitForLog(shown)) << run.standardError().toStdString();
    run.sendSignal(SIGTERM);
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_TRUE(run.standardError().contains(QRegularExpression(
        "WARN .* Cannot create a log file like .*no-such-folder/#ZEL_.*No such file")))
        << run.standardError().toStdString();
}

} // namespace
