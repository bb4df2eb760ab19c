#pragma once

#include "ZelApi.h"

#include <QByteArray>
#include <QString>

// Reads a file that must be a regular file of bounded size. Opening a FIFO where a file is
// expected blocks for ever, a directory fails half-way through a read, and a huge file would be
// allocated whole: all three are refused before anything is read.
class ZEL_API RegularFile
{
public:
    enum class Status
    {
        Read,
        Missing,
        NotRegular,
        TooLarge,
        Unreadable
    };

    // On Read, bytes holds the whole file; otherwise reason says why not. maxSize < 2 GiB.
    static Status read(const QString& path, qint64 maxSize, QByteArray& bytes, QString& reason);
};
