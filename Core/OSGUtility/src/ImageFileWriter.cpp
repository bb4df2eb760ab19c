#include "OSGUtility/ImageFileWriter.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <osg/Image>
#include <osgDB/FileNameUtils>
#include <osgDB/Registry>
#include <sys/stat.h>
#include <unistd.h>

namespace OSGU {

namespace {

// osgDB's name of the format an extension stands for; empty for none written here.
std::string formatOf(const std::string& extension)
{
    const std::string lower = osgDB::convertToLowerCase(extension);
    if (lower == "png")
        return "png";
    if (lower == "tif" || lower == "tiff")
        return "tiff";
    if (lower == "jpg" || lower == "jpeg")
        return "jpeg";
    return {};
}

bool isEightBitColour(const osg::Image& image)
{
    return image.getDataType() == GL_UNSIGNED_BYTE && image.getPacking() == 1 &&
           (image.getPixelFormat() == GL_BGRA || image.getPixelFormat() == GL_RGBA);
}

// Drops alpha, as the screen shows no transparency, in place: every pixel moves to an earlier
// or the same place. PNG takes blue first; TIFF and JPEG take red first.
void prepareFor(const std::string& format, osg::Image& image)
{
    if (!isEightBitColour(image))
        return;
    const bool blueFirst = image.getPixelFormat() == GL_BGRA;
    const bool swap = blueFirst && format != "png";
    unsigned char* data = image.data();
    const std::size_t count = std::size_t(image.s()) * image.t() * image.r();
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char first = data[4 * i];
        const unsigned char second = data[4 * i + 1];
        const unsigned char third = data[4 * i + 2];
        data[3 * i] = swap ? third : first;
        data[3 * i + 1] = second;
        data[3 * i + 2] = swap ? first : third;
    }
    image.setPixelFormat(blueFirst && !swap ? GL_BGR : GL_RGB);
}

std::string folderOf(const std::string& path)
{
    const std::string folder = osgDB::getFilePath(path);
    return folder.empty() ? std::string(".") : folder;
}

// The file a write goes to: links are followed, so that writing over one updates the file it
// names (made new when it names none yet) instead of replacing the link.
bool resolveTarget(const std::string& path, std::string& target, std::string& reason)
{
    target = path;
    struct stat status;
    for (int hops = 0; lstat(target.c_str(), &status) == 0 && S_ISLNK(status.st_mode); ++hops) {
        char named[PATH_MAX];
        const ssize_t length = readlink(target.c_str(), named, sizeof named - 1);
        if (hops == 16 || length <= 0) {
            reason = "the link " + path + " cannot be followed";
            return false;
        }
        named[length] = '\0';
        target = named[0] == '/' ? std::string(named) : folderOf(target) + "/" + named;
    }
    if (lstat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        reason = path + " is not a regular file";
        return false;
    }
    return true;
}

// A new file beside the target, named so that no one else uses it.
std::string createStagingFile(const std::string& target, std::string& reason)
{
    static std::atomic<unsigned int> counter{0};
    const std::string base = folderOf(target) + "/." + osgDB::getSimpleFileName(target) +
                             ".writing-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = base + std::to_string(counter++);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            reason = "cannot create a file in " + folderOf(target) + ": " + std::strerror(errno);
            return {};
        }
    }
    reason = "cannot find a free file name in " + folderOf(target);
    return {};
}

bool syncFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool writeStaged(const osgDB::ReaderWriter& writer, const osg::Image& image,
                 const std::string& staged, std::string& reason)
{
    std::ofstream stream(staged, std::ios::binary | std::ios::trunc);
    if (!stream) {
        reason = std::string("cannot open the file for writing: ") + std::strerror(errno);
        return false;
    }
    const osgDB::ReaderWriter::WriteResult result = writer.writeImage(image, stream, nullptr);
    if (!result.success()) {
        reason = "the image writer failed" +
                 (result.message().empty() ? std::string() : ": " + result.message());
        return false;
    }
    stream.flush();
    if (!stream.good()) {
        reason = std::string("the file could not be written completely: ") + std::strerror(errno);
        return false;
    }
    stream.close();
    if (stream.fail() || !syncFile(staged)) {
        reason = std::string("the file could not be stored: ") + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

bool canCreateFileIn(const std::string& path, std::string& reason)
{
    const std::string folder = folderOf(path);
    if (::access(folder.c_str(), W_OK | X_OK) == 0)
        return true;
    // Taken before the text is built, whose allocations may change it.
    const int error = errno;
    reason = "cannot create a file in " + folder + ": " + std::strerror(error);
    return false;
}

bool isWritableImageExtension(const std::string& extension)
{
    return !formatOf(extension).empty();
}

bool writeImageFile(osg::Image& image, const std::string& path, std::string& reason)
{
    const std::string format = formatOf(osgDB::getFileExtension(path));
    if (format.empty()) {
        reason = "the file name does not end in .png, .tif, .tiff, .jpg or .jpeg";
        return false;
    }
    if (!image.data() || image.s() <= 0 || image.t() <= 0) {
        reason = "the image is empty";
        return false;
    }
    std::string target;
    if (!resolveTarget(path, target, reason))
        return false;
    osgDB::ReaderWriter* writer = osgDB::Registry::instance()->getReaderWriterForExtension(format);
    if (!writer) {
        reason = "no image writer for " + format + " files is available";
        return false;
    }
    const std::string staged = createStagingFile(target, reason);
    if (staged.empty())
        return false;

    bool written = false;
    try {
        prepareFor(format, image);
        written = writeStaged(*writer, image, staged, reason);
    } catch (const std::exception& error) {
        reason = std::string("the image writer failed: ") + error.what();
    }
    if (written && std::rename(staged.c_str(), target.c_str()) != 0) {
        reason = "cannot put the file in place: " + std::string(std::strerror(errno));
        written = false;
    }
    if (!written)
        ::unlink(staged.c_str());
    return written;
}

} // namespace OSGU
