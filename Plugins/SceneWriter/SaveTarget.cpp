#include "SaveTarget.h"

#include "WriteErrorText.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Linux gives up after 40 links as well.
const int maximumLinks = 40;

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

SaveTarget SaveTarget::resolve(const std::string& path)
{
    SaveTarget target;
    target.m_path = path;
    if (target.followLinks() && target.checkFolder())
        target.checkFile();
    return target;
}

bool SaveTarget::followLinks()
{
    for (int links = 0;; ++links) {
        struct stat info
        {};
        if (::lstat(m_path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        if (links == maximumLinks) {
            m_problem = "it is a chain of too many symbolic links";
            return false;
        }
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t length = ::readlink(m_path.c_str(), buffer.data(), buffer.size() - 1);
        if (length <= 0) {
            m_problem = std::string("its symbolic link cannot be read: ") + std::strerror(errno);
            return false;
        }
        const std::string linked(buffer.data(), static_cast<std::size_t>(length));
        m_path = linked.front() == '/' ? linked : folderOf(m_path) + "/" + linked;
    }
    m_folder = folderOf(m_path);
    m_fileName = m_path.substr(m_path.rfind('/') + 1);
    return true;
}

bool SaveTarget::checkFolder()
{
    struct stat info
    {};
    if (m_fileName.empty() || m_fileName == "." || m_fileName == "..")
        m_problem = "no file name given";
    else if (::stat(m_folder.c_str(), &info) != 0)
        m_problem = errno == ENOENT || errno == ENOTDIR
                        ? "the folder " + m_folder + " does not exist"
                        : "the folder " + m_folder + " cannot be reached: " + std::strerror(errno);
    else if (!S_ISDIR(info.st_mode))
        m_problem = m_folder + " is not a folder";
    return m_problem.empty();
}

bool SaveTarget::checkFile()
{
    struct stat info
    {};
    if (::stat(m_path.c_str(), &info) != 0)
        return true;
    m_exists = true;
    m_mode = info.st_mode & 0777;
    if (S_ISDIR(info.st_mode))
        m_problem = "it is a folder";
    else if (!S_ISREG(info.st_mode))
        m_problem = "it is not a regular file";
    else if (::access(m_path.c_str(), W_OK) != 0)
        m_problem = errno == EROFS ? writeErrorText(EROFS) : "the file is read-only";
    return m_problem.empty();
}
