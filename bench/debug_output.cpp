// What debug output costs: a PLU download with debug output on and off
// (rows per second in the record exchange), the end-of-task save against
// the exchange (from the final progress report until the task has ended and
// its files are written), and the peak memory of many downloads at once with
// debug output on and off.
//
// The simulated scales run as a vemka-sim process of their own, and every
// download (or group of downloads) runs in a child process of its own that
// loads the library afresh, so the memory figures are the SDK's alone and
// no run inherits another's heap. Debug on and off alternate within each
// round, which order first changing every round.
//
//   bench_debug_output [ROWS] [TASKS] [ROUNDS] [TASK_ROWS]
//   (default 200000 rows, 500 tasks, 3 rounds, 2000 rows per concurrent task)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "hecr_bench.h"

extern char** environ;

using namespace hecrbench;

namespace {

// 127.0.251.1 .. 127.0.251.250, then 127.0.254.x: outside the ranges the
// test programs claim.
std::string ScaleAddr(uint32_t i) {
  return i < 250 ? "127.0.251." + std::to_string(i + 1) : "127.0.254." + std::to_string(i - 249);
}

// The vemka-sim command: VEMKA_SIM when set, else the one of this build.
std::string SimPath() {
  if (const char* env = std::getenv("VEMKA_SIM")) return env;
  return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "tools" / "vemka-sim").string();
}

// The scale of the single downloads, apart from the concurrent ones.
const std::string kSingleScale = "127.0.251.251";

// vemka-sim with a Hecr scale on each address, printing only the line of
// each scale that has started (into `log`). Stopped on destruction.
class SimProcess {
 public:
  SimProcess(const std::vector<std::string>& addrs, const fs::path& log, bool longIds = false) {
    const size_t scales = addrs.size();
    std::vector<std::string> args = {SimPath(), "--quiet", "--no-scan"};
    // Past 999,999 rows the IDs need a scale with 8-digit PLU IDs.
    if (longIds) args.insert(args.end(), {"--lfcode-len", "8"});
    for (const auto& a : addrs) {
      args.push_back("--hecr");
      args.push_back(a);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    const int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) throw std::runtime_error("cannot start " + args[0] + " (build the vemka-sim target)");
    // Ready when every scale has reported its address.
    for (int tries = 0;; ++tries) {
      std::ifstream in(log);
      std::string line;
      size_t up = 0;
      while (std::getline(in, line)) up += line.find("scale on") != std::string::npos;
      if (up >= scales) break;
      int status = 0;
      if (tries > 300 || waitpid(pid_, &status, WNOHANG) == pid_)
        throw std::runtime_error("the simulated scales did not start; see " + log.string());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  // The simulator's last output lines, when it has ended.
  std::string Ended(const fs::path& log) const {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return {};
    std::ifstream in(log);
    std::string line, last;
    while (std::getline(in, line)) last = line;
    return "the simulator ended (status " + std::to_string(status) + "): " + last;
  }
  ~SimProcess() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

 private:
  pid_t pid_ = 0;
};

// Runs fn in a child process and returns the doubles it reports (empty when
// the child failed). The parent never loads the library.
template <typename Fn>
std::vector<double> InChild(size_t count, Fn fn) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    ::close(fds[0]);
    int code = 1;
    try {
      std::vector<double> out = fn();
      if (out.size() == count &&
          ::write(fds[1], out.data(), count * sizeof(double)) == static_cast<ssize_t>(count * sizeof(double)))
        code = 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "bench_debug_output (child): %s\n", e.what());
    }
    std::fflush(stdout);
    ::_exit(code);
  }
  ::close(fds[1]);
  std::vector<double> got(count);
  size_t have = 0;
  while (have < count * sizeof(double)) {
    const ssize_t n = ::read(fds[0], reinterpret_cast<char*>(got.data()) + have, count * sizeof(double) - have);
    if (n <= 0) break;
    have += static_cast<size_t>(n);
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (have != count * sizeof(double) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return got;
}

// A crowded machine can hold the simulator up for a second or more: a
// longer wait keeps such a pause from failing a download (it only slows
// it, whatever the debug setting).
std::string SystemLines(bool debugOn) {
  return std::string(debugOn ? "OutputDebug=1\n" : "OutputDebug=0\n") + "OutputLog=0\nSyncTimeOut=3000\n";
}

uint64_t DirectoryBytes(const fs::path& dir) {
  uint64_t n = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) n += it->file_size(ec);
  return n;
}

