#pragma once

#include "PipeInputBuffer.h"

#include <chrono>
#include <osg/Node>
#include <osg/ref_ptr>
#include <string>
#include <vector>

// Reads a scene file in the reader helper, a separate, confined process, and takes the scene
// over from its standard output while the helper still writes it. osgDB's readers crash or
// hang on malformed files; in the helper that costs an error instead of the program.
class ReaderHelperProcess
{
public:
    // The helper gets base + perMegabyte for every started megabyte of the file, then SIGKILL.
    struct TimeLimit
    {
        std::chrono::milliseconds base{10000};
        std::chrono::milliseconds perMegabyte{2000};
    };

    struct Outcome
    {
        enum Kind
        {
            Loaded,
            NotHandled,
            NotFound,
            Failed,
            Crashed,
            TimedOut,
            Cancelled
        };
        Kind kind = Failed;
        // Why not, when not loaded.
        std::string reason;
        // What was left out of a loaded scene.
        std::vector<std::string> warnings;
        // The most memory the helper held at once.
        long helperPeakKilobytes = 0;
    };

    explicit ReaderHelperProcess(std::string helperPath);
    ReaderHelperProcess(std::string helperPath, TimeLimit limit,
                        PipeInputBuffer::CancelCheck cancelled = nullptr);

    // Null unless the outcome is Loaded; nothing is logged here.
    osg::ref_ptr<osg::Node> read(const std::string& path, const std::string& options,
                                 Outcome& outcome) const;

    const std::string& helperPath() const { return m_helperPath; }

private:
    std::string m_helperPath;
    TimeLimit m_limit;
    PipeInputBuffer::CancelCheck m_cancelled;
};
