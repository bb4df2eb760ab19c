#pragma once

#include <osg/Node>
#include <string>

// Moves the large arrays and index lists of a scene into the memory file the program gave the
// helper (ArrayBlockFormat), leaving empty stand-ins in the scene that is then streamed.
class ArrayBlockWriter
{
public:
    explicit ArrayBlockWriter(int fd) : m_fd(fd) {}

    // False, with the reason, when the file cannot be written.
    bool moveArrays(osg::Node& scene, std::string& error);

private:
    int m_fd;
};
