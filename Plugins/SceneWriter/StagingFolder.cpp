#include "StagingFolder.h"

#include "Logger/Log.h"
#include "WriteErrorText.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const marker = ".saving-";
// Keeps ".<name>.saving-<pid>-XXXXXX" within the 255 bytes a file name may have.
const std::size_t longestNamePart = 180;

// The pid of a staging folder's name, or 0 when the name is not one of ours.
pid_t ownerOf(const std::string& name)
{
    const std::size_t at = name.rfind(marker);
    if (name.empty() || name.front() != '.' || at == std::string::npos || at == 0)
        return 0;
    const std::string rest = name.substr(at + std::strlen(marker));
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || rest.size() - dash - 1 != 6)
        return 0;
    for (std::size_t i = 0; i < dash; ++i)
        if (rest[i] < '0' || rest[i] > '9')
            return 0;
    const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    return pid > 0 && pid < (1L << 22) ? static_cast<pid_t>(pid) : 0;
}

bool processRuns(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Locks are tied to the open folder: they go with the process, however it ends.
int lockFolder(const std::string& path, bool wait)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes a tree without following symbolic links; the tree is ours, made by a save.
void removeTree(int parentFd, const char* name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        if (DIR* dir = ::fdopendir(fd)) {
            std::vector<std::string> entries;
            while (const dirent* entry = ::readdir(dir))
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    entries.emplace_back(entry->d_name);
            for (const std::string& entry : entries)
                if (::unlinkat(::dirfd(dir), entry.c_str(), 0) != 0 && errno == EISDIR)
                    removeTree(::dirfd(dir), entry.c_str());
            ::closedir(dir);
        } else {
            ::close(fd);
        }
    }
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

} // namespace

StagingFolder::StagingFolder(const std::string& folder, const std::string& fileName)
{
    std::string pattern = folder + "/." + fileName.substr(0, longestNamePart) + marker +
                          std::to_string(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        m_problem =
            "no new file can be made in the folder " + folder + ": " + writeErrorText(errno);
        return;
    }
    m_path = pattern;
    m_filePath = m_path + "/" + fileName;
    m_lockFd = lockFolder(m_path, true);
}

StagingFolder::~StagingFolder()
{
    if (!m_path.empty())
        removeTree(AT_FDCWD, m_path.c_str());
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

int StagingFolder::commit(const std::string& target)
{
    if (::rename(m_filePath.c_str(), target.c_str()) != 0)
        return errno;
    // The rename is only durable once the folder holding it is written.
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return 0;
}

int StagingFolder::removeLeftovers(const std::string& folder)
{
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return 0;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(folderFd), ::closedir);
    if (!dir) {
        ::close(folderFd);
        return 0;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        const pid_t owner = ownerOf(name);
        struct stat info
        {};
        if (owner == 0 || processRuns(owner) ||
            ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        stale.push_back(name);
    }
    int removed = 0;
    for (const std::string& name : stale) {
        // A process id from another pid namespace may look dead while its save goes on.
        const int lock = lockFolder(folder + "/" + name, false);
        if (lock < 0)
            continue;
        removeTree(folderFd, name.c_str());
        ::close(lock);
        ZEL_INFO << "SceneWriter::write: Removed " << folder << "/" << name
                 << ", left by a save that did not finish\n";
        ++removed;
    }
    return removed;
}
