// POSIX implementation of the platform layer.
#include "runtime/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace vk::platform {

namespace {

// The C library's time-zone state is shared by localtime_r and mktime; one
// lock of our own keeps every conversion in order (and visible to race
// checkers, which do not see the C library's internal lock).
std::mutex g_tzLock;

void LocalTm(time_t secs, struct tm& out) {
  std::lock_guard<std::mutex> g(g_tzLock);
  localtime_r(&secs, &out);
}

}  // namespace

LocalTime Now() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  // Trace lines ask for the time several times per datagram: the broken-down
  // local time is worked out once per second on each thread.
  thread_local time_t cachedSecs = -1;
  thread_local struct tm cachedTm {};
  if (tv.tv_sec != cachedSecs) {
    LocalTm(tv.tv_sec, cachedTm);
    cachedSecs = tv.tv_sec;
  }
  const struct tm& lt = cachedTm;
  LocalTime t;
  t.year = lt.tm_year + 1900;
  t.month = lt.tm_mon + 1;
  t.day = lt.tm_mday;
  t.hour = lt.tm_hour;
  t.minute = lt.tm_min;
  t.second = lt.tm_sec;
  t.msec = static_cast<int>(tv.tv_usec / 1000);
  return t;
}

uint64_t CurrentThreadId() { return static_cast<uint64_t>(syscall(SYS_gettid)); }

std::filesystem::path LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&LibraryPath), &info) != 0 && info.dli_fname != nullptr) {
    std::error_code ec;
    auto p = std::filesystem::canonical(info.dli_fname, ec);
    if (!ec) return p;
    return std::filesystem::absolute(info.dli_fname, ec);
  }
  return ExecutablePath();
}

std::filesystem::path ExecutablePath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
}

std::string GetEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool GetFileModTime(const std::filesystem::path& p, TDateTime& out) {
  struct stat st;
  if (stat(p.c_str(), &st) != 0) return false;
  struct tm lt;
  LocalTm(st.st_mtim.tv_sec, lt);
  LocalTime t{lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec,
              static_cast<int>(st.st_mtim.tv_nsec / 1000000)};
  out = ToDateTime(t);
  return true;
}

bool SetFileModTime(const std::filesystem::path& p, TDateTime localTime) {
  LocalTime t = FromDateTime(localTime);
  struct tm lt {};
  lt.tm_year = t.year - 1900;
  lt.tm_mon = t.month - 1;
  lt.tm_mday = t.day;
  lt.tm_hour = t.hour;
  lt.tm_min = t.minute;
  lt.tm_sec = t.second;
  lt.tm_isdst = -1;
  time_t secs;
  {
    std::lock_guard<std::mutex> g(g_tzLock);
    secs = mktime(&lt);
  }
  if (secs == static_cast<time_t>(-1)) return false;
  struct timespec ts[2];
  ts[0].tv_sec = secs;
  ts[0].tv_nsec = static_cast<long>(t.msec) * 1000000L;
  ts[1] = ts[0];
  return utimensat(AT_FDCWD, p.c_str(), ts, 0) == 0;
}

std::FILE* OpenFile(const std::filesystem::path& p, const char* mode) { return std::fopen(p.c_str(), mode); }

