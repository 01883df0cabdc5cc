// PLU download rate to a simulated Hecr scale on loopback, next to a plain
// UDP request/acknowledge loop of the same frame sizes (527-byte request,
// 13-byte answer) in the same run. Debug output is on, as by default.
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
const char* kPlainAddr = "127.0.252.3";
constexpr int kRounds = 5;

// Hecr requests to addr:5002 from the benchmark's client address; each
// answer is 13 bytes.
template <typename Make>
double ClientLoop(const char* addr, uint32_t n, Make make) {
  return hecrbench::ClientLoop("127.0.252.100", addr, 5002, 13, n, make);
}

// The plain loop: a server that answers each datagram with 13 bytes, and a
// client that sends n 527-byte datagrams one at a time.
double PlainLoop(uint32_t n) {
  PlainResponder server(kPlainAddr, 5002, [](const uint8_t* req, size_t, uint8_t* ack) -> size_t {
    const uint8_t head[7] = {0xAA, 0, 0, 0, 0, 0x80, 0x0E};
    std::memcpy(ack, head, sizeof head);
    ack[7] = req[7];
    ack[8] = req[8];
    std::memset(ack + 9, 0, 4);
    return 13;
  });
  vemkasim::Bytes req(527, 0);
  req[0] = 0xAA;
  return ClientLoop(kPlainAddr, n, [&](uint32_t i) -> const vemkasim::Bytes& {
    req[7] = static_cast<uint8_t>(i >> 8);
    req[8] = static_cast<uint8_t>(i);
    return req;
  });
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
    scale->Start();

    const fs::path file = tmp.path / "plu.txt";
    WritePluFile(file, 1, rows);

    // A short run first, so both loops start warm.
    {
      const fs::path warm = tmp.path / "warm.txt";
      WritePluFile(warm, 1, 200);
      TaskResult r;
      RunPluDownload(sdk, kScaleAddr, warm, r);
      PlainLoop(200);
    }
    std::vector<vemkasim::Bytes> frames(64);  // ready-made PLU frames for the plain client
    for (uint32_t k = 0; k < frames.size(); ++k) {
      vemkasim::Bytes rec(512, 0);
      vemkasim::PutBE(rec, 239, 0x10000000u + k, 4);
      frames[k] = vemkasim::BuildHecr(0x982E, static_cast<uint16_t>(k), rec);
    }

    // Rounds interleaved, keeping each loop's best: the machine is
    // shared, and a round that lost its core says nothing about the code.
    double sdkRate = 0, plainRate = 0, scaleRate = 0, exchange = 0, withStart = 0;
    std::printf("round   SDK rows/s   plain round trips/s   SDK/plain\n");
    for (int round = 0; round < kRounds; ++round) {
      scale->Log().Clear();
      TaskResult r;
      const double total = RunPluDownload(sdk, kScaleAddr, file, r);
      if (r.code != VKSDK_OK) {
        std::printf("PLU download ended with code %u after %u of %u rows\n", r.code.load(), r.done.load(), rows);
        return 1;
      }
      const double sdkRound = rows / r.TransferSeconds();
      if (sdkRound > sdkRate) {
        sdkRate = sdkRound;
        exchange = r.TransferSeconds();
        withStart = total;
      }
      const double plainRound = PlainLoop(rows);
      plainRate = std::max(plainRate, plainRound);
      std::printf("%5d   %10.0f   %19.0f   %8.1f %%\n", round + 1, sdkRound, plainRound, 100.0 * sdkRound / plainRound);
      // The plain client against the simulated scale shows the scale's own share.
      scaleRate = std::max(scaleRate, ClientLoop(kScaleAddr, rows, [&](uint32_t i) -> const vemkasim::Bytes& {
                             return frames[i % frames.size()];
                           }));
    }
    const uint64_t received = tables.PluReceived();
    scale->Stop();

    std::printf("Hecr PLU download, %u rows, debug output %s, best of %d rounds\n", rows, debug ? "on" : "off",
                kRounds);
    std::printf("  SDK download to the simulated scale: %10.0f rows/s  (%.2f s of record exchange, %.2f s with the "
                "task start)\n",
                sdkRate, exchange, withStart);
    std::printf("  plain UDP request/acknowledge loop:  %10.0f round trips/s (527-byte request, 13-byte answer)\n",
                plainRate);
    std::printf("  plain client to the simulated scale: %10.0f round trips/s (ready-made PLU frames)\n", scaleRate);
    std::printf("  SDK rate / plain rate:               %10.1f %%  (goal: at least 80 %%)\n",
                100.0 * sdkRate / plainRate);
    std::printf("  records the scale received in all:   %10llu\n", static_cast<unsigned long long>(received));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_hecr_download_rate: %s\n", e.what());
    return 2;
  }
  return 0;
}
