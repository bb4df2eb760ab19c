#include "SharedLibrary.h"

#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <vector>

namespace SharedLibrary {

namespace {

// The dynamic loader maps a library's segments without checking them against the file's size;
// touching a segment past the end of a truncated file raises SIGBUS inside dlopen. So the
// headers are checked first.
bool checkElfFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        error = "cannot open file";
        return false;
    }
    const auto size = static_cast<std::uint64_t>(file.tellg());
    file.seekg(0);
    Elf64_Ehdr header{};
    if (!file.read(reinterpret_cast<char*>(&header), sizeof header) ||
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
    if (header.e_phnum == 0 || tableEnd > size) {
        error = "truncated ELF file (program headers)";
        return false;
    }
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    file.seekg(static_cast<std::streamoff>(header.e_phoff));
    file.read(reinterpret_cast<char*>(segments.data()),
              static_cast<std::streamsize>(segments.size() * sizeof(Elf64_Phdr)));
    if (!file) {
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

} // namespace

void* open(const std::string& path, std::string& error)
{
    if (!checkElfFile(path, error))
        return nullptr;
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