// One download in a fresh process: {rows/s in the record exchange, seconds
// of the exchange, seconds from the final report until the task has ended,
// bytes left in the debug directory}.
std::vector<double> TimedDownload(const fs::path& dir, bool debugOn, const fs::path& file, uint32_t rows) {
  return InChild(4, [&] {
    fs::create_directories(dir);
    Sdk sdk = LoadSdk(dir, SystemLines(debugOn));
    TaskResult r;
    VKSDK_TASK h = StartPluDownload(sdk, kSingleScale, file, r);
    sdk.WaitForTask(h);
    const auto ended = Clock::now();
    if (r.code != VKSDK_OK || r.done != rows)
      throw std::runtime_error("download ended with code " + std::to_string(r.code) + " after " +
                               std::to_string(r.done) + " rows");
    const double bytes = static_cast<double>(DirectoryBytes(dir / "debug"));
    std::error_code ec;
    fs::remove_all(dir, ec);
    return std::vector<double>{rows / r.TransferSeconds(), r.TransferSeconds(), Seconds(ended - r.finished), bytes};
  });
}

// `tasks` downloads at once in a fresh process: {peak resident memory
// above the process's before the first task (MB), tasks that ended with
// code 0}.
std::vector<double> ConcurrentMemory(const fs::path& dir, bool debugOn, const fs::path& file, uint32_t tasks) {
  return InChild(2, [&] {
    fs::create_directories(dir);
    Sdk sdk = LoadSdk(dir, SystemLines(debugOn));
    const long before = StatusKb("VmRSS");
    std::vector<TaskResult> results(tasks);
    std::vector<std::thread> starters;
    for (uint32_t i = 0; i < tasks; ++i)
      starters.emplace_back([&, i] { sdk.WaitForTask(StartPluDownload(sdk, ScaleAddr(i), file, results[i])); });
    for (auto& t : starters) t.join();
    const long peak = StatusKb("VmHWM");
    double ok = 0;
    for (auto& r : results) ok += r.code == VKSDK_OK;
    std::error_code ec;
    fs::remove_all(dir, ec);
    return std::vector<double>{(peak - before) / 1024.0, ok};
  });
}

