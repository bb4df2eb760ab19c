#pragma once

#include <string>

// A hidden folder next to the file being saved, named ".<file>.saving-<pid>-XXXXXX", that holds
// the new file until it is complete and checked. It is on the target's file system, so the
// finished file replaces the old one with one rename. The folder is locked while it lives; a
// save killed before it could clean up leaves it behind, and removeLeftovers() takes it away.
class StagingFolder
{
public:
    // problem() says why not when the folder could not be made.
    StagingFolder(const std::string& folder, const std::string& fileName);
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const std::string& problem() const { return m_problem; }
    const std::string& path() const { return m_path; }
    // Where the new file is written: the target's name inside this folder.
    const std::string& filePath() const { return m_filePath; }

    // Renames the new file over target and syncs the folder; errno on failure, else 0.
    int commit(const std::string& target);

    // Removes the staging folders in folder whose saving process is gone: its process id is not
    // running here and nobody holds its lock. Returns how many were removed.
    static int removeLeftovers(const std::string& folder);

private:
    std::string m_problem;
    std::string m_path;
    std::string m_filePath;
    int m_lockFd = -1;
};
