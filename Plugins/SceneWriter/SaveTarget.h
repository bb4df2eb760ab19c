#pragma once

#include <string>
#include <sys/types.h>

// The file a save replaces or creates. A symbolic link is followed to the file it names, so
// that saving over a link updates what it points to instead of replacing the link by a file.
// Paths are bytes, as the file system has them.
class SaveTarget
{
public:
    // A target whose problem() is empty can be written.
    static SaveTarget resolve(const std::string& path);

    const std::string& problem() const { return m_problem; }
    const std::string& path() const { return m_path; }
    const std::string& folder() const { return m_folder; }
    const std::string& fileName() const { return m_fileName; }
    bool exists() const { return m_exists; }
    // Permission bits of the existing file.
    mode_t mode() const { return m_mode; }

private:
    bool followLinks();
    bool checkFolder();
    bool checkFile();

    std::string m_problem;
    std::string m_path;
    std::string m_folder;
    std::string m_fileName;
    bool m_exists = false;
    mode_t m_mode = 0;
};
