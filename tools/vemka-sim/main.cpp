// vemka-sim: runs simulated scales on loopback addresses until interrupted
// (or for --duration seconds), printing every datagram they receive and send.
//
//   vemka-sim --hecr 127.0.0.2 --pecr 127.0.0.3 --tsecr 127.0.0.4
//   vemka-sim --pecr 127.0.0.3 --pecr-record 128 --dotcount 3
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/hecr_tables.h"
#include "sim/pecr_tables.h"
#include "sim/sim_device.h"
#include "sim/sim_relay.h"

namespace {

std::atomic<bool> gStop{false};
extern "C" void OnSignal(int) { gStop = true; }

}  // namespace

int main(int argc, char** argv) {
  using namespace vemkasim;
  CLI::App app{"Simulated scales on loopback addresses"};
  std::vector<std::string> hecrAddrs, pecrAddrs, tsecrAddrs;
  std::string name;
  uint32_t serial = 12345678;
  std::string version;
  std::string tsecrVersion = "1.2.3.4";
  uint16_t servicePort = 0;
  std::string m3 = "none";
  double duration = 0;
  bool noScan = false, quiet = false;
  bool noTables = false;
  uint32_t codePage = 0;
  int lfCodeLen = -1;
  int hotkeys = -1;
  int touch = -1;
  int pecrRecord = 64;
  int dotCount = -1;
  Faults faults;

  app.add_option("--hecr", hecrAddrs, "Address of a Hecr scale (repeatable)");
  app.add_option("--pecr", pecrAddrs, "Address of a Pecr scale (repeatable)");
  app.add_option("--tsecr", tsecrAddrs, "Address of a TSecr scale (repeatable)");
  app.add_option("--name", name, "Model (Hecr) or name (Pecr, TSecr)");
  app.add_option("--serial", serial, "Serial number");
  app.add_option("--version", version, "Firmware version number of Hecr and Pecr scales (0x.. allowed)");
  app.add_option("--tsecr-version", tsecrVersion, "Version text of TSecr scales, a.b.c.d");
  app.add_option("--service-port", servicePort, "Port TSecr scales answer discovery from");
  app.add_option("--m3", m3, "Pecr answer to the M3 probe")
      ->check(CLI::IsMember({"none", "short", "zero", "nonzero"}));
  app.add_option("--duration", duration, "Stop after this many seconds (0: run until interrupted)");
  app.add_flag("--no-tables", noTables,
               "Scales do not keep tables (Hecr: PLU and the others, clock, counters; Pecr: PLU, clock)");
  app.add_option("--codepage", codePage, "Code page of Hecr scales' text fields (e.g. 65001)");
  app.add_option("--lfcode-len", lfCodeLen, "Label-format code length of Hecr scales (8: 8-digit PLU IDs)");
  app.add_option("--hotkeys", hotkeys, "Number of preset buttons (HotKeyCount) of Hecr scales")
      ->check(CLI::Range(0, 65535));
  app.add_option("--touch", touch, "TouchFlag of Hecr scales (2: touch button layout)")->check(CLI::Range(0, 255));
  app.add_option("--pecr-record", pecrRecord, "PLU record size of Pecr scales")
      ->check(CLI::IsMember({64, 128}));
  app.add_option("--dotcount", dotCount, "Price decimals (DotCount) in Pecr scales' parameter block")
      ->check(CLI::Range(0, 255));
  app.add_flag("--no-scan", noScan, "Do not listen on the segments' .255 addresses");
  app.add_flag("--quiet", quiet, "Do not print datagrams");
  size_t recordCapacity = 0;
  app.add_option("--record", recordCapacity,
                 "Datagrams each scale keeps in memory (the last ones; 0: none, printing needs none)");
  app.add_flag("--silent", faults.silent, "Never answer");
  app.add_option("--drop", faults.dropFirst, "Ignore the first N requests");
  app.add_option("--delay", faults.delayMs, "Wait this many milliseconds before answering");
  app.add_flag("--twice", faults.answerTwice, "Send every answer twice");
  app.add_option("--extra-copies", faults.extraCopies, "Send every answer this many more times");
  app.add_option("--corrupt", faults.corruptPercent, "Flip one random bit in this percentage of answers");
  app.add_option("--corrupt-seed", faults.corruptSeed, "Seed of the flipped bits' places");
  std::string relayAddr;
  app.add_option("--relay", relayAddr,
                 "Bind loopback addresses for simulated scales of another process (a test under Wine) "
                 "and carry their datagrams; ADDRESS:PORT of the relay itself");
  CLI11_PARSE(app, argc, argv);

  if (hecrAddrs.empty() && pecrAddrs.empty() && tsecrAddrs.empty() && relayAddr.empty()) {
    std::fprintf(stderr, "vemka-sim: name at least one scale (--hecr, --pecr or --tsecr) or --relay\n");
    return 2;
  }
  std::unique_ptr<SimRelay> relay;
  if (!relayAddr.empty()) {
    const size_t colon = relayAddr.rfind(':');
    try {
      if (colon == std::string::npos) throw std::runtime_error("--relay wants ADDRESS:PORT");
      relay = std::make_unique<SimRelay>(relayAddr.substr(0, colon),
                                         static_cast<uint16_t>(std::stoul(relayAddr.substr(colon + 1))));
      relay->Start();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vemka-sim: relay %s: %s\n", relayAddr.c_str(), e.what());
      return 2;
    }
    std::printf("relay on %s\n", relayAddr.c_str());
    std::fflush(stdout);
  }

  SimNetwork net;
  std::vector<std::unique_ptr<SimHecrTables>> tables;
  std::vector<std::unique_ptr<SimPecrTables>> pecrTables;
  try {
    const uint32_t ver = version.empty() ? 0 : static_cast<uint32_t>(std::stoul(version, nullptr, 0));
    for (const auto& a : hecrAddrs) {
      HecrInfo info;
      info.serial = serial;
      if (!name.empty()) info.model = name;
      if (!version.empty()) info.version = static_cast<uint16_t>(ver);
      if (codePage) info.codePage = codePage;
      if (lfCodeLen >= 0) info.lfCodeLen = static_cast<uint8_t>(lfCodeLen);
      if (hotkeys >= 0) info.hotkeyCount = static_cast<uint16_t>(hotkeys);
      if (touch >= 0) info.touch = static_cast<uint8_t>(touch);
      auto& d = net.AddHecr(a, info);
      if (!noTables) tables.push_back(std::make_unique<SimHecrTables>(d));
    }
    for (const auto& a : pecrAddrs) {
      PecrInfo info;
      info.serial = serial;
      if (!name.empty()) info.name = name;
      if (!version.empty()) info.version = ver;
      if (pecrRecord == 128) info.power = 0xAC;
      auto& d = net.AddPecr(a, info);
      d.SetM3Answer(m3 == "short"     ? M3Answer::Short
                    : m3 == "zero"    ? M3Answer::ZeroData
                    : m3 == "nonzero" ? M3Answer::NonZeroData
                                      : M3Answer::None);
      if (noTables) continue;
      pecrTables.push_back(std::make_unique<SimPecrTables>(d));
      if (dotCount >= 0) pecrTables.back()->SetDotCount(static_cast<uint8_t>(dotCount));
    }
    for (const auto& a : tsecrAddrs) {
      TSecrInfo info;
      info.serialText = fmt::format("{:08}", serial);
      if (!name.empty()) info.name = name;
      info.versionText = tsecrVersion;
      auto& d = net.AddTSecr(a, info);
      if (servicePort) d.SetServicePort(servicePort);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vemka-sim: %s\n", e.what());
    return 2;
  }

  net.SetRecordCapacity(recordCapacity);
  std::mutex outMu;
  const auto t0 = std::chrono::steady_clock::now();
  for (SimDevice* d : net.Devices()) {
    d->SetFaults(faults);
    if (quiet) continue;
    const std::string who = fmt::format("{} {}", FamilyName(d->GetFamily()), d->Addr());
    d->Log().SetObserver([&outMu, who, t0](const Datagram& g) {
      const double at = std::chrono::duration<double>(g.time - t0).count();
      std::lock_guard lock(outMu);
      std::printf("%9.3f %s %s %s %zu bytes: %s\n", at, who.c_str(),
                  g.dir == Direction::Received ? "<-" : "->", g.peer.Text().c_str(), g.bytes.size(),
                  Hex(g.bytes).c_str());
      std::fflush(stdout);
    });
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  try {
    net.Start(!noScan);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vemka-sim: %s\n", e.what());
    return 1;
  }
  for (SimDevice* d : net.Devices())
    std::printf("%s scale on %s:%u\n", FamilyName(d->GetFamily()), d->Addr().c_str(),
                d->GetFamily() == Family::TSecr ? d->ServicePort() : d->Port());
  std::fflush(stdout);

  const auto end = t0 + std::chrono::duration<double>(duration);
  while (!gStop && (duration <= 0 || std::chrono::steady_clock::now() < end))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  for (auto& t : tables) t->CancelLateAnswers();
  for (auto& t : pecrTables) t->CancelLateAnswers();
  net.Stop();
  if (relay) relay->Stop();
  return 0;
}
