#pragma once

#include <chrono>
#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

// Reads a scene file in the reader helper, a separate process, and takes the scene over from
// its standard output while the helper still writes it. osgDB's readers crash or hang on
// malformed files; in the helper that costs an error record instead of the program.
class ReaderHelperProcess
{
public:
    // The helper gets base + perMegabyte for every started megabyte of the file, then SIGKILL.
    struct TimeLimit
    {
        std::chrono::milliseconds base{10000};
        std::chrono::milliseconds perMegabyte{2000};
    };

    explicit ReaderHelperProcess(std::string helperPath);
    ReaderHelperProcess(std::string helperPath, TimeLimit limit);

    // Null after an ERROR record naming the file and what went wrong.
    osg::ref_ptr<osg::Node> read(const std::string& path, const std::string& options) const;

    const std::string& helperPath() const { return m_helperPath; }

private:
    std::string m_helperPath;
    TimeLimit m_limit;
};
