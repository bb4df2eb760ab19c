#include "PipeInputBuffer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t bufferSize = 1 << 18;
constexpr std::size_t messageLimit = 16 * 1024;
// How long one wait lasts before the deadline and the cancel check are looked at again.
constexpr long long pollSliceMs = 50;

} // namespace

PipeInputBuffer::PipeInputBuffer(int dataFd, int messageFd, Clock::time_point deadline,
                                 CancelCheck cancelled)
    : m_dataFd(dataFd), m_messageFd(messageFd), m_deadline(deadline), m_cancelled(cancelled),
      m_buffer(bufferSize)
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
    m_consumedBefore += egptr() - eback();
    // A buffer grown for a long look ahead goes back to its usual size once consumed.
    if (m_buffer.size() > 4 * bufferSize) {
        m_buffer.assign(bufferSize, '\0');
        m_buffer.shrink_to_fit();
    }
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
    return readMore() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
}

bool PipeInputBuffer::ensureAhead(std::size_t count)
{
    while (static_cast<std::size_t>(egptr() - gptr()) < count) {
        if (m_dataFd < 0)
            return false;
        const std::size_t ahead = static_cast<std::size_t>(egptr() - gptr());
        m_consumedBefore += gptr() - eback();
        std::memmove(m_buffer.data(), gptr(), ahead);
        if (ahead == m_buffer.size())
            m_buffer.resize(std::min(std::max(count, bufferSize), 2 * m_buffer.size()));
        setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + ahead);
        if (!readMore())
            return false;
    }
    return true;
}

bool PipeInputBuffer::wait(bool forData)
{
    if (m_cancelled && m_cancelled()) {
        m_end = End::Cancelled;
        return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
    if (left <= 0) {
        m_end = End::TimedOut;
        return false;
    }
    pollfd fds[2] = {{forData ? m_dataFd : -1, POLLIN, 0}, {m_messageFd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left, pollSliceMs)));
    if (ready < 0 && errno != EINTR) {
        m_end = End::Failed;
        return false;
    }
    if (ready > 0 && fds[1].revents != 0)
        readMessages();
    return true;
}

bool PipeInputBuffer::readMore()
{
    char* const end = m_buffer.data() + m_buffer.size();
    while (m_dataFd >= 0 && m_end == End::Open) {
        const ssize_t count = ::read(m_dataFd, egptr(), static_cast<std::size_t>(end - egptr()));
        if (count > 0) {
            setg(eback(), gptr(), egptr() + count);
            return true;
        }
        if (count == 0) {
            m_end = End::Complete;
            break;
        }
        if (errno == EAGAIN || errno == EINTR) {
            if (!wait(true))
                break;
            continue;
        }
        m_end = End::Failed;
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
    while (m_dataFd >= 0 && m_end == End::Open) {
        setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
        readMore();
    }
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
    while (m_messageFd >= 0 && (m_end == End::Open || m_end == End::Complete))
        if (!wait(false))
            break;
    closeFd(m_dataFd);
    closeFd(m_messageFd);
    if (m_messages.size() > messageLimit)
        m_messages.erase(0, m_messages.size() - messageLimit);
}

void PipeInputBuffer::abandon()
{
    closeFd(m_dataFd);
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
}

PipeInputBuffer::pos_type PipeInputBuffer::position() const
{
    return pos_type(m_consumedBefore + (gptr() - eback()));
}

PipeInputBuffer::pos_type PipeInputBuffer::skipTo(pos_type target)
{
    while (position() < target) {
        if (gptr() == egptr() && traits_type::eq_int_type(underflow(), traits_type::eof()))
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
