#include "HelperSandbox.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

bool limit(int resource, std::uint64_t value, std::uint64_t hard, std::string& error)
{
    const rlimit current{static_cast<rlim_t>(value), static_cast<rlim_t>(hard)};
    if (::setrlimit(resource, &current) == 0)
        return true;
    error = std::string("setrlimit failed: ") + std::strerror(errno);
    return false;
}

// System calls that start programs, make processes, open sockets or reach into other
// processes; they fail with EPERM.
const int deniedCalls[] = {
    SCMP_SYS(execve),
    SCMP_SYS(execveat),
    SCMP_SYS(fork),
    SCMP_SYS(vfork),
    SCMP_SYS(socket),
    SCMP_SYS(socketpair),
    SCMP_SYS(connect),
    SCMP_SYS(bind),
    SCMP_SYS(listen),
    SCMP_SYS(accept),
    SCMP_SYS(accept4),
    SCMP_SYS(process_vm_readv),
    SCMP_SYS(process_vm_writev),
    SCMP_SYS(io_uring_setup),
    SCMP_SYS(io_uring_enter),
    SCMP_SYS(io_uring_register),
    SCMP_SYS(mount),
    SCMP_SYS(umount2),
    SCMP_SYS(pivot_root),
    SCMP_SYS(chroot),
    SCMP_SYS(unshare),
    SCMP_SYS(setns),
    SCMP_SYS(bpf),
    SCMP_SYS(perf_event_open),
    SCMP_SYS(userfaultfd),
    SCMP_SYS(kexec_load),
    SCMP_SYS(init_module),
    SCMP_SYS(finit_module),
    SCMP_SYS(keyctl),
    SCMP_SYS(add_key),
    SCMP_SYS(request_key),
};

bool installFilter(std::string& error)
{
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ALLOW);
    if (!filter) {
        error = "seccomp_init failed";
        return false;
    }
    int result = 0;
    for (const int call : deniedCalls)
        if (result == 0)
            result = ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), call, 0);
#if defined(__SANITIZE_ADDRESS__)
            // LeakSanitizer stops the helper's threads from a cloned tracer that attaches with
            // ptrace; the test build lets it, so that the helper's own leaks are found.
#else
    if (result == 0)
        result = ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(ptrace), 0);
    // Threads only: clone without CLONE_THREAD makes a process.
    if (result == 0)
        result = ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(clone), 1,
                                    SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0));
#endif
    // clone3 hides its flags from the filter; without it the C library falls back to clone.
    if (result == 0)
        result = ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);
    if (result == 0)
        result = ::seccomp_load(filter);
    ::seccomp_release(filter);
    if (result != 0)
        error = std::string("installing the seccomp filter failed: ") + std::strerror(-result);
    return result == 0;
}

} // namespace

bool HelperSandbox::enter(pid_t parent, const Limits& limits, std::string& error)
{
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) {
        error = std::string("PR_SET_PDEATHSIG failed: ") + std::strerror(errno);
        return false;
    }
    // The parent may have gone before the line above: the helper then belongs to another.
    if (::getppid() != parent) {
        error = "the program that started the helper is gone";
        return false;
    }
    // The file size bounds the memory file the arrays go to, which the address space does not.
    if (!limit(RLIMIT_CPU, limits.cpuSeconds, limits.cpuSeconds + 1, error) ||
        !limit(RLIMIT_CORE, 0, 0, error) ||
        !limit(RLIMIT_FSIZE, limits.memoryBytes, limits.memoryBytes, error))
        return false;
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space: the test build goes without.
    if (!limit(RLIMIT_AS, limits.memoryBytes, limits.memoryBytes, error))
        return false;
#endif
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        error = std::string("PR_SET_NO_NEW_PRIVS failed: ") + std::strerror(errno);
        return false;
    }
    return installFilter(error);
}
