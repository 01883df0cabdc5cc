// The platform layer: every operating-system call the SDK makes (outside the
// socket wrapper of the transports) goes through these functions. The POSIX
// implementation is platform_posix.cpp, the Windows one platform_win.cpp;
// platform.cpp holds what needs no system call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "runtime/types.h"

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

namespace vk::platform {

// The exception the C++ runtime throws through a thread that is being
// cancelled (pthread_exit, thread cancellation). It must be rethrown, never
// swallowed. Runtimes without one get a type that is never thrown.
#if defined(__GLIBCXX__)
using ThreadCancellation = abi::__forced_unwind;
#else
struct ThreadCancellation {};
#endif

// The cancellation exception has no object, so a handler that names it
// binds a reference to null by design; the null check of the undefined-
// behaviour sanitizer is switched off for the functions that catch it.
#if defined(__GNUC__)
#define VK_CATCHES_THREAD_CANCELLATION __attribute__((no_sanitize("null")))
#else
#define VK_CATCHES_THREAD_CANCELLATION
#endif

// Local wall-clock time with milliseconds.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
};
LocalTime Now();

// Day numbers: days since 1899-12-30, fraction = time of day.
TDateTime ToDateTime(const LocalTime& t);
LocalTime FromDateTime(TDateTime dt);
TDateTime NowDateTime();
// Whole days of the current local date.
int32_t Today();
// False when the fields do not form a real date and time.
bool IsValidDateTime(int year, int month, int day, int hour, int minute, int second, int msec);

// Identity of the calling thread, as a number.
uint64_t CurrentThreadId();

// Path of the loaded SDK library (the file that contains this code) and of
// the host executable.
std::filesystem::path LibraryPath();
std::filesystem::path ExecutablePath();

// Environment variable as UTF-8, empty when unset.
std::string GetEnv(const char* name);

// Opens a file by its full (Unicode) name, with a C library mode ("rb").
std::FILE* OpenFile(const std::filesystem::path& p, const char* mode);

// Part of an open file mapped read-only into memory. Data is the first byte
// asked for and Size the bytes from there (less than asked at the file's
// end); Base and BaseSize are what the system mapped (from a boundary it
// accepts), for UnmapFileView; Slot is the platform's own mark of the view.
struct FileView {
  const uint8_t* Data = nullptr;
  size_t Size = 0;
  void* Base = nullptr;
  size_t BaseSize = 0;
  int Slot = -1;
};
// Maps Length bytes of f from Offset; an empty view (Data null) when the
// file cannot be mapped or Offset is at or past its end.
FileView MapFileView(std::FILE* f, int64_t Offset, size_t Length);
void UnmapFileView(const FileView& v);
// Whether part of the view could not be read because the file was cut
// short under it: those bytes read as zeros, and nothing read from the view
// since the damage can be trusted. Never on Windows, which refuses to
// shorten a mapped file.
bool FileViewDamaged(const FileView& v);

// File modification time as a local day number, and setting it.
bool GetFileModTime(const std::filesystem::path& p, TDateTime& out);
bool SetFileModTime(const std::filesystem::path& p, TDateTime localTime);

// Puts the file `from` in the place of `to` in one step (both in one
// directory), replacing `to` when it exists. False when that fails; `from`
// is then left where it was.
bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Monotonic milliseconds, for deadlines.
uint64_t MonotonicMs();

// Whether the library's unload code may wait for its task threads. On
// Windows it runs under the loader lock (a thread that ends needs that lock,
// and at process exit the threads are already gone), so it must not.
bool UnloadMayWaitForThreads();

}  // namespace vk::platform
