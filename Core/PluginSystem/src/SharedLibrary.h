#pragma once

#include <string>

// The platform's dynamic loader. Libraries are opened once and never closed.
namespace SharedLibrary {

// The module handle, or null with the loader's reason in error.
void* open(const std::string& path, std::string& error);

void* symbol(void* handle, const char* name);

} // namespace SharedLibrary
