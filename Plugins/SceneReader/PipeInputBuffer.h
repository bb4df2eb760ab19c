#pragma once

#include <chrono>
#include <streambuf>
#include <string>
#include <vector>

// A blocking input buffer over the read end of a pipe, so that osgDB can parse a stream while
// the process at the other end still writes it. It also drains a second pipe (the writer's
// standard error) to keep the writer from blocking on it, gives up at a deadline, and gives up
// as soon as the cancel check answers true (it is asked several times a second while waiting).
// Telling the position and skipping forward work; going back does not.
class PipeInputBuffer : public std::streambuf
{
public:
    using Clock = std::chrono::steady_clock;
    using CancelCheck = bool (*)();

    // Why the data ended.
    enum class End
    {
        Open,
        Complete,
        TimedOut,
        Cancelled,
        Failed
    };

    PipeInputBuffer(int dataFd, int messageFd, Clock::time_point deadline,
                    CancelCheck cancelled = nullptr);
    ~PipeInputBuffer() override;
    PipeInputBuffer(const PipeInputBuffer&) = delete;
    PipeInputBuffer& operator=(const PipeInputBuffer&) = delete;

    // Waits until count bytes lie ahead of the read position; false when the data ends first.
    // The buffer grows only as data arrives, so a count read from the stream allocates nothing.
    bool ensureAhead(std::size_t count);
    // The bytes ahead of the read position (as many as ensureAhead asked for).
    const char* ahead() const { return gptr(); }
    // Reads both pipes to their end (or the deadline, or cancellation) and closes them.
    void drain();
    // Closes the data pipe without reading on: its writer gets EPIPE.
    void abandon();

    End end() const { return m_end; }
    // The writer's standard error; only its last part is kept when it says a lot.
    const std::string& messages() const { return m_messages; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    // Appends what the data pipe has (waiting for it); false at its end.
    bool readMore();
    // Waits for one of the pipes; false when waiting must stop (m_end tells why).
    bool wait(bool forData);
    void readMessages();
    pos_type position() const;
    pos_type skipTo(pos_type target);
    static void closeFd(int& fd);

    int m_dataFd;
    int m_messageFd;
    Clock::time_point m_deadline;
    CancelCheck m_cancelled;
    End m_end = End::Open;
    std::vector<char> m_buffer;
    // Bytes handed out before the current buffer content.
    long long m_consumedBefore = 0;
    std::string m_messages;
};
