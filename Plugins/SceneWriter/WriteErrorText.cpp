#include "WriteErrorText.h"

#include <cerrno>
#include <cstring>

std::string writeErrorText(int error)
{
    const std::string system = std::string(" (") + std::strerror(error) + ")";
    switch (error) {
    case ENOSPC:
        return "the disk is full" + system;
    case EDQUOT:
        return "the disk quota is used up" + system;
    case EFBIG:
        return "the file would be larger than the system allows" + system;
    case EROFS:
        return "the folder is on a read-only file system" + system;
    case EACCES:
    case EPERM:
        return "no permission to write there" + system;
    case EIO:
        return "the disk reported an input/output error" + system;
    default:
        return std::strerror(error);
    }
}
