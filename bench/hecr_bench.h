// Shared by the Hecr benchmarks: loads libvemkasdk.so the way a host does
// (dlopen and the exported names), writes PLU files, runs downloads and
// reads the process's memory figures.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>

#include "vemkasdk.h"

namespace hecrbench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The library: VEMKASDK_LIB when set, else the one built beside this
// program (<build>/src/libvemkasdk.so).
inline std::string LibraryPath() {
  if (const char* env = std::getenv("VEMKASDK_LIB")) return env;
  return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "libvemkasdk.so").string();
}

struct Sdk {
  decltype(&VemkaSDK_Initialize) Initialize = nullptr;
  decltype(&VemkaSDK_ExecTaskEx) ExecTaskEx = nullptr;
  decltype(&VemkaSDK_WaitForTask) WaitForTask = nullptr;
  decltype(&VemkaSDK_StopTask) StopTask = nullptr;
};

// A private temporary directory, removed when the program ends normally.
struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("vemka-bench-" + std::to_string(getpid()));
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// Writes an INI (debug output on, as by default) into dir, points
// VEMKASDK_INI at it and loads the library.
inline Sdk LoadSdk(const fs::path& dir, const std::string& extraSystem = "") {
  const fs::path ini = dir / "libvemkasdk.ini";
  // The extra lines come first: the first of two equal keys counts.
  std::ofstream(ini) << "[System]\n"
                     << extraSystem << (extraSystem.empty() || extraSystem.back() == '\n' ? "" : "\n")
                     << "SyncTimeOut=1000\nSyncTryCount=3\nGetDeviceTimeOut=200\n"
                        "GetDeviceTryCount=1\nDebugDir="
                     << (dir / "debug").string() << "\n";
  setenv("VEMKASDK_INI", ini.c_str(), 1);
  const std::string lib = LibraryPath();
  void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) throw std::runtime_error("cannot load " + lib + ": " + dlerror() + " (build the vemkasdk target)");
  Sdk s;
  s.Initialize = reinterpret_cast<decltype(s.Initialize)>(dlsym(h, "VemkaSDK_Initialize"));
  s.ExecTaskEx = reinterpret_cast<decltype(s.ExecTaskEx)>(dlsym(h, "VemkaSDK_ExecTaskEx"));
  s.WaitForTask = reinterpret_cast<decltype(s.WaitForTask)>(dlsym(h, "VemkaSDK_WaitForTask"));
  s.StopTask = reinterpret_cast<decltype(s.StopTask)>(dlsym(h, "VemkaSDK_StopTask"));
  if (!s.Initialize || !s.ExecTaskEx || !s.WaitForTask || !s.StopTask) throw std::runtime_error("missing exports in " + lib);
  s.Initialize(nullptr);
  return s;
}

// A PLU file of `rows` rows with IDs first, first + 1, ...: ID, names and
// prices, the columns a shop's table typically fills.
inline void WritePluFile(const fs::path& file, uint32_t first, uint32_t rows) {
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + file.string());
  std::fputs("ID\tItemCode\tName1\tDepartmentID\tUnitID\tPrice\tLabel1ID\r\n", f);
  for (uint32_t i = 0; i < rows; ++i)
    std::fprintf(f, "%u\t%u\tArticle %u\t%u\t%u\t%u.%02u\t%u\r\n", first + i, 2000000 + i, first + i, i % 90 + 1,
                 i % 3, i % 500 + 1, i % 100, i % 8 + 1);
  std::fclose(f);
}

inline uint32_t IPv4(const std::string& dotted) {
  unsigned a, b, c, d;
  if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4) throw std::runtime_error("bad address");
  return (a << 24) | (b << 16) | (c << 8) | d;
}

// One task's outcome as its callback saw it.
struct TaskResult {
  std::atomic<uint32_t> code{0xFFFFFFFFu};
  std::atomic<uint32_t> done{0};   // last progress index
  std::atomic<uint32_t> total{0};
  std::atomic<bool> started{false};
  Clock::time_point firstProgress;  // the transfer loop's first report
  Clock::time_point finished;
  // Seconds of the record exchange alone (first progress report to the
  // final code), without detection and the device information round.
  double TransferSeconds() const { return Seconds(finished - firstProgress); }
};

inline void VEMKA_CALL OnProgress(uint32_t code, uint32_t index, uint32_t total, void* user) {
  auto* r = static_cast<TaskResult*>(user);
  if (!r->started.exchange(true)) r->firstProgress = Clock::now();
  r->done = index;
  r->total = total;
  if (code != VKSDK_PROGRESS) {
    r->finished = Clock::now();
    r->code = code;
  }
}

// Starts a PLU task (protocol Hecr; ProcType 0 download, 1 upload) and
// returns the task handle; the result lands in `result`. The call itself
// waits for the device's information block (as every task start does), so
// hosts that start many tasks at once call it from several threads.
inline VKSDK_TASK StartPluTask(const Sdk& sdk, const std::string& addr, uint32_t procType, const fs::path& file,
                               TaskResult& result) {
  const std::u16string name = [&] {
    std::u16string s;
    for (char c : file.string()) s.push_back(static_cast<unsigned char>(c));
    return s;
  }();
  return sdk.ExecTaskEx(IPv4(addr), 5002, ptHecr, procType, 0, 0, name.c_str(), &OnProgress, &result);
}

inline VKSDK_TASK StartPluDownload(const Sdk& sdk, const std::string& addr, const fs::path& file,
                                   TaskResult& result) {
  return StartPluTask(sdk, addr, VKSDK_PROC_DOWNLOAD, file, result);
}

// Runs a PLU download to its end; seconds from the start to the final code.
inline double RunPluDownload(const Sdk& sdk, const std::string& addr, const fs::path& file, TaskResult& result) {
  const auto t0 = Clock::now();
  VKSDK_TASK h = StartPluDownload(sdk, addr, file, result);
  sdk.WaitForTask(h);
  if (result.code == 0xFFFFFFFFu) result.finished = Clock::now();
  return Seconds(result.finished - t0);
}

// A "Vm..." line of /proc/self/status in kB (-1 when absent).
inline long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string k = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.compare(0, k.size(), k) == 0) return std::strtol(line.c_str() + k.size(), nullptr, 10);
  return -1;
}

}  // namespace hecrbench
