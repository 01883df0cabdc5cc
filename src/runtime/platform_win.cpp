// Windows implementation of the platform layer. Every file name goes to the
// system as UTF-16 (the "W" functions), never through the ANSI code page.
#include "runtime/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace vk::platform {

namespace {

std::filesystem::path ModulePath(HMODULE module) {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return std::filesystem::path(buf);
    }
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

}  // namespace

LocalTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FromSystemTime(st);
}

uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

std::filesystem::path LibraryPath() {
  HMODULE self = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&LibraryPath), &self)) {
    auto p = ModulePath(self);
    if (!p.empty()) return p;
  }
  return ExecutablePath();
}

std::filesystem::path ExecutablePath() { return ModulePath(nullptr); }

std::string GetEnv(const char* name) {
  std::wstring wide;
  for (const char* c = name; *c; ++c) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  const wchar_t* v = _wgetenv(wide.c_str());
  if (!v) return {};
  return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(v)));
}

std::FILE* OpenFile(const std::filesystem::path& p, const char* mode) {
  std::wstring wideMode;
  for (const char* c = mode; *c; ++c) wideMode.push_back(static_cast<wchar_t>(*c));
  return _wfopen(p.c_str(), wideMode.c_str());
}

// The mapping object is closed at once: a mapped view keeps it alive, and
// while one exists the file cannot be shortened under it.
FileView MapFileView(std::FILE* f, int64_t Offset, size_t Length) {
  FileView v;
  const int fd = _fileno(f);
  HANDLE file = fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  LARGE_INTEGER size;
  if (file == INVALID_HANDLE_VALUE || Offset < 0 || Length == 0 || GetFileType(file) != FILE_TYPE_DISK ||
      !GetFileSizeEx(file, &size) || Offset >= size.QuadPart)
    return v;
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  const int64_t granularity = si.dwAllocationGranularity;
  const int64_t base = Offset - Offset % granularity;
  const int64_t end = std::min<int64_t>(size.QuadPart, Offset + static_cast<int64_t>(Length));
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return v;
  void* p = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(static_cast<uint64_t>(base) >> 32),
                          static_cast<DWORD>(base & 0xFFFFFFFF), static_cast<SIZE_T>(end - base));
  CloseHandle(mapping);
  if (!p) return v;
  v.Base = p;
  v.BaseSize = static_cast<size_t>(end - base);
  v.Data = static_cast<const uint8_t*>(p) + (Offset - base);
  v.Size = static_cast<size_t>(end - Offset);
  return v;
}

void UnmapFileView(const FileView& v) {
  if (v.Base) UnmapViewOfFile(v.Base);
}

bool FileViewDamaged(const FileView&) { return false; }

bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool GetFileModTime(const std::filesystem::path& p, TDateTime& out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(p.c_str(), GetFileExInfoStandard, &data)) return false;
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return false;
  out = ToDateTime(FromSystemTime(local));
  return true;
}

bool SetFileModTime(const std::filesystem::path& p, TDateTime localTime) {
  const LocalTime t = FromDateTime(localTime);
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(t.year);
  local.wMonth = static_cast<WORD>(t.month);
  local.wDay = static_cast<WORD>(t.day);
  local.wHour = static_cast<WORD>(t.hour);
  local.wMinute = static_cast<WORD>(t.minute);
  local.wSecond = static_cast<WORD>(t.second);
  local.wMilliseconds = static_cast<WORD>(t.msec);
  SYSTEMTIME utc;
  FILETIME ft;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft)) return false;
  HANDLE h = CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(h, nullptr, &ft, &ft) != 0;
  CloseHandle(h);
  return ok;
}

bool UnloadMayWaitForThreads() { return false; }

}  // namespace vk::platform
