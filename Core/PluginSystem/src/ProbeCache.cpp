#include "ProbeCache.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const signature = "zelvista-plugin-probe-cache 1";
// A cache of a few hundred libraries is some tens of kilobytes.
constexpr off_t maxCacheSize = 1 << 20;

std::int64_t nanoseconds(const timespec& time)
{
    return std::int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Paths may hold blanks and line breaks: those and "%" are written as "%XX".
std::string encodePath(const std::string& path)
{
    std::string text;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == '%' || byte == 0x7f) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

std::optional<std::string> decodePath(const std::string& text)
{
    std::string path;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            path += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            return std::nullopt;
        path += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
        i += 2;
    }
    return path;
}

std::string identityText(const ProbeCache::Identity& identity)
{
    std::ostringstream text;
    text << identity.device << ' ' << identity.inode << ' ' << identity.size << ' '
         << identity.modified << ' ' << identity.changed;
    return text.str();
}

bool readIdentity(std::istream& in, ProbeCache::Identity& identity)
{
    return static_cast<bool>(in >> identity.device >> identity.inode >> identity.size >>
                             identity.modified >> identity.changed);
}

// The whole file if it is a regular file of sane size; never blocks on a FIFO.
std::optional<std::string> readCacheFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info
    {};
    std::optional<std::string> text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxCacheSize) {
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, &bytes[done], bytes.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        if (done == bytes.size())
            text = std::move(bytes);
    }
    ::close(fd);
    return text;
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::optional<ProbeCache::Identity> ProbeCache::Identity::of(const std::string& path)
{
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    Identity identity;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.modified = nanoseconds(info.st_mtim);
    identity.changed = nanoseconds(info.st_ctim);
    return identity;
}

bool ProbeCache::Identity::operator==(const Identity& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modified == other.modified && changed == other.changed;
}

ProbeCache::ProbeCache(std::string file, const Identity& helper)
    : m_file(std::move(file)), m_helper(helper)
{
    load();
}

void ProbeCache::load()
{
    const std::optional<std::string> text = readCacheFile(m_file);
    if (!text)
        return;
    std::istringstream lines(*text);
    std::string line;
    if (!std::getline(lines, line) || line != signature + std::string(" ") + identityText(m_helper))
        return;
    // Line by line; a malformed line is skipped, its library tried again.
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string kind;
        Entry entry;
        std::string path;
        if (!(fields >> kind >> entry.verdict.detail) || !readIdentity(fields, entry.identity) ||
            !(fields >> path))
            continue;
        if (kind == "loads")
            entry.verdict.kind = Verdict::Loads;
        else if (kind == "signal")
            entry.verdict.kind = Verdict::Signal;
        else if (kind == "exit")
            entry.verdict.kind = Verdict::ExitCode;
        else
            continue;
        if (const std::optional<std::string> decoded = decodePath(path))
            m_entries[*decoded] = entry;
    }
}

std::optional<ProbeCache::Verdict> ProbeCache::find(const std::string& path,
                                                    const Identity& identity) const
{
    const auto entry = m_entries.find(path);
    if (entry == m_entries.end() || !(entry->second.identity == identity))
        return std::nullopt;
    return entry->second.verdict;
}

void ProbeCache::store(const std::string& path, const Identity& identity, const Verdict& verdict)
{
    m_entries[path] = {identity, verdict};
    m_changed = true;
}

bool ProbeCache::save(std::string& error)
{
    if (!m_changed || m_file.empty())
        return true;
    std::string text = signature + std::string(" ") + identityText(m_helper) + "\n";
    for (const auto& [path, entry] : m_entries) {
        // Libraries gone or changed since they were tried are left out.
        const std::optional<Identity> now = Identity::of(path);
        if (!now || !(*now == entry.identity))
            continue;
        const char* kind = entry.verdict.kind == Verdict::Loads    ? "loads"
                           : entry.verdict.kind == Verdict::Signal ? "signal"
                                                                   : "exit";
        text += std::string(kind) + " " + std::to_string(entry.verdict.detail) + " " +
                identityText(entry.identity) + " " + encodePath(path) + "\n";
    }

    // Written beside the old file and renamed over it once complete.
    std::vector<char> temporary(m_file.begin(), m_file.end());
    const std::string suffix = ".XXXXXX";
    temporary.insert(temporary.end(), suffix.begin(), suffix.end());
    temporary.push_back('\0');
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written || ::rename(temporary.data(), m_file.c_str()) != 0) {
        error = std::strerror(written ? errno : writeError);
        ::unlink(temporary.data());
        return false;
    }
    m_changed = false;
    return true;
}
