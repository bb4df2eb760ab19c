#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// The verdicts of earlier trial loads of plug-in libraries, kept in a small text file so that a
// warm start tries nothing. A verdict holds for one file identity (device, inode, size,
// modification and change time): a library changed in any way is tried again. A cache written
// with another probe helper (a new installation) is dropped whole.
class ProbeCache
{
public:
    struct Identity
    {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t modified = 0; // nanoseconds
        std::int64_t changed = 0;  // nanoseconds

        // The identity of the file path names (links followed), if it can be read.
        static std::optional<Identity> of(const std::string& path);
        bool operator==(const Identity& other) const;
    };

    // How a trial load ended: the loader came back, or the process died of a signal or ended
    // with an exit code other than 0.
    struct Verdict
    {
        enum Kind
        {
            Loads,
            Signal,
            ExitCode
        };
        Kind kind = Loads;
        int detail = 0;
    };

    // Reads file (a missing or malformed file is an empty cache).
    ProbeCache(std::string file, const Identity& helper);

    std::optional<Verdict> find(const std::string& path, const Identity& identity) const;
    void store(const std::string& path, const Identity& identity, const Verdict& verdict);

    // Writes the file if a verdict was stored, atomically; false with the reason if it cannot.
    bool save(std::string& error);

private:
    struct Entry
    {
        Identity identity;
        Verdict verdict;
    };

    void load();

    std::string m_file;
    Identity m_helper;
    std::map<std::string, Entry> m_entries;
    bool m_changed = false;
};
