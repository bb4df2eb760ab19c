#pragma once

#include "ZelApi.h"

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the GUI thread, so the program can end
// as if the user had closed it, and ignores SIGPIPE (a closed standard error must not kill the
// program before it saves). One watcher per process.
class ZEL_API TerminationSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignalWatcher(QObject* parent = nullptr);
    ~TerminationSignalWatcher() override;

    // Set from the signal handler and never cleared: work that blocks the GUI thread (a file
    // being read) polls it and gives up, so that the event loop gets to close the window.
    static bool isTerminationRequested();

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier;
};
