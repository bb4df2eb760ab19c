#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

// Takes the reader helper's rights away before it opens a file, since whatever it reads may
// be crafted to take it over: it dies with the program that started it, cannot start programs
// or open sockets (no new privileges and a seccomp filter), and has limits on CPU time and
// memory, and writes no core file.
class HelperSandbox
{
public:
    struct Limits
    {
        std::uint64_t cpuSeconds = 60;
        std::uint64_t memoryBytes = std::uint64_t(4) << 30;
    };

    // False, with the reason, when the helper cannot run confined or its parent is gone.
    static bool enter(pid_t parent, const Limits& limits, std::string& error);
};
