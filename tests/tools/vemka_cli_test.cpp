// The vemka host's scan and info commands, run as a program against
// simulated scales on this process's loopback range.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "sim/sim_device.h"
#include "support/hecr_scale.h"
#include "support/loopback.h"
#include "support/sdk_loader.h"

namespace {

namespace fs = std::filesystem;
using namespace vemkasim;
using vk::test::LoopbackAddr;

struct CliRun {
  int status = -1;
  std::string out;
};

// Runs vemka with short time-outs from a private INI; stdout only.
CliRun Vemka(const std::string& args) {
  static const fs::path dir = vktest::TempDir();
  static const fs::path ini = [] {
    fs::path p = dir / "vemka.ini";
    std::FILE* f = std::fopen(p.c_str(), "w");
    const std::string text = vktest::DefaultIni(dir / "debug");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return p;
  }();
  const std::string cmd = "VEMKASDK_INI='" + ini.string() + "' '" VEMKA_BINARY_DIR "/tools/vemka' " + args +
                          " 2>/dev/null";
  CliRun r;
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(VemkaCli, ScanListsEveryDeviceOfTheSegment) {
  HecrInfo h;
  h.model = "HS10";
  h.serial = 11;
  h.version = 0x7000;
  PecrInfo p;
  p.name = "PS20";
  p.serial = 22;
  p.version = 0x0105;
  TSecrInfo t;
  t.name = "TS-Touch";
  t.serialText = "SN00000033";
  t.versionText = "2.1.0.7";
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), h);
  net.AddPecr(LoopbackAddr(3), p);
  net.AddTSecr(LoopbackAddr(4), t);
  net.Start();

  const CliRun r = Vemka("scan " + vk::test::LoopbackScanAddr());
  EXPECT_EQ(r.status, 0);
  auto row = [](const char* family, const std::string& addr, int port, const char* name, int id,
                const char* version) {
    char buf[160];
    std::snprintf(buf, sizeof(buf), "%-6s %-15s %-6d %-16s %-10d %s\n", family, addr.c_str(), port, name, id, version);
    return std::string(buf);
  };
  EXPECT_NE(r.out.find("Family Address"), std::string::npos) << r.out;
  const std::string rows = row("Hecr", LoopbackAddr(2), 5002, "HS10", 11, "0x7000") +
                           row("Pecr", LoopbackAddr(3), 5001, "PS20", 22, "0x0105") +
                           row("TSecr", LoopbackAddr(4), 5003, "TS-Touch", 33, "2.1.0.7");
  EXPECT_NE(r.out.find(rows), std::string::npos) << r.out;
}

TEST(VemkaCli, InfoShowsEveryField) {
  HecrInfo h;
  h.model = "HS10";
  h.serial = 12345678;
  h.version = 0x7000;
  h.classLetter = 'A';
  h.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  h.pluCapacity = 4000;
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), h);
  net.Start(false);

  const CliRun r = Vemka("info " + LoopbackAddr(2));
  EXPECT_EQ(r.status, 0);
  for (const std::string& line :
       {std::string("ProtocolType      2 (Hecr)\n"), "Addr              " + LoopbackAddr(2) + "\n", std::string("Port              5002\n"),
        std::string("Name              HS10\n"), std::string("ID                12345678\n"),
        std::string("Version           28672 (0x7000)\n"), std::string("PLUStorage        4000\n"),
        std::string("DefaultProtocol   \"A\" (65)\n"), std::string("MacAddr           00 1A 2B 3C 4D 5E\n"),
        std::string("PrnStartDate      2024-01-02 03:04:05\n"), std::string("SmallM3CPU        0\n")})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

  EXPECT_EQ(Vemka("info 127.1.0.9 --tries 1").status, 1);
  EXPECT_EQ(Vemka("info not-an-address").status, 2);
}

}  // namespace

namespace {

// The table commands take every table by name: units go down and come back.
TEST(VemkaCli, TablesByNameGoDownAndComeBack) {
  vktest::HecrScale scale;
  const fs::path file = vktest::WriteFile("cli_units.txt", "ID\tDescription\r\n4\tkg\r\n");
  const fs::path back = vktest::TempDir() / "cli_units_back.txt";
  EXPECT_EQ(Vemka("download " + scale.Addr() + " unit '" + file.string() + "'").status, 0);
  EXPECT_EQ(Vemka("upload " + scale.Addr() + " UNIT '" + back.string() + "'").status, 0);
  const auto lines = vktest::Lines(back);
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[5], "4\tkg");
}

}  // namespace
