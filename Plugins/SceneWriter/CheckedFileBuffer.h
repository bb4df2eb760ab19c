#pragma once

#include <cstdint>
#include <streambuf>
#include <vector>

// An output buffer over a file descriptor that keeps the first failed write. osgDB's writers
// stream into a std::ostream and many never look at its state, and std::ofstream loses the
// error of its last flush in close(); a full disk then yields a short file reported as saved.
// Seeking is supported, as osgDB's binary writer goes back to fill in block sizes.
class CheckedFileBuffer : public std::streambuf
{
public:
    // Takes over fd and closes it.
    explicit CheckedFileBuffer(int fd);
    ~CheckedFileBuffer() override;
    CheckedFileBuffer(const CheckedFileBuffer&) = delete;
    CheckedFileBuffer& operator=(const CheckedFileBuffer&) = delete;

    // Writes what is buffered, syncs the file to the disk and closes it; false when any step
    // (or any earlier write) failed.
    bool close();

    // errno of the first failure; 0 while none.
    int error() const { return m_error; }
    // The size the file must have: the end of the furthest write.
    std::uint64_t size() const { return m_size; }

protected:
    int_type overflow(int_type character) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    bool flushBuffer();
    void fail(int error);

    int m_fd;
    int m_error = 0;
    std::vector<char> m_buffer;
    // Where the first buffered byte goes in the file.
    std::uint64_t m_position = 0;
    std::uint64_t m_size = 0;
};
