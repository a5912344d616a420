// Opening a shared library and finding a symbol in it: dlopen on POSIX systems, LoadLibrary on Windows.
#pragma once

#include <string>

namespace tamblin::host {

// The library at `path`, loaded with every symbol resolved now; null on failure, with the system's
// reason in `error`. A bare file name means the file in the working folder, not a search.
void* openSharedLibrary(const std::string& path, std::string& error);
// The address of an exported function; null when there is none.
void* findSharedSymbol(void* library, const char* name);
void closeSharedLibrary(void* library);

}  // namespace tamblin::host
