// Concurrent PLU downloads: one task per simulated scale, 200 scales on
// distinct loopback addresses, all started at once. Checks that every task
// completes and prints the aggregate rate next to a single task's rate and
// next to as many bare C clients (one datagram out, wait for the answer,
// next) run at once against as many minimal responders on the same
// addresses, and the process's resident size.
//
//   bench_hecr_concurrent [SCALES] [ROWS]   (default 200 scales, 500 rows each)
#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "hecr_bench.h"
#include "sim/hecr_tables.h"
#include "sim/sim_device.h"

using namespace hecrbench;

namespace {

// 127.0.251.1 .. 127.0.251.250, then 127.0.254.x: outside the ranges the
// test programs claim.
std::string ScaleAddr(uint32_t i) {
  return i < 250 ? "127.0.251." + std::to_string(i + 1) : "127.0.254." + std::to_string(i - 249);
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t scales = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 200;
  const uint32_t rows = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 500;
  if (scales == 0 || scales > 500 || rows == 0) {
    std::fprintf(stderr, "usage: bench_hecr_concurrent [SCALES 1..500] [ROWS]\n");
    return 2;
  }
  try {
    TempDir tmp;
    Sdk sdk = LoadSdk(tmp.path);
    const long rssBefore = StatusKb("VmRSS");

    std::vector<std::unique_ptr<vemkasim::SimDevice>> devices;
    std::vector<std::unique_ptr<vemkasim::SimHecrTables>> tables;
    for (uint32_t i = 0; i < scales; ++i) {
      vemkasim::HecrInfo info;
      info.serial = 10000000 + i;
      devices.push_back(vemkasim::SimDevice::Hecr(ScaleAddr(i), info));
      tables.push_back(std::make_unique<vemkasim::SimHecrTables>(*devices.back()));
      tables.back()->SetKeepPluData(false);  // the keys tell whether every record came
      devices.back()->Log().SetCapacity(0);
      devices.back()->Start();
    }
    const long rssStarted = StatusKb("VmRSS");
    const fs::path file = tmp.path / "plu.txt";
    WritePluFile(file, 1, rows);

    // One task alone.
    TaskResult single;
    const double singleSeconds = RunPluDownload(sdk, ScaleAddr(0), file, single);
    if (single.code != VKSDK_OK) {
      std::printf("single download ended with code %u\n", single.code.load());
      return 1;
    }
    tables[0]->ClearPlu();

    // All at once: starting a task waits for the device's information
    // block, so each one is started (and awaited) from a thread of its own.
    std::vector<TaskResult> results(scales);
    std::vector<std::thread> starters;
    const auto t0 = Clock::now();
    for (uint32_t i = 0; i < scales; ++i)
      starters.emplace_back([&, i] { sdk.WaitForTask(StartPluDownload(sdk, ScaleAddr(i), file, results[i])); });
    for (auto& t : starters) t.join();
    const double allSeconds = Seconds(Clock::now() - t0);
    const long rssAfter = StatusKb("VmRSS");
    for (auto& d : devices) d->Stop();

    // The same number of bare streams at once, each against a minimal
    // responder on a scale's address: the loopback's own limit.
    double bareRate = 0;
    {
      const vemkasim::HecrInfo info;
      const vemkasim::Bytes infoFrame = vemkasim::BuildHecr(0x7103, 0, info.Build());
      std::vector<std::unique_ptr<MinimalResponder>> responders;
      for (uint32_t i = 0; i < scales; ++i)
        responders.push_back(std::make_unique<MinimalResponder>(
            ScaleAddr(i).c_str(), 5002, HecrMinimalAnswer{infoFrame.data(), infoFrame.size()}));
      vemkasim::Bytes rec(512, 0);
      const vemkasim::Bytes frame = vemkasim::BuildHecr(0x982E, 0, rec);
      std::vector<std::thread> clients;
      const auto b0 = Clock::now();
      for (uint32_t i = 0; i < scales; ++i)
        clients.emplace_back([&, i] {
          ClientLoop("127.0.246.1", ScaleAddr(i).c_str(), 5002, 13, rows,
                     [&](uint32_t) -> const vemkasim::Bytes& { return frame; });
        });
      for (auto& t : clients) t.join();
      bareRate = double(rows) * scales / Seconds(Clock::now() - b0);
    }

    uint32_t ok = 0, complete = 0;
    for (uint32_t i = 0; i < scales; ++i) {
      ok += results[i].code == VKSDK_OK;
      complete += tables[i]->PluCount() == rows;
      if (results[i].code != VKSDK_OK)
        std::printf("  scale %s: code %u after %u of %u rows\n", ScaleAddr(i).c_str(), results[i].code.load(),
                    results[i].done.load(), rows);
    }
    std::printf("Hecr PLU downloads, %u scales x %u rows, debug output on\n", scales, rows);
    std::printf("  tasks finished with code 0: %u of %u; scales holding all %u records: %u\n", ok, scales, rows,
                complete);
    // The record exchange of all tasks: first progress report of any task
    // to the last final code.
    Clock::time_point first = Clock::time_point::max(), last = Clock::time_point::min();
    for (auto& r : results) {
      if (!r.started) continue;
      first = std::min(first, r.firstProgress);
      last = std::max(last, r.finished);
    }
    const double exchangeAll = Seconds(last - first);
    const double singleRate = rows / single.TransferSeconds();
    const double allRate = double(rows) * scales / exchangeAll;
    std::printf("  single task:      %10.0f rows/s in its record exchange  (%.2f s; %.2f s with the task start)\n",
                singleRate, single.TransferSeconds(), singleSeconds);
    std::printf("  %u tasks at once: %10.0f rows/s aggregate in their record exchange  (%.2f s, %.1f x the single "
                "task; %.2f s from the first start to the last end)\n",
                scales, allRate, exchangeAll, allRate / singleRate, allSeconds);
    std::printf("  %u bare streams:  %10.0f round trips/s aggregate against %u minimal responders  (SDK / bare "
                "%.1f %%)\n",
                scales, bareRate, scales, 100.0 * allRate / bareRate);
    std::printf("  resident size: %.1f MB with the SDK loaded, %.1f MB with the scales started (%.0f kB per "
                "scale), %.1f MB after the downloads\n",
                rssBefore / 1024.0, rssStarted / 1024.0, double(rssStarted - rssBefore) / scales,
                rssAfter / 1024.0);
    return ok == scales && complete == scales ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_hecr_concurrent: %s\n", e.what());
    return 2;
  }
}
