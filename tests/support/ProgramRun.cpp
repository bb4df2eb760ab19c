#include "ProgramRun.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <csignal>

ProgramRun::ProgramRun(const QString& program, const QStringList& arguments,
                       const QString& dataHome, const QStringList& extraEnvironment,
                       const QString& workingDirectory)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dataHome);
    for (const QString& entry : extraEnvironment) {
        const int equals = entry.indexOf('=');
        if (equals < 0)
            environment.remove(entry);
        else
            environment.insert(entry.left(equals), entry.mid(equals + 1));
    }
    m_process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        m_process.setWorkingDirectory(workingDirectory);
    m_process.start(program, arguments);
    m_process.waitForStarted();
}

ProgramRun::~ProgramRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

void ProgramRun::collect()
{
    m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
    m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
}

bool ProgramRun::waitForExit(int timeoutMs)
{
    const bool finished = m_process.waitForFinished(timeoutMs);
    collect();
    if (!finished) {
        m_process.kill();
        m_process.waitForFinished();
    }
    return finished;
}

bool ProgramRun::waitForLog(const QString& text, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!m_err.contains(text)) {
        if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning) {
            collect();
            return m_err.contains(text);
        }
        m_process.waitForFinished(100);
        collect();
    }
    return true;
}

void ProgramRun::sendSignal(int signalNumber)
{
    ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
}

QString ProgramRun::standardOutput()
{
    collect();
    return m_out;
}

QString ProgramRun::standardError()
{
    collect();
    return m_err;
}
