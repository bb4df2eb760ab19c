#pragma once

#include <chrono>
#include <streambuf>
#include <string>
#include <vector>

// A blocking input buffer over the read end of a pipe, so that osgDB can parse a stream while
// the process at the other end still writes it. It also drains a second pipe (the writer's
// standard error) to keep the writer from blocking on it, and gives up at a deadline.
// Telling the position and skipping forward work; going back does not.
class PipeInputBuffer : public std::streambuf
{
public:
    using Clock = std::chrono::steady_clock;

    PipeInputBuffer(int dataFd, int messageFd, Clock::time_point deadline);
    ~PipeInputBuffer() override;
    PipeInputBuffer(const PipeInputBuffer&) = delete;
    PipeInputBuffer& operator=(const PipeInputBuffer&) = delete;

    // Reads both pipes to their end (or the deadline) and closes them.
    void drain();

    bool timedOut() const { return m_timedOut; }
    // The writer's standard error; only its last part is kept when it says a lot.
    const std::string& messages() const { return m_messages; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    // Waits until data or the end of the data pipe; false at the end or the deadline.
    bool fillBuffer();
    void readMessages();
    pos_type position() const;
    pos_type skipTo(pos_type target);
    static void closeFd(int& fd);

    int m_dataFd;
    int m_messageFd;
    Clock::time_point m_deadline;
    bool m_timedOut = false;
    std::vector<char> m_buffer;
    // Bytes handed out before the current buffer content.
    long long m_consumedBefore = 0;
    std::string m_messages;
};
