#include "PluginProbe.h"

#include "Logger/Log.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Loading a plug-in takes well under a second; the limit leaves room for a loaded machine.
constexpr auto trialTimeout = std::chrono::seconds(15);
constexpr std::size_t maxParallelTrials = 4;
// The helper's own failures (bad arguments, parent gone): no verdict on the library.
constexpr int helperUsageError = 90;
constexpr int helperOrphaned = 91;

// Signals a library's own fault raises; any other signal came from outside.
bool isCrashSignal(int signalNumber)
{
    for (int crash : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP})
        if (signalNumber == crash)
            return true;
    return false;
}

std::string describe(const ProbeCache::Verdict& verdict)
{
    if (verdict.kind == ProbeCache::Verdict::Signal)
        return "it crashed a trial load: signal " + std::to_string(verdict.detail) + ", " +
               strsignal(verdict.detail);
    return "it crashed a trial load: exit code " + std::to_string(verdict.detail);
}

} // namespace

struct PluginProbe::Trial
{
    std::string path;
    ProbeCache::Identity identity;
    pid_t pid = -1;
    Clock::time_point deadline;
};

std::string PluginProbe::helperPath()
{
    // Beside the library that holds this code, in the build tree and in an installation alike.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&PluginProbe::helperPath), &info) || !info.dli_fname)
        return {};
    std::string library = info.dli_fname;
    const std::size_t slash = library.rfind('/');
    return (slash == std::string::npos ? std::string(".") : library.substr(0, slash)) +
           "/ZelvistaPluginProbe";
}

PluginProbe::PluginProbe(const std::string& cacheFile) : m_helper(helperPath())
{
    const std::optional<ProbeCache::Identity> helper = ProbeCache::Identity::of(m_helper);
    if (!helper || ::access(m_helper.c_str(), X_OK) != 0) {
        m_helper.clear();
        return;
    }
    m_cache = std::make_unique<ProbeCache>(cacheFile, *helper);
    m_cacheFile = cacheFile;
}

PluginProbe::~PluginProbe()
{
    std::string error;
    if (m_cache && !m_cache->save(error))
        ZEL_WARN << "Cannot write the plugin check cache " << m_cacheFile << ": " << error << "\n";
}

void PluginProbe::tryAll(const std::vector<std::string>& paths)
{
    if (m_helper.empty())
        return;
    std::deque<Trial> waiting;
    for (const std::string& path : paths) {
        const std::optional<ProbeCache::Identity> identity = ProbeCache::Identity::of(path);
        if (identity && !m_cache->find(path, *identity) && !uncached(path))
            waiting.push_back({path, *identity, -1, {}});
    }
    if (waiting.empty())
        return;

    const Clock::time_point begin = Clock::now();
    const std::size_t count = waiting.size();
    std::vector<Trial> running;
    while (!waiting.empty() || !running.empty()) {
        while (!waiting.empty() && running.size() < maxParallelTrials && !m_helper.empty()) {
            Trial trial = std::move(waiting.front());
            waiting.pop_front();
            if (start(trial))
                running.push_back(std::move(trial));
        }
        if (m_helper.empty())
            waiting.clear();
        for (auto trial = running.begin(); trial != running.end();) {
            int status = 0;
            const pid_t ended = ::waitpid(trial->pid, &status, WNOHANG);
            if (ended == 0 && Clock::now() < trial->deadline) {
                ++trial;
                continue;
            }
            if (ended == 0) {
                ::kill(trial->pid, SIGKILL);
                while (::waitpid(trial->pid, &status, 0) < 0 && errno == EINTR) {
                }
                m_uncached.emplace_back(trial->path, "a trial load did not end within " +
                                                         std::to_string(trialTimeout.count()) +
                                                         " s");
            } else if (ended == trial->pid) {
                finish(*trial, status);
            } else if (errno == EINTR) {
                ++trial;
                continue;
            }
            trial = running.erase(trial);
        }
        if (!running.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
    ZEL_INFO << "Plugin libraries tried in child processes: " << count << " (" << elapsed
             << " ms).\n";
}

bool PluginProbe::start(Trial& trial)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // A process group of its own: a Ctrl+C meant for the program does not end a trial, which
    // would then look like a crash. Signals the program ignores are the helper's to handle.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);

    std::string parent = std::to_string(::getpid());
    char* arguments[] = {m_helper.data(), trial.path.data(), parent.data(), nullptr};
    const int error =
        posix_spawn(&trial.pid, m_helper.c_str(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        ZEL_WARN << "Cannot start the plugin check helper " << m_helper << ": "
                 << std::strerror(error) << "; plugin libraries are loaded untried.\n";
        m_helper.clear();
        m_warned = true;
        return false;
    }
    trial.deadline = Clock::now() + trialTimeout;
    return true;
}

void PluginProbe::finish(Trial& trial, int status)
{
    ProbeCache::Verdict verdict;
    if (WIFEXITED(status)) {
        const int code = WEXITSTATUS(status);
        if (code == helperUsageError || code == helperOrphaned)
            return;
        verdict.kind = code == 0 ? ProbeCache::Verdict::Loads : ProbeCache::Verdict::ExitCode;
        verdict.detail = code;
    } else if (WIFSIGNALED(status) && isCrashSignal(WTERMSIG(status))) {
        verdict.kind = ProbeCache::Verdict::Signal;
        verdict.detail = WTERMSIG(status);
    } else {
        // Killed from outside (the out-of-memory killer, a user): refused for this run only.
        m_uncached.emplace_back(trial.path, "a trial load was ended by signal " +
                                                std::to_string(WTERMSIG(status)));
        return;
    }
    m_cache->store(trial.path, trial.identity, verdict);
}

const std::string* PluginProbe::uncached(const std::string& path) const
{
    for (const auto& [library, reason] : m_uncached)
        if (library == path)
            return &reason;
    return nullptr;
}

std::optional<std::string> PluginProbe::refusal(const std::string& path)
{
    if (const std::string* reason = uncached(path))
        return *reason;
    if (m_helper.empty()) {
        if (!m_warned)
            ZEL_WARN << "The plugin check helper " << helperPath()
                     << " is missing; plugin libraries are loaded untried.\n";
        m_warned = true;
        return std::nullopt;
    }
    const std::optional<ProbeCache::Identity> identity = ProbeCache::Identity::of(path);
    if (!identity)
        return std::nullopt; // the loader says why it cannot load the file
    std::optional<ProbeCache::Verdict> verdict = m_cache->find(path, *identity);
    if (!verdict) {
        tryAll({path});
        if (const std::string* reason = uncached(path))
            return *reason;
        verdict = m_cache->find(path, *identity);
    }
    if (!verdict || verdict->kind == ProbeCache::Verdict::Loads)
        return std::nullopt;
    return describe(*verdict);
}
