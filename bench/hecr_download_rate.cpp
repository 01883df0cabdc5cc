// PLU download rate to a simulated Hecr scale on loopback, next to a plain
// UDP request/acknowledge loop of the same frame sizes (527-byte request,
// 13-byte answer) in the same run. Debug output is on, as by default.
//
//   bench_hecr_download_rate [ROWS] [--no-debug]    (default 20000 rows)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>
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

int UdpSocket(const char* addr, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  ::inet_pton(AF_INET, addr, &sa.sin_addr);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
    throw std::runtime_error(std::string("cannot bind ") + addr);
  return fd;
}

// Sends n requests one at a time to addr:5002, waiting for each answer (a
// lost one is sent again after 1 s); make(i) gives request i. Returns
// requests per second.
template <typename Make>
double ClientLoop(const char* addr, uint32_t n, Make make) {
  const int client = UdpSocket("127.0.252.100", 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(5002);
  ::inet_pton(AF_INET, addr, &to.sin_addr);
  uint8_t buf[2048];
  const auto t0 = Clock::now();
  for (uint32_t i = 0; i < n; ++i) {
    const vemkasim::Bytes& req = make(i);
    for (;;) {
      ::sendto(client, req.data(), req.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 1000) > 0 && ::recv(client, buf, sizeof buf, 0) == 13) break;
    }
  }
  const double rate = n / Seconds(Clock::now() - t0);
  ::close(client);
  return rate;
}

// The plain loop: a server that answers each datagram with 13 bytes, and a
// client that sends n 527-byte datagrams one at a time.
double PlainLoop(uint32_t n) {
  const int server = UdpSocket(kPlainAddr, 5002);
  std::atomic<bool> stop{false};
  std::thread serve([&] {
    uint8_t buf[2048];
    uint8_t ack[13] = {0xAA, 0, 0, 0, 0, 0x80, 0x0E};
    while (!stop) {
      pollfd p{server, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t got = ::recvfrom(server, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (got <= 0) continue;
      ack[7] = buf[7];
      ack[8] = buf[8];
      ::sendto(server, ack, sizeof ack, 0, reinterpret_cast<sockaddr*>(&from), len);
    }
  });

  vemkasim::Bytes req(527, 0);
  req[0] = 0xAA;
  const double rate = ClientLoop(kPlainAddr, n, [&](uint32_t i) -> const vemkasim::Bytes& {
    req[7] = static_cast<uint8_t>(i >> 8);
    req[8] = static_cast<uint8_t>(i);
    return req;
  });
  stop = true;
  serve.join();
  ::close(server);
  return rate;
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
