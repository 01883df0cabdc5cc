// Shared by the Hecr and Pecr benchmarks: loads libvemkasdk.so the way a
// host does (dlopen and the exported names), writes PLU files, runs
// downloads, reads the process's memory figures, and runs a plain UDP
// request/answer loop to set the SDK's rate against.
#pragma once

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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

// The protocol type and UDP port a family's tasks use.
struct Family {
  uint32_t protocol;
  uint32_t port;
};
constexpr Family kHecr{ptHecr, 5002};
constexpr Family kPecr{ptPecr, 5001};

// Starts a PLU task (ProcType 0 download, 1 upload; Hecr unless told) and
// returns the task handle; the result lands in `result`. The call itself
// waits for the device's information block (as every task start does), so
// hosts that start many tasks at once call it from several threads.
inline VKSDK_TASK StartPluTask(const Sdk& sdk, const std::string& addr, uint32_t procType, const fs::path& file,
                               TaskResult& result, const Family& family = kHecr) {
  const std::u16string name = [&] {
    std::u16string s;
    for (char c : file.string()) s.push_back(static_cast<unsigned char>(c));
    return s;
  }();
  return sdk.ExecTaskEx(IPv4(addr), family.port, family.protocol, procType, 0, 0, name.c_str(), &OnProgress,
                        &result);
}

inline VKSDK_TASK StartPluDownload(const Sdk& sdk, const std::string& addr, const fs::path& file,
                                   TaskResult& result, const Family& family = kHecr) {
  return StartPluTask(sdk, addr, VKSDK_PROC_DOWNLOAD, file, result, family);
}

// Runs a PLU download to its end; seconds from the start to the final code.
inline double RunPluDownload(const Sdk& sdk, const std::string& addr, const fs::path& file, TaskResult& result,
                             const Family& family = kHecr) {
  const auto t0 = Clock::now();
  VKSDK_TASK h = StartPluDownload(sdk, addr, file, result, family);
  sdk.WaitForTask(h);
  if (result.code == 0xFFFFFFFFu) result.finished = Clock::now();
  return Seconds(result.finished - t0);
}

// ---- The plain UDP loop: bare sockets, nothing of the SDK ----

// A UDP socket bound to addr:port (port 0: any).
inline int UdpSocket(const char* addr, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  ::inet_pton(AF_INET, addr, &sa.sin_addr);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
    throw std::runtime_error(std::string("cannot bind ") + addr);
  return fd;
}

// Sends n requests from `from` to to:port one at a time, waiting for each
// answer of answerSize bytes (a lost one is sent again after 1 s); make(i)
// gives request i (anything with data() and size()). Returns requests per
// second.
template <typename Make>
double ClientLoop(const char* from, const char* to, uint16_t port, size_t answerSize, uint32_t n, Make make) {
  const int client = UdpSocket(from, 0);
  sockaddr_in dest{};
  dest.sin_family = AF_INET;
  dest.sin_port = htons(port);
  ::inet_pton(AF_INET, to, &dest.sin_addr);
  uint8_t buf[2048];
  const auto t0 = Clock::now();
  for (uint32_t i = 0; i < n; ++i) {
    const auto& req = make(i);
    for (;;) {
      ::sendto(client, req.data(), req.size(), 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest);
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 1000) > 0 && ::recv(client, buf, sizeof buf, 0) == static_cast<ssize_t>(answerSize)) break;
    }
  }
  const double rate = n / Seconds(Clock::now() - t0);
  ::close(client);
  return rate;
}

// The minimal responder: one socket on addr:port and one thread that does
// nothing but recvfrom, answer(request, size, reply) and sendto, blocking in
// recvfrom between requests. It is the lower bound any responder can reach
// on this machine. Stops and closes when destroyed.
class MinimalResponder {
 public:
  template <typename Answer>
  MinimalResponder(const char* addr, uint16_t port, Answer answer) : fd_(UdpSocket(addr, port)) {
    thread_ = std::thread([this, answer] {
      uint8_t buf[2048], reply[2048];
      for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t got = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (stop_) break;
        if (got <= 0) continue;
        const size_t n = answer(buf, static_cast<size_t>(got), reply);
        if (n > 0) ::sendto(fd_, reply, n, 0, reinterpret_cast<sockaddr*>(&from), len);
      }
    });
  }
  ~MinimalResponder() {
    // An empty datagram ends the blocking receive.
    stop_ = true;
    sockaddr_in self{};
    socklen_t len = sizeof self;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&self), &len);
    const int poke = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ::sendto(poke, "", 0, 0, reinterpret_cast<sockaddr*>(&self), len);
    thread_.join();
    ::close(poke);
    ::close(fd_);
  }
  MinimalResponder(const MinimalResponder&) = delete;
  MinimalResponder& operator=(const MinimalResponder&) = delete;

 private:
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// What a Hecr scale answers, as the minimal responder gives it: the
// information block (a ready-made frame) to 7103, and to every other command
// the 13-byte acknowledgement 800E echoing the request's Param, head sum
// included.
struct HecrMinimalAnswer {
  const uint8_t* info;  // the whole 7103 answer frame
  size_t infoSize;
  size_t operator()(const uint8_t* req, size_t n, uint8_t* reply) const {
    if (n < 13) return 0;
    if (req[5] == 0x71 && req[6] == 0x03) {
      std::memcpy(reply, info, infoSize);
      return infoSize;
    }
    const uint8_t head[12] = {0xAA, 0, 0, 0, 0, 0x80, 0x0E, req[7], req[8], 0, 0, 0};
    std::memcpy(reply, head, sizeof head);
    unsigned sum = 0;
    for (uint8_t b : head) sum += b;
    reply[12] = static_cast<uint8_t>(sum);
    return 13;
  }
};

// Process CPU time (user + system) in seconds.
inline double ProcessCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// Minimum, median and maximum of a set of figures.
struct Spread {
  double min = 0, median = 0, max = 0;
};
inline Spread SpreadOf(std::vector<double> v) {
  if (v.empty()) return {};
  std::sort(v.begin(), v.end());
  return {v.front(), v[v.size() / 2], v.back()};
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
