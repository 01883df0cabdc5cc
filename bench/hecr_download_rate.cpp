// PLU download rate on loopback, set against the bare limit: in
// interleaved rounds the SDK and a bare C client (one datagram out, wait for
// the answer, next) each send the PLU rows to two responders, the minimal
// responder (one socket: recvfrom, the scale's acknowledgement, sendto) and
// the simulated Hecr scale. The first ratio (SDK / bare, minimal responder)
// is the SDK's own cost; the second (SDK / bare, simulated scale) is what a
// run against the simulated scale shows. Debug output is on, as by default.
//
//   bench_hecr_download_rate [ROWS] [--no-debug]    (default 20000 rows)
#include <algorithm>
#include <cstring>
#include <vector>

#include "hecr_bench.h"
#include "sim/hecr_tables.h"
#include "sim/sim_device.h"

using namespace hecrbench;

namespace {

// Addresses outside the ranges the test programs claim (127.0.1-250.x).
const char* kScaleAddr = "127.0.252.2";
const char* kMinimalAddr = "127.0.252.3";
constexpr int kRounds = 5;

// The bare client: n ready-made PLU frames to addr:5002 from the
// benchmark's client address, each answered by 13 bytes.
double BareLoop(const char* addr, uint32_t n, const std::vector<vemkasim::Bytes>& frames) {
  return ClientLoop("127.0.252.100", addr, 5002, 13, n,
                    [&](uint32_t i) -> const vemkasim::Bytes& { return frames[i % frames.size()]; });
}

// Rows per second of the record exchange of one SDK download (0 on failure,
// with a line that says why).
double SdkLoop(const Sdk& sdk, const char* addr, const fs::path& file, uint32_t rows) {
  TaskResult r;
  RunPluDownload(sdk, addr, file, r);
  if (r.code != VKSDK_OK) {
    std::printf("PLU download to %s ended with code %u after %u of %u rows\n", addr, r.code.load(), r.done.load(),
                rows);
    return 0;
  }
  return rows / r.TransferSeconds();
}

void PrintSpread(const char* what, const std::vector<double>& v, const char* unit) {
  const Spread s = SpreadOf(v);
  std::printf("  %-44s %10.0f %10.0f %10.0f  %s\n", what, s.min, s.median, s.max, unit);
}

void PrintRatio(const char* what, const std::vector<double>& v, const char* goal) {
  const Spread s = SpreadOf(v);
  std::printf("  %-44s %9.1f%% %9.1f%% %9.1f%%  %s\n", what, 100 * s.min, 100 * s.median, 100 * s.max, goal);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t rows = 20000;
  bool debug = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-debug") == 0)
      debug = false;
    else
      rows = static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10));
  }
  try {
    TempDir tmp;
    Sdk sdk = LoadSdk(tmp.path, debug ? "" : "OutputDebug=0\nOutputLog=0\n");

    vemkasim::HecrInfo info;
    info.lfCodeLen = 8;  // 8-digit IDs, so any row count fits
    auto scale = vemkasim::SimDevice::Hecr(kScaleAddr, info);
    vemkasim::SimHecrTables tables(*scale);
    tables.SetKeepPluData(false);
    scale->Log().SetCapacity(0);  // nothing reads it back
    scale->Start();
    const vemkasim::Bytes infoFrame = vemkasim::BuildHecr(0x7103, 0, info.Build());
    MinimalResponder minimal(kMinimalAddr, 5002, HecrMinimalAnswer{infoFrame.data(), infoFrame.size()});

    const fs::path file = tmp.path / "plu.txt";
    WritePluFile(file, 1, rows);
    std::vector<vemkasim::Bytes> frames(64);  // ready-made PLU frames for the bare client
    for (uint32_t k = 0; k < frames.size(); ++k) {
      vemkasim::Bytes rec(512, 0);
      vemkasim::PutBE(rec, 239, 0x10000000u + k, 4);
      frames[k] = vemkasim::BuildHecr(0x982E, static_cast<uint16_t>(k), rec);
    }

    // A short run first, so every loop starts warm.
    {
      const fs::path warm = tmp.path / "warm.txt";
      WritePluFile(warm, 1, 200);
      for (const char* addr : {kMinimalAddr, kScaleAddr}) {
        if (SdkLoop(sdk, addr, warm, 200) == 0) return 1;
        BareLoop(addr, 200, frames);
      }
    }

    // Rounds interleaved: the machine is shared, so only figures of the
    // same round are set against each other.
    std::vector<double> sdkMin, bareMin, sdkSim, bareSim, ratioMin, ratioSim;
    std::printf("round   SDK->minimal   bare->minimal   SDK/bare   SDK->scale   bare->scale   SDK/bare\n");
    for (int round = 0; round < kRounds; ++round) {
      sdkMin.push_back(SdkLoop(sdk, kMinimalAddr, file, rows));
      bareMin.push_back(BareLoop(kMinimalAddr, rows, frames));
      sdkSim.push_back(SdkLoop(sdk, kScaleAddr, file, rows));
      bareSim.push_back(BareLoop(kScaleAddr, rows, frames));
      if (sdkMin.back() == 0 || sdkSim.back() == 0) return 1;
      ratioMin.push_back(sdkMin.back() / bareMin.back());
      ratioSim.push_back(sdkSim.back() / bareSim.back());
      std::printf("%5d   %12.0f   %13.0f   %7.1f%%   %10.0f   %11.0f   %7.1f%%\n", round + 1, sdkMin.back(),
                  bareMin.back(), 100 * ratioMin.back(), sdkSim.back(), bareSim.back(), 100 * ratioSim.back());
    }
    const uint64_t received = tables.PluReceived();
    scale->Stop();

    std::printf("Hecr PLU download, %u rows, debug output %s, %d interleaved rounds\n", rows,
                debug ? "on" : "off", kRounds);
    std::printf("  %-44s %10s %10s %10s\n", "", "min", "median", "max");
    PrintSpread("SDK to the minimal responder", sdkMin, "rows/s");
    PrintSpread("bare client to the minimal responder", bareMin, "round trips/s");
    PrintSpread("SDK to the simulated scale", sdkSim, "rows/s");
    PrintSpread("bare client to the simulated scale", bareSim, "round trips/s");
    PrintRatio("SDK / bare, minimal responder (bare limit)", ratioMin, "(goal: at least 80 %)");
    PrintRatio("SDK / bare, simulated scale", ratioSim, "");
    std::printf("  records the simulated scale received in all: %llu\n", static_cast<unsigned long long>(received));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_hecr_download_rate: %s\n", e.what());
    return 2;
  }
  return 0;
}
