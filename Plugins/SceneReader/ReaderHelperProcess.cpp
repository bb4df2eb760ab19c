#include "ReaderHelperProcess.h"

#include "ExternalReferences.h"
#include "HelperExitCode.h"
#include "HelperStreamParser.h"
#include "Logger/Log.h"
#include "PipeInputBuffer.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using Clock = PipeInputBuffer::Clock;
using Outcome = ReaderHelperProcess::Outcome;

// The descriptor under which the helper finds the memory file for the scene's arrays.
constexpr int helperArraysFd = 3;

struct Child
{
    pid_t pid = -1;
    int dataFd = -1;
    int messageFd = -1;
};

// The memory file the helper writes large arrays into; closed with the read.
class ArrayFile
{
public:
    ArrayFile()
    {
        const int fd = ::memfd_create("zelvista-scene-arrays", MFD_CLOEXEC);
        // Above the descriptors the helper's standard streams and its array file take.
        m_fd = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 10) : -1;
        if (fd >= 0)
            ::close(fd);
    }
    ~ArrayFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ArrayFile(const ArrayFile&) = delete;
    ArrayFile& operator=(const ArrayFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

struct Exit
{
    bool timedOut = false;
    bool cancelled = false;
    bool exited = false;
    int exitCode = 0;
    int signal = 0;
    long peakKilobytes = 0;
};

void closePair(int fds[2])
{
    for (int i = 0; i < 2; ++i)
        if (fds[i] >= 0)
            ::close(fds[i]);
}

// Starts the helper with its standard output and error on two pipes, whose read ends do not
// block; errno text on failure.
Child spawnHelper(const std::vector<std::string>& command, int arraysFd, std::string& error)
{
    Child child;
    int data[2] = {-1, -1};
    int messages[2] = {-1, -1};
    if (::pipe2(data, O_CLOEXEC) != 0 || ::pipe2(messages, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        closePair(data);
        closePair(messages);
        return child;
    }
    // A larger pipe lets the helper run further ahead of the parser.
    ::fcntl(data[0], F_SETPIPE_SZ, 1 << 20);
    ::fcntl(data[0], F_SETFL, O_NONBLOCK);
    ::fcntl(messages[0], F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, data[1], 1);
    posix_spawn_file_actions_adddup2(&actions, messages[1], 2);
    if (arraysFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, arraysFd, helperArraysFd);
    std::vector<std::string> arguments = command;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int result =
        ::posix_spawn(&pid, arguments.front().c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(data[1]);
    ::close(messages[1]);
    if (result != 0) {
        error = std::strerror(result);
        ::close(data[0]);
        ::close(messages[0]);
        return child;
    }
    child.pid = pid;
    child.dataFd = data[0];
    child.messageFd = messages[0];
    return child;
}

// Reaps the helper; one still running at the deadline, on cancellation or when stopped is
// given is killed first.
Exit reap(pid_t pid, Clock::time_point deadline, PipeInputBuffer::CancelCheck cancelled,
          PipeInputBuffer::End end)
{
    Exit exit;
    exit.timedOut = end == PipeInputBuffer::End::TimedOut;
    exit.cancelled = end == PipeInputBuffer::End::Cancelled;
    int status = 0;
    pid_t done = 0;
    rusage usage{};
    while (!exit.timedOut && !exit.cancelled) {
        done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (cancelled && cancelled())
            exit.cancelled = true;
        else if (Clock::now() >= deadline)
            exit.timedOut = true;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (exit.timedOut || exit.cancelled) {
        ::kill(pid, SIGKILL);
        while ((done = ::wait4(pid, &status, 0, &usage)) < 0 && errno == EINTR) {
        }
    }
    exit.peakKilobytes = usage.ru_maxrss;
    if (done == pid && WIFEXITED(status)) {
        exit.exited = true;
        exit.exitCode = WEXITSTATUS(status);
    } else if (done == pid && WIFSIGNALED(status)) {
        exit.signal = WTERMSIG(status);
    }
    return exit;
}

std::string signalName(int signal)
{
    const char* abbreviation = ::sigabbrev_np(signal);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
}

const char* const warningPrefix = "warning: ";

std::string printable(const std::string& line)
{
    constexpr std::size_t lineLimit = 200;
    std::string text;
    for (const char c : line.substr(0, lineLimit))
        text += (c >= 0x20 && c < 0x7f) ? c : ' ';
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

// The helper's own warnings: what it left out of the scene.
std::vector<std::string> helperWarnings(const std::string& text)
{
    constexpr std::size_t warningLimit = 20;
    std::vector<std::string> warnings;
    std::size_t more = 0;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(begin, end - begin);
        if (line.rfind(warningPrefix, 0) == 0) {
            if (warnings.size() < warningLimit)
                warnings.push_back(printable(line.substr(std::strlen(warningPrefix))));
            else
                ++more;
        }
        begin = end + 1;
    }
    if (more > 0)
        warnings.push_back("and " + std::to_string(more) + " more left out");
    return warnings;
}

// The helper's standard error cut to what explains the failure: osgDB's own reason when the
// helper got one, otherwise the last lines (readers print long runs of repeated warnings).
std::string summarise(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string raw = text.substr(begin, end - begin);
        const std::string line = printable(raw);
        if (!line.empty() && raw.rfind(warningPrefix, 0) != 0 &&
            (lines.empty() || lines.back() != line))
            lines.push_back(line);
        begin = end + 1;
    }
    if (lines.empty())
        return "no message";
    const std::string& last = lines.back();
    if (last.rfind("osgDB: ", 0) == 0 && last != "osgDB: no reason given")
        return last;
    return lines.size() == 1 ? last : lines[lines.size() - 2] + " | " + last;
}

Outcome::Kind exitKind(int code)
{
    switch (static_cast<HelperExitCode>(code)) {
    case HelperExitCode::NotHandled:
        return Outcome::NotHandled;
    case HelperExitCode::FileNotFound:
        return Outcome::NotFound;
    default:
        return Outcome::Failed;
    }
}

std::string describeExit(int code)
{
    switch (static_cast<HelperExitCode>(code)) {
    case HelperExitCode::NotHandled:
        return "no osgDB reader handles it (not handled)";
    case HelperExitCode::ReadFailed:
        return "osgDB's reader failed (handled and failed)";
    case HelperExitCode::FileNotFound:
        return "osgDB did not find it";
    case HelperExitCode::NoNode:
        return "osgDB read no scene from it";
    case HelperExitCode::StreamFailed:
        return "the reader helper could not send the scene";
    case HelperExitCode::UnsafeScene:
        return "osgDB read a scene that cannot be used";
    case HelperExitCode::Sandbox:
        return "the reader helper could not confine itself";
    case HelperExitCode::Usage:
        return "the reader helper was called wrongly";
    default:
        return "the reader helper ended with exit code " + std::to_string(code);
    }
}

osg::ref_ptr<osg::Node> fail(Outcome& outcome, Outcome::Kind kind, std::string reason)
{
    outcome.kind = kind;
    outcome.reason = std::move(reason);
    return nullptr;
}

} // namespace

ReaderHelperProcess::ReaderHelperProcess(std::string helperPath)
    : ReaderHelperProcess(std::move(helperPath), TimeLimit{})
{}

ReaderHelperProcess::ReaderHelperProcess(std::string helperPath, TimeLimit limit,
                                         PipeInputBuffer::CancelCheck cancelled)
    : m_helperPath(std::move(helperPath)), m_limit(limit), m_cancelled(cancelled)
{}

osg::ref_ptr<osg::Node> ReaderHelperProcess::read(const std::string& path,
                                                  const std::string& options,
                                                  Outcome& outcome) const
{
    outcome = Outcome();
    if (m_cancelled && m_cancelled())
        return fail(outcome, Outcome::Cancelled, "the read was cancelled");
    if (::access(m_helperPath.c_str(), X_OK) != 0)
        return fail(outcome, Outcome::Failed,
                    "the reader helper " + m_helperPath + " is missing or not executable");
    struct stat info
    {};
    const long long megabytes = ::stat(path.c_str(), &info) == 0 ? (info.st_size >> 20) + 1 : 1;
    const auto timeLimit = m_limit.base + m_limit.perMegabyte * megabytes;
    const Clock::time_point deadline = Clock::now() + timeLimit;
    const auto cpuSeconds = std::chrono::duration_cast<std::chrono::seconds>(timeLimit).count() + 1;

    std::string error;
    ArrayFile arrays;
    std::vector<std::string> command{m_helperPath, "--parent", std::to_string(::getpid()),
                                     "--cpu-seconds", std::to_string(cpuSeconds)};
    // Without a memory file the helper sends everything in the stream, only slower.
    if (arrays.fd() >= 0)
        command.insert(command.end(), {"--arrays", std::to_string(helperArraysFd)});
    command.insert(command.end(), {path, options});
    Child child = spawnHelper(command, arrays.fd(), error);
    if (child.pid < 0)
        return fail(outcome, Outcome::Failed,
                    "starting the reader helper " + m_helperPath + " failed: " + error);

    PipeInputBuffer buffer(child.dataFd, child.messageFd, deadline, m_cancelled);
    std::string streamError;
    std::vector<const osg::Node*> nodes;
    // The helper has written its arrays when its stream ends; everything taken from the file is
    // copied before it is checked, so a helper that still writes gains nothing.
    osg::ref_ptr<osg::Node> node =
        HelperStreamParser::parse(buffer, streamError, nodes, arrays.fd());
    // A broken stream is not read on: the helper gets EPIPE at its next write.
    if (!node)
        buffer.abandon();
    buffer.drain();
    const Exit exit = reap(child.pid, deadline, m_cancelled, buffer.end());
    const std::string messages = summarise(buffer.messages());

    if (exit.cancelled)
        return fail(outcome, Outcome::Cancelled, "the read was cancelled");
    if (exit.timedOut)
        return fail(outcome, Outcome::TimedOut,
                    "the reader helper took longer than " +
                        std::to_string(std::chrono::duration<double>(timeLimit).count()) +
                        " s and was killed (time-out)");
    if (exit.signal != 0)
        return fail(outcome, Outcome::Crashed,
                    "the reader helper crashed (" + signalName(exit.signal) +
                        ") while osgDB read the file; " + messages);
    if (!exit.exited || exit.exitCode != 0) {
        const int code = exit.exited ? exit.exitCode : -1;
        return fail(outcome, exitKind(code), describeExit(code) + ": " + messages);
    }
    if (!node)
        return fail(outcome, Outcome::Failed,
                    "the scene sent by the reader helper is broken: " + streamError);
    outcome.kind = Outcome::Loaded;
    outcome.helperPeakKilobytes = exit.peakKilobytes;
    outcome.warnings = helperWarnings(buffer.messages());
    for (std::string& dropped : ExternalReferences::dropFileNames(nodes))
        outcome.warnings.push_back("left out: " + dropped);
    return node;
}
