#include "ReaderHelperProcess.h"

#include "HelperExitCode.h"
#include "Logger/Log.h"
#include "PipeInputBuffer.h"
#include "SceneGraphCheck.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <istream>
#include <osgDB/Registry>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using Clock = PipeInputBuffer::Clock;

struct Child
{
    pid_t pid = -1;
    int dataFd = -1;
    int messageFd = -1;
};

struct Outcome
{
    bool timedOut = false;
    bool exited = false;
    int exitCode = 0;
    int signal = 0;
};

void closePair(int fds[2])
{
    for (int i = 0; i < 2; ++i)
        if (fds[i] >= 0)
            ::close(fds[i]);
}

// Starts the helper with its standard output and error on two pipes; errno text on failure.
Child spawnHelper(const std::string& helper, const std::string& path, const std::string& options,
                  std::string& error)
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, data[1], 1);
    posix_spawn_file_actions_adddup2(&actions, messages[1], 2);
    std::vector<std::string> arguments{helper, path, options};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int result = ::posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv.data(), environ);
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

// Reaps the helper; one still running at the deadline (or after a time-out) is killed first.
Outcome reap(pid_t pid, Clock::time_point deadline, bool timedOut)
{
    Outcome outcome;
    outcome.timedOut = timedOut;
    int status = 0;
    pid_t done = 0;
    while (!outcome.timedOut) {
        done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (Clock::now() >= deadline)
            outcome.timedOut = true;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (outcome.timedOut) {
        ::kill(pid, SIGKILL);
        while ((done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
    }
    if (done == pid && WIFEXITED(status)) {
        outcome.exited = true;
        outcome.exitCode = WEXITSTATUS(status);
    } else if (done == pid && WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
    }
    return outcome;
}

std::string signalName(int signal)
{
    const char* abbreviation = ::sigabbrev_np(signal);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
}

// The helper's standard error cut to what explains the failure: osgDB's own reason when the
// helper got one, otherwise the last lines (readers print long runs of repeated warnings).
std::string summarise(const std::string& text)
{
    constexpr std::size_t lineLimit = 200;
    std::vector<std::string> lines;
    std::string line;
    auto keep = [&] {
        const auto first = line.find_first_not_of(' ');
        if (first != std::string::npos) {
            line = line.substr(first, lineLimit);
            if (lines.empty() || lines.back() != line)
                lines.push_back(line);
        }
        line.clear();
    };
    for (const char c : text) {
        if (c == '\n')
            keep();
        else
            line += (c >= 0x20 && c < 0x7f) ? c : ' ';
    }
    keep();
    if (lines.empty())
        return "no message";
    const std::string& last = lines.back();
    if (last.rfind("osgDB: ", 0) == 0 && last != "osgDB: no reason given")
        return last;
    return lines.size() == 1 ? last : lines[lines.size() - 2] + " | " + last;
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
    case HelperExitCode::Usage:
        return "the reader helper was called wrongly";
    default:
        return "the reader helper ended with exit code " + std::to_string(code);
    }
}

// Parses the helper's .osgb stream as it arrives.
osg::ref_ptr<osg::Node> parseStream(PipeInputBuffer& buffer, std::string& error)
{
    osgDB::ReaderWriter* osgb = osgDB::Registry::instance()->getReaderWriterForExtension("osgb");
    if (!osgb) {
        error = "osgDB has no .osgb reader";
        return nullptr;
    }
    std::istream stream(&buffer);
    try {
        osgDB::ReaderWriter::ReadResult result = osgb->readNode(stream);
        if (result.validNode())
            return result.getNode();
        error = result.message().empty() ? "the stream holds no scene" : result.message();
    } catch (const std::exception& exception) {
        error = exception.what();
    } catch (...) {
        error = "unknown exception";
    }
    return nullptr;
}

} // namespace

ReaderHelperProcess::ReaderHelperProcess(std::string helperPath)
    : ReaderHelperProcess(std::move(helperPath), TimeLimit{})
{}

ReaderHelperProcess::ReaderHelperProcess(std::string helperPath, TimeLimit limit)
    : m_helperPath(std::move(helperPath)), m_limit(limit)
{}

osg::ref_ptr<osg::Node> ReaderHelperProcess::read(const std::string& path,
                                                  const std::string& options) const
{
    if (::access(m_helperPath.c_str(), X_OK) != 0) {
        ZEL_ERROR << "SceneReader::read: Cannot read " << path << ": the reader helper "
                  << m_helperPath << " is missing or not executable\n";
        return nullptr;
    }
    struct stat info
    {};
    const long long megabytes = ::stat(path.c_str(), &info) == 0 ? (info.st_size >> 20) + 1 : 1;
    const auto timeLimit = m_limit.base + m_limit.perMegabyte * megabytes;
    const Clock::time_point deadline = Clock::now() + timeLimit;

    std::string error;
    Child child = spawnHelper(m_helperPath, path, options, error);
    if (child.pid < 0) {
        ZEL_ERROR << "SceneReader::read: Cannot read " << path << ": starting the reader helper "
                  << m_helperPath << " failed: " << error << "\n";
        return nullptr;
    }

    PipeInputBuffer buffer(child.dataFd, child.messageFd, deadline);
    std::string streamError;
    osg::ref_ptr<osg::Node> node = parseStream(buffer, streamError);
    buffer.drain();
    const Outcome outcome = reap(child.pid, deadline, buffer.timedOut());
    const std::string messages = summarise(buffer.messages());

    if (outcome.timedOut) {
        ZEL_ERROR << "SceneReader::read: Cannot read " << path << ": the reader helper took longer "
                  << "than " << std::chrono::duration<double>(timeLimit).count()
                  << " s and was killed (time-out)\n";
        return nullptr;
    }
    if (outcome.signal != 0) {
        ZEL_ERROR << "SceneReader::read: Cannot read " << path << ": the reader helper crashed ("
                  << signalName(outcome.signal) << ") while osgDB read the file; " << messages
                  << "\n";
        return nullptr;
    }
    if (!outcome.exited || outcome.exitCode != 0) {
        ZEL_ERROR << "SceneReader::read: Cannot read " << path << ": "
                  << describeExit(outcome.exited ? outcome.exitCode : -1) << ": " << messages
                  << "\n";
        return nullptr;
    }
    if (node && !(streamError = SceneGraphCheck::problem(*node)).empty())
        node = nullptr;
    if (!node) {
        ZEL_ERROR << "SceneReader::read: Cannot read " << path
                  << ": the scene sent by the reader helper is broken: " << streamError << "\n";
        return nullptr;
    }
    return node;
}
