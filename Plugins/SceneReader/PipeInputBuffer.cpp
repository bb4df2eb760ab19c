#include "PipeInputBuffer.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t bufferSize = 1 << 18;
constexpr std::size_t messageLimit = 16 * 1024;

} // namespace

PipeInputBuffer::PipeInputBuffer(int dataFd, int messageFd, Clock::time_point deadline)
    : m_dataFd(dataFd), m_messageFd(messageFd), m_deadline(deadline), m_buffer(bufferSize)
{
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
}

PipeInputBuffer::~PipeInputBuffer()
{
    closeFd(m_dataFd);
    closeFd(m_messageFd);
}

void PipeInputBuffer::closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

PipeInputBuffer::int_type PipeInputBuffer::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    return fillBuffer() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
}

bool PipeInputBuffer::fillBuffer()
{
    m_consumedBefore += egptr() - eback();
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
    while (m_dataFd >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
        if (left.count() <= 0) {
            m_timedOut = true;
            return false;
        }
        pollfd fds[2] = {{m_dataFd, POLLIN, 0}, {m_messageFd, POLLIN, 0}};
        const int ready = ::poll(fds, m_messageFd >= 0 ? 2 : 1,
                                 static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (m_messageFd >= 0 && fds[1].revents != 0)
            readMessages();
        if (fds[0].revents == 0)
            continue;
        const ssize_t count = ::read(m_dataFd, m_buffer.data(), m_buffer.size());
        if (count > 0) {
            setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + count);
            return true;
        }
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        break;
    }
    closeFd(m_dataFd);
    return false;
}

void PipeInputBuffer::readMessages()
{
    char chunk[4096];
    const ssize_t count = ::read(m_messageFd, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        closeFd(m_messageFd);
        return;
    }
    m_messages.append(chunk, static_cast<std::size_t>(count));
    if (m_messages.size() > 2 * messageLimit)
        m_messages.erase(0, m_messages.size() - messageLimit);
}

void PipeInputBuffer::drain()
{
    while (m_dataFd >= 0 && !m_timedOut)
        fillBuffer();
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
    while (m_messageFd >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
        if (left.count() <= 0) {
            m_timedOut = true;
            break;
        }
        pollfd fd{m_messageFd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 60000))) > 0)
            readMessages();
    }
    closeFd(m_dataFd);
    closeFd(m_messageFd);
    if (m_messages.size() > messageLimit)
        m_messages.erase(0, m_messages.size() - messageLimit);
}

PipeInputBuffer::pos_type PipeInputBuffer::position() const
{
    return pos_type(m_consumedBefore + (gptr() - eback()));
}

PipeInputBuffer::pos_type PipeInputBuffer::skipTo(pos_type target)
{
    while (position() < target) {
        if (gptr() == egptr() && !fillBuffer())
            return pos_type(off_type(-1));
        const off_type step =
            std::min<off_type>(target - position(), static_cast<off_type>(egptr() - gptr()));
        gbump(static_cast<int>(step));
    }
    return position();
}

PipeInputBuffer::pos_type PipeInputBuffer::seekoff(off_type offset,
                                                   std::ios_base::seekdir direction,
                                                   std::ios_base::openmode which)
{
    if (!(which & std::ios_base::in))
        return pos_type(off_type(-1));
    if (direction == std::ios_base::cur)
        return offset == 0 ? position() : seekpos(position() + offset, which);
    if (direction == std::ios_base::beg)
        return seekpos(pos_type(offset), which);
    return pos_type(off_type(-1));
}

PipeInputBuffer::pos_type PipeInputBuffer::seekpos(pos_type target, std::ios_base::openmode which)
{
    if (!(which & std::ios_base::in) || target < position())
        return pos_type(off_type(-1));
    return skipTo(target);
}