namespace {

// A file cut short under a mapped view raises SIGBUS when a page past its
// new end is touched, which would stop the host. Every live view is listed
// in a fixed table the SIGBUS handler reads without locks; a fault inside
// one is mended with a page of zeros and the view marked damaged, so the
// reader reports the row as unreadable. Any other fault goes on to the
// handler that was there before ours (or to the default action).
struct ViewSlot {
  std::atomic<bool> Used{false};
  std::atomic<uintptr_t> Base{0};
  std::atomic<size_t> Length{0};
  std::atomic<bool> Damaged{false};
};
constexpr int kViewSlots = 256;
ViewSlot g_viewSlots[kViewSlots];
std::atomic<uintptr_t> g_pageSize{0};
struct sigaction g_previousBus;
std::once_flag g_busOnce;
std::atomic<bool> g_busInstalled{false};

// The view holding Addr, or -1.
int ViewSlotOf(uintptr_t Addr) {
  for (int i = 0; i < kViewSlots; ++i) {
    const uintptr_t base = g_viewSlots[i].Base.load(std::memory_order_acquire);
    if (base != 0 && Addr >= base && Addr - base < g_viewSlots[i].Length.load(std::memory_order_acquire)) return i;
  }
  return -1;
}

void OnBusError(int Sig, siginfo_t* Info, void* Context) {
  // Only a fault the kernel raised for a memory access carries an address;
  // a signal sent with kill or raise does not.
  const int slot = Info != nullptr && Info->si_code > 0 ? ViewSlotOf(reinterpret_cast<uintptr_t>(Info->si_addr)) : -1;
  if (slot >= 0) {
    const uintptr_t page = g_pageSize.load(std::memory_order_relaxed);
    const uintptr_t at = reinterpret_cast<uintptr_t>(Info->si_addr) & ~(page - 1);
    if (mmap(reinterpret_cast<void*>(at), page, PROT_READ, MAP_FIXED | MAP_ANONYMOUS | MAP_PRIVATE, -1, 0) !=
        MAP_FAILED) {
      g_viewSlots[slot].Damaged.store(true, std::memory_order_release);
      return;
    }
  }
  const struct sigaction& prev = g_previousBus;
  if (prev.sa_flags & SA_SIGINFO) {
    if (prev.sa_sigaction != nullptr) {
      prev.sa_sigaction(Sig, Info, Context);
      return;
    }
  } else if (prev.sa_handler == SIG_IGN) {
    if (Info == nullptr || Info->si_code <= 0) return;
  } else if (prev.sa_handler != SIG_DFL && prev.sa_handler != nullptr) {
    prev.sa_handler(Sig);
    return;
  }
  // The default action: the signal is blocked while this runs, so it is
  // taken (and stops the process) as soon as the handler returns.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(SIGBUS, &dfl, nullptr);
  raise(SIGBUS);
}

// Installed when the first view is mapped and never replaced after that.
bool InstallBusHandler() {
  std::call_once(g_busOnce, [] {
    g_pageSize.store(static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)), std::memory_order_relaxed);
    struct sigaction sa {};
    sa.sa_sigaction = OnBusError;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    if (sigaction(SIGBUS, &sa, &g_previousBus) == 0) g_busInstalled.store(true, std::memory_order_release);
  });
  return g_busInstalled.load(std::memory_order_acquire);
}

int ClaimViewSlot(void* Base, size_t Length) {
  for (int i = 0; i < kViewSlots; ++i) {
    bool expected = false;
    if (!g_viewSlots[i].Used.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) continue;
    g_viewSlots[i].Damaged.store(false, std::memory_order_relaxed);
    g_viewSlots[i].Length.store(Length, std::memory_order_release);
    g_viewSlots[i].Base.store(reinterpret_cast<uintptr_t>(Base), std::memory_order_release);
    return i;
  }
  return -1;
}

}  // namespace

FileView MapFileView(std::FILE* f, int64_t Offset, size_t Length) {
  FileView v;
  const int fd = fileno(f);
  struct stat st;
  if (fd < 0 || Offset < 0 || Length == 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || Offset >= st.st_size)
    return v;
  // Without the handler (or with every slot taken) a cut-short file could
  // stop the process: the file is then read, not mapped.
  if (!InstallBusHandler()) return v;
  const int64_t page = sysconf(_SC_PAGESIZE);
  const int64_t base = Offset - Offset % page;
  const int64_t end = std::min<int64_t>(st.st_size, Offset + static_cast<int64_t>(Length));
  void* p = mmap(nullptr, static_cast<size_t>(end - base), PROT_READ, MAP_SHARED, fd, static_cast<off_t>(base));
  if (p == MAP_FAILED) return v;
  const int slot = ClaimViewSlot(p, static_cast<size_t>(end - base));
  if (slot < 0) {
    munmap(p, static_cast<size_t>(end - base));
    return v;
  }
  v.Base = p;
  v.BaseSize = static_cast<size_t>(end - base);
  v.Data = static_cast<const uint8_t*>(p) + (Offset - base);
  v.Size = static_cast<size_t>(end - Offset);
  v.Slot = slot;
  return v;
}

void UnmapFileView(const FileView& v) {
  if (!v.Base) return;
  if (v.Slot >= 0 && v.Slot < kViewSlots) {
    ViewSlot& s = g_viewSlots[v.Slot];
    s.Base.store(0, std::memory_order_release);
    s.Length.store(0, std::memory_order_release);
    s.Used.store(false, std::memory_order_release);
  }
  munmap(v.Base, v.BaseSize);
}

bool FileViewDamaged(const FileView& v) {
  return v.Slot >= 0 && v.Slot < kViewSlots && g_viewSlots[v.Slot].Damaged.load(std::memory_order_acquire);
}

// Unloading runs after dlclose or at exit, with the task threads still
// running: waiting for them keeps them out of unmapped code.
bool UnloadMayWaitForThreads() { return true; }

}  // namespace vk::platform
