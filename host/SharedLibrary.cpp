// Opening a shared library and finding a symbol in it: dlopen on POSIX systems, LoadLibrary on Windows.
#include "SharedLibrary.h"

#include <cstdint>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tamblin::host {

#if defined(_WIN32)

void* openSharedLibrary(const std::string& path, std::string& error) {
  const bool bare = path.find_first_of("/\\:") == std::string::npos;
  const std::string loadPath = bare ? ".\\" + path : path;
  // No "cannot load" dialog from the system: the caller reports the failure itself.
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryExA(loadPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const DWORD code = GetLastError();
  SetErrorMode(previousMode);
  if (module == nullptr) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text, nullptr);
    std::string reason(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
      reason.pop_back();
    error = reason.empty() ? "error " + std::to_string(code) : reason;
  }
  return module;
}

void* findSharedSymbol(void* library, const char* name) {
  // FARPROC to a data pointer through an integer: the interface's entry is called through its own type.
  return reinterpret_cast<void*>(
      reinterpret_cast<uintptr_t>(GetProcAddress(static_cast<HMODULE>(library), name)));
}

void closeSharedLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

#else

void* openSharedLibrary(const std::string& path, std::string& error) {
  // dlopen searches the library path for names without a slash; the user means the file.
  const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
  // Never unloaded: plug-ins that leave threads or atexit handlers behind survive their dlclose,
  // and the leak checker can still name the library a leak came from.
  void* handle = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error = reason ? reason : "unknown reason";
  }
  return handle;
}

void* findSharedSymbol(void* library, const char* name) { return dlsym(library, name); }

void closeSharedLibrary(void* library) { dlclose(library); }

#endif

}  // namespace tamblin::host
