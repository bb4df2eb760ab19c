#include "QtUtility/RegularFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

RegularFile::Status RegularFile::read(const QString& path, qint64 maxSize, QByteArray& bytes,
                                      QString& reason)
{
    bytes.clear();
    // Non-blocking, so that opening a FIFO returns at once; the type is checked on what was
    // opened, not on the name, which could change in between.
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        const int error = errno;
        reason = errorText(error);
        return error == ENOENT || error == ENOTDIR ? Status::Missing : Status::Unreadable;
    }
    struct stat info
    {};
    if (::fstat(file.get(), &info) != 0) {
        reason = errorText(errno);
        return Status::Unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = QStringLiteral("not a regular file");
        return Status::NotRegular;
    }
    if (info.st_size > maxSize) {
        reason = QStringLiteral("larger than %1 bytes").arg(maxSize);
        return Status::TooLarge;
    }

    // One byte more than the file holds tells whether it grew while it was read.
    bytes.resize(static_cast<int>(info.st_size) + 1);
    qint64 done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > maxSize)
                break;
            bytes.resize(static_cast<int>(std::min<qint64>(maxSize + 1, done * 2)));
        }
        const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = errorText(errno);
            bytes.clear();
            return Status::Unreadable;
        }
        if (got == 0)
            break;
        done += got;
    }
    if (done > maxSize) {
        reason = QStringLiteral("larger than %1 bytes").arg(maxSize);
        bytes.clear();
        return Status::TooLarge;
    }
    bytes.resize(static_cast<int>(done));
    return Status::Read;
}
