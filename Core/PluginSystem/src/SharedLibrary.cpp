#include "SharedLibrary.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace SharedLibrary {

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

bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

} // namespace

// The dynamic loader maps a library's segments without checking them against the file's size;
// touching a segment past the end of a truncated file raises SIGBUS inside dlopen. Opening a
// FIFO blocks: the file is opened without blocking and its type checked on what was opened.
bool check(const std::string& path, std::string& error)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info
    {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    Elf64_Ehdr header{};
    if (!readAt(file.get(), &header, sizeof header, 0) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        error = "not an ELF file";
        return false;
    }
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr)) {
        error = "not a 64-bit ELF library";
        return false;
    }
    const std::uint64_t tableEnd =
        header.e_phoff + std::uint64_t(header.e_phnum) * sizeof(Elf64_Phdr);
    if (header.e_phnum == 0 || header.e_phoff > size || tableEnd > size) {
        error = "truncated ELF file (program headers)";
        return false;
    }
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    if (!readAt(file.get(), segments.data(), segments.size() * sizeof(Elf64_Phdr),
                header.e_phoff)) {
        error = "truncated ELF file (program headers)";
        return false;
    }
    for (const Elf64_Phdr& segment : segments)
        if ((segment.p_type == PT_LOAD || segment.p_type == PT_DYNAMIC) &&
            (segment.p_offset > size || segment.p_filesz > size - segment.p_offset)) {
            error = "truncated ELF file (segment past the end of the file)";
            return false;
        }
    return true;
}

void* open(const std::string& path, std::string& error)
{
    // RTLD_LOCAL: a plug-in's symbols never satisfy another plug-in's references.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "unknown reason";
    }
    return handle;
}

void* symbol(void* handle, const char* name)
{
    // Looked up in the library itself, never in the program that exports the same names.
    return dlsym(handle, name);
}

} // namespace SharedLibrary
