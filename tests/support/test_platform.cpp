#include "support/test_platform.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <stdlib.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdlib>
#endif

namespace vktest {

#ifdef _WIN32

unsigned long ProcessId() { return GetCurrentProcessId(); }

void SetEnv(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

void* OpenLibrary(const std::filesystem::path& file, std::string& error) {
  HMODULE h = LoadLibraryW(file.c_str());
  if (!h) error = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(h);
}

void* LibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// A file opened with no sharing cannot be opened again until the handle is
// closed, which happens when the process ends.
bool LockForProcess(const std::filesystem::path& file) {
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h != INVALID_HANDLE_VALUE;
}

#else

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

void SetEnv(const char* name, const std::string& value) {
  if (value.empty())
    unsetenv(name);
  else
    setenv(name, value.c_str(), 1);
}

void* OpenLibrary(const std::filesystem::path& file, std::string& error) {
  void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) error = dlerror();
  return h;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

bool LockForProcess(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open: the lock lives on
  ::close(fd);
  return false;
}

#endif

}  // namespace vktest
