#pragma once

#include <string>

// The platform's dynamic loader. Libraries are opened once and never closed.
namespace SharedLibrary {

// Whether path is a regular file with a well-formed 64-bit ELF header whose segments lie inside
// the file; otherwise false with the reason in error. Reads the headers only.
bool check(const std::string& path, std::string& error);

// The module handle, or null with the loader's reason in error.
void* open(const std::string& path, std::string& error);

void* symbol(void* handle, const char* name);

} // namespace SharedLibrary
