#include "CheckedFileBuffer.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

CheckedFileBuffer::CheckedFileBuffer(int fd) : m_fd(fd), m_buffer(1 << 16)
{
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

CheckedFileBuffer::~CheckedFileBuffer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CheckedFileBuffer::fail(int error)
{
    if (m_error == 0)
        m_error = error ? error : EIO;
}

bool CheckedFileBuffer::flushBuffer()
{
    const char* data = pbase();
    std::size_t left = static_cast<std::size_t>(pptr() - pbase());
    while (left > 0 && m_error == 0) {
        const ssize_t written = ::pwrite(m_fd, data, left, static_cast<off_t>(m_position));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            fail(written < 0 ? errno : ENOSPC);
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
        m_position += static_cast<std::uint64_t>(written);
        m_size = std::max(m_size, m_position);
    }
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return m_error == 0;
}

CheckedFileBuffer::int_type CheckedFileBuffer::overflow(int_type character)
{
    if (!flushBuffer())
        return traits_type::eof();
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(character);
        pbump(1);
    }
    return traits_type::not_eof(character);
}

int CheckedFileBuffer::sync()
{
    // osgDB ends every line of text with std::endl; writing then would cost a system call per
    // line. Nobody reads the file before close(), which writes the rest.
    return m_error == 0 ? 0 : -1;
}

CheckedFileBuffer::pos_type CheckedFileBuffer::seekoff(off_type offset,
                                                       std::ios_base::seekdir direction,
                                                       std::ios_base::openmode which)
{
    const off_type here = static_cast<off_type>(m_position + (pptr() - pbase()));
    // Telling the position is frequent and needs no flush.
    if (direction == std::ios_base::cur && offset == 0)
        return pos_type(here);
    off_type base = here;
    if (direction == std::ios_base::beg)
        base = 0;
    else if (direction == std::ios_base::end)
        base = static_cast<off_type>(std::max<std::uint64_t>(m_size, here));
    return seekpos(pos_type(base + offset), which);
}

CheckedFileBuffer::pos_type CheckedFileBuffer::seekpos(pos_type position,
                                                       std::ios_base::openmode which)
{
    if (!(which & std::ios_base::out) || off_type(position) < 0 || !flushBuffer())
        return pos_type(off_type(-1));
    m_position = static_cast<std::uint64_t>(off_type(position));
    return position;
}

bool CheckedFileBuffer::close()
{
    if (m_fd < 0)
        return m_error == 0;
    flushBuffer();
    if (m_error == 0 && ::fsync(m_fd) != 0)
        fail(errno);
    // close() reports what some file systems (NFS, quotas) only find out at the end.
    if (::close(m_fd) != 0)
        fail(errno);
    m_fd = -1;
    return m_error == 0;
}