struct Spread {
  double min, median, max;
};
Spread Of(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v.front(), v[v.size() / 2], v.back()};
}
void Print(const char* what, const std::vector<double>& v, const char* fmt, const char* goal = "") {
  const Spread s = Of(v);
  std::printf("  %-34s", what);
  std::printf(fmt, s.min);
  std::printf(" / ");
  std::printf(fmt, s.median);
  std::printf(" / ");
  std::printf(fmt, s.max);
  std::printf("%s\n", goal);
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 200000;
  const uint32_t tasks = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 500;
  const uint32_t rounds = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 3;
  const uint32_t taskRows = argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 2000;
  if (rows == 0 || tasks == 0 || tasks > 500 || rounds == 0 || taskRows == 0) {
    std::fprintf(stderr, "usage: bench_debug_output [ROWS] [TASKS 1..500] [ROUNDS] [TASK_ROWS]\n");
    return 2;
  }
  try {
    TempDir tmp;
    // The scales of the concurrent downloads live through the run; each
    // single download gets a fresh simulator, whose record of datagrams
    // starts empty.
    std::vector<std::string> many;
    for (uint32_t i = 0; i < tasks; ++i) many.push_back(ScaleAddr(i));
    SimProcess sim(many, tmp.path / "sim.log");
    const fs::path big = tmp.path / "plu.txt", small = tmp.path / "plu-small.txt";
    WritePluFile(big, 1, rows);
    WritePluFile(small, 1, taskRows);

    std::vector<double> rateOn, rateOff, ratio, saveOn, saveOff, shareOn, shareOff, memOn, memOff, memRatio;
    double debugBytes = 0;
    bool allOk = true;
    int repeated = 0;
    for (uint32_t round = 0; round < rounds; ++round) {
      std::vector<double> on, off;
      for (int k = 0; k < 2; ++k) {
        const bool debugOn = (k == 0) == (round % 2 == 0);
        // On a crowded machine a download can miss its answers three times
        // over; such a run is repeated (twice at most) and counted.
        std::vector<double> got;
        for (int attempt = 0; attempt < 3 && got.empty(); ++attempt) {
          SimProcess single({kSingleScale}, tmp.path / "single.log", rows > 999999);
          got = TimedDownload(tmp.path / "run", debugOn, big, rows);
          repeated += got.empty();
          if (got.empty()) {
            const std::string ended = single.Ended(tmp.path / "single.log");
            if (!ended.empty()) throw std::runtime_error(ended);
          }
        }
        if (got.empty()) throw std::runtime_error("a download failed three times");
        (debugOn ? on : off) = got;
      }
      rateOn.push_back(on[0]);
      rateOff.push_back(off[0]);
      ratio.push_back(on[0] / off[0]);
      saveOn.push_back(on[2]);
      saveOff.push_back(off[2]);
      shareOn.push_back(100 * on[2] / on[1]);
      shareOff.push_back(100 * off[2] / off[1]);
      debugBytes = on[3];

      std::vector<double> mOn, mOff;
      for (int k = 0; k < 2; ++k) {
        const bool debugOn = (k == 0) == (round % 2 == 0);
        auto got = ConcurrentMemory(tmp.path / "run", debugOn, small, tasks);
        if (got.empty()) throw std::runtime_error("a group of downloads failed");
        if (got[1] != tasks) {
          std::printf("  round %u, debug %s: %.0f of %u tasks ended with code 0\n", round + 1, debugOn ? "on" : "off",
                      got[1], tasks);
          allOk = false;
        }
        (debugOn ? mOn : mOff) = got;
      }
      memOn.push_back(mOn[0]);
      memOff.push_back(mOff[0]);
      memRatio.push_back(mOn[0] / mOff[0]);
    }

    std::printf("Debug output, Hecr PLU download of %u rows, %u rounds (min / median / max)\n", rows, rounds);
    Print("rows/s, debug on:", rateOn, "%9.0f");
    Print("rows/s, debug off:", rateOff, "%9.0f");
    Print("ratio on / off:", ratio, "%9.3f", "   goal: >= 0.9");
    Print("end-of-task save, debug on (s):", saveOn, "%9.3f");
    Print("  against the transfer (%):", shareOn, "%9.1f", "   goal: <= 10%");
    Print("end-of-task save, debug off (s):", saveOff, "%9.3f");
    Print("  against the transfer (%):", shareOff, "%9.1f");
    std::printf("  debug directory after a download with debug on: %.1f MB\n", debugBytes / 1e6);
    if (repeated != 0) std::printf("  downloads repeated after a failure: %d\n", repeated);
    std::printf("%u downloads at once, %u rows each: peak memory above the idle process, MB\n", tasks, taskRows);
    Print("debug on:", memOn, "%9.1f");
    Print("debug off:", memOff, "%9.1f");
    Print("ratio on / off:", memRatio, "%9.2f", "   goal: < 2x");
    return allOk ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_debug_output: %s\n", e.what());
    return 2;
  }
}
