#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The program started in a child process with a private data directory; output is collected.
// extraEnvironment holds "NAME=value" entries to set and bare "NAME" entries to unset.
class ProgramRun
{
public:
    ProgramRun(const QString& program, const QStringList& arguments, const QString& dataHome,
               const QStringList& extraEnvironment = {}, const QString& workingDirectory = {});
    ~ProgramRun();

    // Waits for the process to end; false on time-out (the process is then killed).
    bool waitForExit(int timeoutMs = 60000);
    // Waits until standard error holds text.
    bool waitForLog(const QString& text, int timeoutMs = 60000);
    void sendSignal(int signalNumber);
    qint64 processId() const { return m_process.processId(); }

    int exitCode() const { return m_process.exitCode(); }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    QString standardOutput();
    QString standardError();

private:
    void collect();

    QProcess m_process;
    QString m_out;
    QString m_err;
};
