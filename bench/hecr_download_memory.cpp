// Peak memory of a large PLU download with debug output on: the growth of
// the process's high-water mark (VmHWM) above a fixed base, per row. The
// simulated scale runs in a child process, so only the SDK's memory counts.
//
// Runs 200,000 rows first; when that shows that 1,000,000 rows take under
// about two minutes, runs those too, else extrapolates.
//
//   bench_hecr_download_memory [ROWS...]   (default: 200000, then 1000000)
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <thread>
#include <vector>

#include "hecr_bench.h"
#include "sim/hecr_tables.h"
#include "sim/sim_device.h"

using namespace hecrbench;

namespace {

const char* kScaleAddr = "127.0.253.2";

// The child: a scale that counts records without keeping them and forgets
// its datagram record every second; ends when the parent's pipe closes.
[[noreturn]] void RunScale(int readyFd, int lifeFd) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  int status = 0;
  try {
    vemkasim::HecrInfo info;
    info.lfCodeLen = 8;
    auto scale = vemkasim::SimDevice::Hecr(kScaleAddr, info);
    vemkasim::SimHecrTables tables(*scale);
    tables.SetKeepPluData(false);
    scale->Start();
    const char ok = 1;
    [[maybe_unused]] ssize_t w = ::write(readyFd, &ok, 1);
    for (;;) {
      pollfd p{lifeFd, POLLIN, 0};
      if (::poll(&p, 1, 1000) > 0) break;  // EOF: the parent is done
      scale->Log().Clear();
    }
    scale->Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "simulated scale: %s\n", e.what());
    status = 1;
  }
  _exit(status);
}

struct Figure {
  uint32_t rows;
  double seconds;
  long peakKb;
  uint32_t code;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint32_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
  const bool automatic = sizes.empty();
  if (automatic) sizes = {200000, 1000000};

  // The scale's process starts before this one has any thread.
  int ready[2], life[2];
  if (::pipe(ready) != 0 || ::pipe(life) != 0) return 2;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    ::close(life[1]);
    RunScale(ready[1], life[0]);
  }
  ::close(ready[1]);
  ::close(life[0]);
  char ok = 0;
  if (::read(ready[0], &ok, 1) != 1) {
    std::fprintf(stderr, "the simulated scale did not start\n");
    return 2;
  }

  int rc = 0;
  try {
    TempDir tmp;
    Sdk sdk = LoadSdk(tmp.path);

    // Warm-up: threads, buffers and the first debug files exist before the base is read.
    {
      const fs::path warm = tmp.path / "warm.txt";
      WritePluFile(warm, 1, 2000);
      TaskResult r;
      RunPluDownload(sdk, kScaleAddr, warm, r);
      fs::remove(warm);
    }
    std::error_code ec;
    fs::remove_all(tmp.path / "debug", ec);
    const long baseKb = StatusKb("VmHWM");
    std::printf("Hecr PLU download memory, debug output on; base VmHWM %ld kB\n", baseKb);

    std::vector<Figure> figures;
    for (size_t i = 0; i < sizes.size(); ++i) {
      const uint32_t rows = sizes[i];
      if (automatic && i > 0) {
        const double estimate = figures.back().seconds * rows / figures.back().rows;
        if (estimate > 130) {
          const Figure& f = figures.back();
          const double perRow = (f.peakKb - baseKb) * 1024.0 / f.rows;
          std::printf("  %u rows: skipped (about %.0f s at the measured rate); extrapolated peak %.1f MB above "
                      "base at %.1f bytes/row\n",
                      rows, estimate, perRow * rows / 1048576.0, perRow);
          continue;
        }
      }
      const fs::path file = tmp.path / "plu.txt";
      WritePluFile(file, 1, rows);
      TaskResult r;
      const double s = RunPluDownload(sdk, kScaleAddr, file, r);
      fs::remove(file);
      fs::remove_all(tmp.path / "debug", ec);
      figures.push_back({rows, s, StatusKb("VmHWM"), r.code});
      const Figure& f = figures.back();
      std::printf("  %u rows: code %u, %.1f s (%.0f rows/s), VmHWM %ld kB, %.1f MB above base = %.1f bytes/row "
                  "(goal: under 64 bytes/row plus a few MB)\n",
                  rows, f.code, s, rows / s, f.peakKb, (f.peakKb - baseKb) / 1024.0,
                  (f.peakKb - baseKb) * 1024.0 / rows);
      if (f.code != VKSDK_OK) rc = 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_hecr_download_memory: %s\n", e.what());
    rc = 2;
  }
  ::close(life[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return rc;
}
