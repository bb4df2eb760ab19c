#include "QtUtility/TerminationSignalWatcher.h"

#include "Logger/Log.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t requested = 0;
const int watchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Only async-signal-safe work here: the number goes through the pipe to the event loop.
void forwardSignal(int signalNumber)
{
    requested = 1;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void installHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

} // namespace

TerminationSignalWatcher::TerminationSignalWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        ZEL_ERROR << "Cannot watch termination signals.\n";
        m_notifier = nullptr;
        return;
    }
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignalWatcher::readSignal);
    for (const int signalNumber : watchedSignals)
        installHandler(signalNumber, forwardSignal);
    installHandler(SIGPIPE, SIG_IGN);
}

TerminationSignalWatcher::~TerminationSignalWatcher()
{
    if (!m_notifier)
        return;
    for (const int signalNumber : watchedSignals)
        installHandler(signalNumber, SIG_DFL);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

bool TerminationSignalWatcher::isTerminationRequested()
{
    return requested != 0;
}

void TerminationSignalWatcher::readSignal()
{
    unsigned char byte = 0;
    if (::read(signalPipe[0], &byte, 1) == 1) {
        ZEL_INFO << "Received signal " << int(byte) << ", shutting down.\n";
        emit terminationRequested(byte);
    }
}
