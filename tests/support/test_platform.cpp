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
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
extern char** environ;
#endif

#include <chrono>

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
int RunProgram(const std::filesystem::path& program, const std::string& argument, int timeoutMs,
               long long& elapsedMs) {
  std::wstring cmd = L"\"" + program.wstring() + L"\" " + std::filesystem::path(argument).wstring();
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  const DWORD waited = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeoutMs));
  elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  DWORD code = static_cast<DWORD>(-1);
  if (waited == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  else
    TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return waited == WAIT_OBJECT_0 ? static_cast<int>(code) : -1;
}

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

int RunProgram(const std::filesystem::path& program, const std::string& argument, int timeoutMs,
               long long& elapsedMs) {
  const std::string path = program.string();
  char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool LockForProcess(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open: the lock lives on
  ::close(fd);
  return false;
}

#endif

}  // namespace vktest
