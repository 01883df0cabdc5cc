// What a simulated Hecr scale costs per answer, set against the minimal
// responder (one socket: recvfrom, the acknowledgement, sendto) driven by
// the same bare client, in interleaved rounds. The client runs in a child
// process, so the CPU time of this process (getrusage) is the responders'
// alone. Then the memory of many simulated scales in one process: resident
// size before and after starting them, and after each answered.
//
//   bench_sim_answer_cost [ANSWERS] [SCALES]   (default 20000 answers, 500 scales)
#include <sys/resource.h>
#include <sys/wait.h>

#include <memory>
#include <vector>

#include "hecr_bench.h"
#include "sim/hecr_tables.h"
#include "sim/sim_device.h"

using namespace hecrbench;

namespace {

// Outside the ranges the test programs and the other benchmarks claim.
const char* kScaleAddr = "127.0.249.2";
const char* kMinimalAddr = "127.0.249.3";
const char* kClientAddr = "127.0.249.100";
constexpr int kRounds = 5;

double CpuSeconds() {
  rusage ru{};
  ::getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The bare client in a child process, forked before any thread exists: it
// takes "send n PLU frames to this address" over a pipe and says when done.
class ClientProcess {
 public:
  ClientProcess() {
    int down[2], up[2];
    if (::pipe(down) != 0 || ::pipe(up) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
      ::close(down[1]);
      ::close(up[0]);
      Serve(down[0], up[1]);
      ::_exit(0);
    }
    ::close(down[0]);
    ::close(up[1]);
    to_ = down[1];
    from_ = up[0];
  }
  ~ClientProcess() {
    ::close(to_);
    ::close(from_);
    ::waitpid(pid_, nullptr, 0);
  }
  // Runs n request/answer round trips against addr; round trips per second.
  double Run(const char* addr, uint32_t n) {
    Order o{IPv4(addr), n};
    double rate = 0;
    if (::write(to_, &o, sizeof o) != sizeof o || ::read(from_, &rate, sizeof rate) != sizeof rate)
      throw std::runtime_error("client process lost");
    return rate;
  }

 private:
  struct Order {
    uint32_t addr;
    uint32_t n;
  };
  // Distinct PLU IDs in every round, as a download sends them.
  static void Serve(int in, int out) {
    uint32_t next = 1;
    Order o{};
    while (::read(in, &o, sizeof o) == sizeof o) {
      char addr[INET_ADDRSTRLEN];
      const in_addr a{htonl(o.addr)};
      ::inet_ntop(AF_INET, &a, addr, sizeof addr);
      vemkasim::Bytes rec(512, 0);
      const double rate = ClientLoop(kClientAddr, addr, 5002, 13, o.n, [&](uint32_t) {
        vemkasim::PutBE(rec, 239, 0x10000000u + next++ % 90000000u, 4);
        return vemkasim::BuildHecr(vemkasim::kHecrPluDownload, static_cast<uint16_t>(next), rec);
      });
      if (::write(out, &rate, sizeof rate) != sizeof rate) break;
    }
  }
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
};

// Microseconds of this process's CPU time per answer of one run.
double CpuPerAnswer(ClientProcess& client, const char* addr, uint32_t n) {
  const double t0 = CpuSeconds();
  client.Run(addr, n);
  return (CpuSeconds() - t0) / n * 1e6;
}

std::string ManyAddr(uint32_t i) {
  return i < 250 ? "127.0.248." + std::to_string(i + 1) : "127.0.247." + std::to_string(i - 249);
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t answers = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 20000;
  const uint32_t scales = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 500;
  if (answers == 0 || scales > 500) {
    std::fprintf(stderr, "usage: bench_sim_answer_cost [ANSWERS] [SCALES 0..500]\n");
    return 2;
  }
  try {
    ClientProcess client;

    vemkasim::HecrInfo info;
    info.lfCodeLen = 8;
    auto scale = vemkasim::SimDevice::Hecr(kScaleAddr, info);
    vemkasim::SimHecrTables tables(*scale);
    tables.SetKeepPluData(false);
    scale->Log().SetCapacity(0);
    scale->Start();
    const vemkasim::Bytes infoFrame = vemkasim::BuildHecr(0x7103, 0, info.Build());
    MinimalResponder minimal(kMinimalAddr, 5002, HecrMinimalAnswer{infoFrame.data(), infoFrame.size()});

    client.Run(kScaleAddr, 1000);  // warm both
    client.Run(kMinimalAddr, 1000);

    std::printf("CPU time per answer to a 527-byte PLU frame, %u answers per run\n", answers);
    std::printf("round   simulated scale   minimal responder    ratio\n");
    std::vector<double> simUs, minUs, ratio;
    for (int round = 0; round < kRounds; ++round) {
      simUs.push_back(CpuPerAnswer(client, kScaleAddr, answers));
      minUs.push_back(CpuPerAnswer(client, kMinimalAddr, answers));
      ratio.push_back(simUs.back() / minUs.back());
      std::printf("%5d   %12.2f us   %14.2f us   %5.2fx\n", round + 1, simUs.back(), minUs.back(), ratio.back());
    }
    const Spread s = SpreadOf(simUs), m = SpreadOf(minUs), r = SpreadOf(ratio);
    std::printf("                          min     median        max\n");
    std::printf("  simulated scale   %8.2f   %8.2f   %8.2f  us per answer\n", s.min, s.median, s.max);
    std::printf("  minimal responder %8.2f   %8.2f   %8.2f  us per answer\n", m.min, m.median, m.max);
    std::printf("  scale / minimal   %7.2fx   %7.2fx   %7.2fx  (goal: <= 1.5x)\n", r.min, r.median, r.max);
    // The record as tests keep it, for comparison.
    scale->Log().SetCapacity(vemkasim::kDefaultRecordCapacity);
    const double kept = CpuPerAnswer(client, kScaleAddr, answers);
    scale->Log().SetCapacity(0);
    std::printf("  simulated scale keeping its record (capacity %zu): %.2f us per answer\n",
                vemkasim::kDefaultRecordCapacity, kept);
    scale->Stop();

    if (scales == 0) return 0;
    // Many scales in one process, as the concurrent benchmark runs them.
    const long before = StatusKb("VmRSS");
    std::vector<std::unique_ptr<vemkasim::SimDevice>> devices;
    std::vector<std::unique_ptr<vemkasim::SimHecrTables>> all;
    for (uint32_t i = 0; i < scales; ++i) {
      vemkasim::HecrInfo one;
      one.serial = 10000000 + i;
      devices.push_back(vemkasim::SimDevice::Hecr(ManyAddr(i), one));
      all.push_back(std::make_unique<vemkasim::SimHecrTables>(*devices.back()));
      devices.back()->Log().SetCapacity(0);
      devices.back()->Start();
    }
    const long started = StatusKb("VmRSS");
    for (auto& d : devices) client.Run(d->Addr().c_str(), 20);
    const long answered = StatusKb("VmRSS");
    std::printf("%u simulated Hecr scales in one process (resident size of the process, MB):\n", scales);
    std::printf("  before %.1f, started %.1f, each answered 20 PLU frames %.1f; %.0f kB per scale  (goal: the "
                "scales under 200 MB)\n",
                before / 1024.0, started / 1024.0, answered / 1024.0, double(answered - before) / scales);
    for (auto& d : devices) d->Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_sim_answer_cost: %s\n", e.what());
    return 2;
  }
  return 0;
}
