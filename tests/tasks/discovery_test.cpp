// Discovery against simulated scales on this process's loopback range: what
// each family accepts, how its block becomes the host's record, and scans.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "device/device_blocks.h"
#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "sim/sim_device.h"
#include "support/loopback.h"
#include "support/sdk_loader.h"
#include "support/sim_support.h"
#include "tasks/discovery.h"

namespace {

namespace fs = std::filesystem;
using namespace vemkasim;
using vk::test::LoopbackAddr;

// Short time-outs, a private debug directory and any extra [System] lines.
fs::path UseParams(const std::string& extra = "", const std::string& sections = "") {
  const fs::path dir = vktest::TempDir();
  const fs::path ini = dir / "params.ini";
  std::ofstream(ini, std::ios::binary) << vktest::DefaultIni(dir / "debug", "SyncTryCount=1\n" + extra, sections);
  EXPECT_EQ(vk::LoadSysParams(ini), 0);
  return dir / "debug";
}

uint32_t IpOf(const std::string& dotted) {
  uint32_t a, b, c, d;
  EXPECT_EQ(std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d), 4);
  return (a << 24) | (b << 16) | (c << 8) | d;
}

// The host's record built by hand from its published layout.
struct Expected {
  std::array<uint8_t, 256> b{};
  void LE(size_t at, uint64_t v, size_t width) {
    for (size_t i = 0; i < width; ++i, v >>= 8) b[at + i] = static_cast<uint8_t>(v);
  }
  void Text(size_t at, const std::string& s) { std::memcpy(&b[at], s.data(), s.size()); }
  template <size_t N>
  void Put(size_t at, const std::array<uint8_t, N>& a) {
    std::memcpy(&b[at], a.data(), N);
  }
};

// Compares every byte and names the offsets that differ.
void ExpectRecord(const TVKSDKDeviceInfo& info, const Expected& e, size_t skipFrom = 256, size_t skipTo = 256) {
  const auto* got = reinterpret_cast<const uint8_t*>(&info);
  for (size_t i = 0; i < 256; ++i) {
    if (i >= skipFrom && i < skipTo) continue;
    EXPECT_EQ(got[i], e.b[i]) << "record byte " << i;
  }
}

// A packed record field as a plain value (gtest binds references).
template <class T>
T Val(T v) {
  return v;
}

std::string NameOf(const TVKSDKDeviceInfo& info) { return std::string(info.Name, strnlen(info.Name, 16)); }

vk::TVKSDKDeviceRawData RawOf(uint8_t protocolType, const Bytes& block) {
  vk::TVKSDKDeviceRawData raw;
  raw.ProtocolType = protocolType;
  std::memcpy(raw.Raw, block.data(), std::min<size_t>(block.size(), 256));
  return raw;
}

std::u16string W(const std::string& s) { return std::u16string(s.begin(), s.end()); }

TEST(Discovery, HecrRecordMatchesTheBlock) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  HecrInfo h;
  h.serial = 16909060;  // 0x01020304, eight digits
  h.model = "HS10";
  h.version = 0x6100;
  h.country = 0x25;
  h.keyType = 7;
  h.displayType = 9;
  h.printerDot = 0x0102030405060708ull;
  h.labelPages = 0x11223344;
  h.printerNo = 0x55667788;
  h.department = 0x42;
  h.cpuType = "M4ab";
  h.hotkeyCount = 0x0123;
  h.noteCapacity = {0x0101, 0x0202, 0x0303, 0x0404};
  h.pluCapacity = 10000;
  h.nutritionCapacity = 500;
  h.discountCapacity = 600;
  h.classLetter = 'A';
  h.lfCodeLen = 3;
  h.deviceId = {1, 2, 3, 4};
  h.stockId = {5, 6, 7, 8};
  h.fontAreaBad = 1;
  h.dataAreaBad = 2;
  h.nickId = {9, 8, 7, 6, 5, 4, 3, 2};
  h.busy = 1;
  h.hangScale = 1;
  h.mac = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  h.sdCardError = 1;
  h.cpuId = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  h.cpuIdLen = 12;
  h.touch = 2;
  h.aiName = "AIx12";
  h.aiId = 0xA1B2C3D4;
  h.smallM3Cpu = 1;
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), h);
  net.Start(false);

  const TVKSDKDeviceInfo info = vk::GetDeviceInfo(W(LoopbackAddr(2)), 5002, 2, -1, -1);
  Expected e;
  e.LE(0, 2, 4);
  e.LE(4, IpOf(LoopbackAddr(2)), 4);
  e.LE(8, 5002, 4);
  e.Text(12, "HS10");
  e.LE(28, 0x01020304, 4);
  e.LE(32, 0x6100, 4);
  e.b[36] = 0x25;
  e.b[37] = 0x42;
  e.b[38] = 7;
  e.LE(39, 0x0102030405060708ull, 8);
  e.LE(55, 0x11223344, 4);
  e.LE(59, 0x55667788, 4);
  e.LE(63, 10000, 2);
  e.LE(65, 0x0123, 2);
  e.LE(67, 500, 2);
  e.LE(69, 600, 2);
  e.LE(71, 0x0101, 2);
  e.LE(73, 0x0202, 2);
  e.LE(75, 0x0303, 2);
  e.LE(77, 0x0404, 2);
  e.b[91] = 'A';
  e.b[92] = 3;
  e.Put(93, h.deviceId);
  e.Put(97, h.stockId);
  e.b[101] = 1;
  e.b[102] = 2;
  e.b[107] = 9;
  e.Put(108, h.nickId);
  e.b[116] = 1;
  e.b[117] = 1;
  e.Put(120, h.mac);
  e.b[126] = 1;
  e.Text(129, "M4ab");
  e.Put(137, h.cpuId);
  e.b[153] = 12;
  e.b[154] = 2;
  e.Text(155, "AIx12");
  e.LE(160, 0xA1B2C3D4, 4);
  e.b[164] = 1;
  ExpectRecord(info, e, 47, 55);
  // 2024-01-02 03:04:05 as days since 1899-12-30.
  const double start = info.PrnStartDate;
  EXPECT_NEAR(start, 45293.0 + (3 * 3600 + 4 * 60 + 5) / 86400.0, 1e-8);
}

TEST(Discovery, PecrRecordMatchesTheBlock) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  PecrInfo p;
  p.version = 0x01020304;
  p.buildDate = 0x20240115;
  p.power = 0xAC;
  p.keyType = 209;
  p.displayType = 5;
  p.name = "PS20";
  p.serial = 87654321;
  p.nickId = {1, 2, 3, 4, 5, 6, 7, 8};
  p.busy = 1;
  p.hangScale = 1;
  p.cpuIdLen = 16;
  p.cpuId = {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  SimNetwork net;
  net.AddPecr(LoopbackAddr(3), p);
  net.Start(false);

  const TVKSDKDeviceInfo info = vk::GetDeviceInfo(W(LoopbackAddr(3)), 5001, 1, -1, -1);
  Expected e;
  e.LE(0, 1, 4);
  e.LE(4, IpOf(LoopbackAddr(3)), 4);
  e.LE(8, 5001, 4);
  e.Text(12, "PS20");
  e.LE(28, 87654321, 4);
  e.LE(32, 0x01020304, 4);
  e.b[38] = 2;  // keyboard 209 is type 2
  e.LE(103, 0x20240115, 4);
  e.b[107] = 5;
  e.Put(108, p.nickId);
  e.b[116] = 1;
  e.b[117] = 1;
  e.Put(137, p.cpuId);
  e.b[153] = 16;
  ExpectRecord(info, e);
}

TEST(Discovery, TSecrRecordMatchesTheBlock) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  TSecrInfo t;
  t.serialText = "TS0000000042";
  t.name = " TS-Touch\t";
  t.versionText = " 1.2.3.4 ";
  t.country = 0x1234;
  t.keyType = 0x0105;
  t.printerDot = 0x1122334455667788ull;
  t.printerStartDate = 45000.5;
  t.labelPages = 77;
  t.printerNo = 0x01020304;
  t.department = 0x0207;
  t.firmware = {'F', 'W', '1', '.', '0', 0, 0, 0, 0, 0, 0, 9};
  t.nickId = {8, 7, 6, 5, 4, 3, 2, 1};
  t.busy = 1;
  t.hangScale = 1;
  t.cpuId = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8};
  t.cpuIdLen = 8;
  t.classLetter = 'T';
  t.aiName = "AI123";
  t.aiId = 0x0A0B0C0D;
  const uint16_t servicePort = static_cast<uint16_t>(20000 + vk::test::LoopbackRange());
  SimNetwork net;
  net.AddTSecr(LoopbackAddr(4), t).SetServicePort(servicePort);
  net.Start(false);

  const TVKSDKDeviceInfo info = vk::GetDeviceInfo(W(LoopbackAddr(4)), 5003, 3, -1, -1);
  Expected e;
  e.LE(0, 3, 4);
  e.LE(4, IpOf(LoopbackAddr(4)), 4);
  e.LE(8, servicePort, 4);  // the port the scale answered from
  e.Text(12, "TS-Touch");
  e.LE(28, 42, 4);
  e.LE(32, 0x01020304, 4);
  e.b[36] = 0x34;
  e.b[37] = 0x07;
  e.b[38] = 0x05;
  e.LE(39, 0x1122334455667788ull, 8);
  double date = 45000.5;
  std::memcpy(&e.b[47], &date, 8);
  e.LE(55, 77, 4);
  e.LE(59, 0x01020304, 4);
  e.Put(79, t.firmware);
  e.b[91] = 'T';
  e.Put(108, t.nickId);
  e.b[116] = 1;
  e.b[117] = 1;
  e.Put(137, t.cpuId);
  e.b[153] = 8;
  e.Text(155, "AI123");
  e.LE(160, 0x0A0B0C0D, 4);
  ExpectRecord(info, e);
}

// Old firmware reports leftovers after byte 146, a code page it does not use
// and no hotkey count; the fixed block is what every task sees.
TEST(Discovery, OldHecrFirmwareBlocksAreFixedUp) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  SimNetwork net;
  SimDevice& dev = net.AddHecr(LoopbackAddr(2));
  net.Start(false);
  struct Case {
    uint16_t version;
    uint8_t touch, keyType;
    bool tailKept, codePageKept;
    uint16_t hotkeys;
  } cases[] = {
      {0x6000, 0, 1, false, false, 224}, {0x6030, 1, 8, false, false, 224},  // tail cleared first
      {0x5FFF, 1, 2, true, true, 168},   {0x5FFF, 0, 16, true, false, 224},
      {0x5000, 0, 11, true, false, 80},  {0x5000, 1, 17, true, true, 80},
      {0x5000, 1, 18, true, true, 160},  {0x5000, 1, 19, true, true, 160},
      {0x5000, 1, 5, true, true, 0x0777}, {0x6031, 0, 1, true, true, 0x0777},
  };
  for (const Case& c : cases) {
    HecrInfo h;
    h.version = c.version;
    h.touch = c.touch;
    h.keyType = c.keyType;
    h.hotkeyCount = 0x0777;
    h.codePage = 1252;
    h.classLetter = 'B';
    h.cpuIdLen = 5;
    h.smallM3Cpu = 1;
    dev.SetInfoBlock(h.Build());
    const auto raw = vk::GetDeviceRawData(W(LoopbackAddr(2)), 5002, 2, false, -1, 1, nullptr);
    SCOPED_TRACE(testing::Message() << std::hex << "version " << c.version << " keyboard " << int(c.keyType));
    ASSERT_EQ(raw.ProtocolType, 2);
    const Bytes sent = h.Build();
    for (size_t i = 146; i < 256; ++i) EXPECT_EQ(raw.Raw[i], c.tailKept ? sent[i] : 0) << "raw byte " << i;
    EXPECT_EQ(raw.RawLE32(80), c.codePageKept ? 1252u : 0u);
    EXPECT_EQ(raw.RawBE(112, 2), c.hotkeys);
    const TVKSDKDeviceInfo info = vk::DeviceRawDataToInfo(raw);
    EXPECT_EQ(Val(info.DefaultProtocol), c.tailKept ? 'B' : 0);
    EXPECT_EQ(Val(info.CPUIDLen), c.tailKept ? 5 : 0);
  }
}

TEST(Discovery, HecrNameIsTheModelWithoutTheSerial) {
  struct Case {
    const char* text;
    uint8_t letter;
    const char* name;
  } cases[] = {
      {"A B CD12345678", '*', "A B CD(KM40)"},
      {"HS1012345678", 0, "HS10"},
      {" HS10 12345678\x01", 0, "HS10 "},
      {"ABCDEFGH12345678", 0, "ABCDEFGH"},  // all 16 bytes, no end mark
      {"12345678", 0, ""},
      {"1234567", '*', "(KM40)"},
      {"\x01", 0, ""},
  };
  for (const Case& c : cases) {
    HecrInfo h;
    h.nameText = c.text;
    h.classLetter = c.letter;
    EXPECT_EQ(NameOf(vk::DeviceRawDataToInfo(RawOf(2, h.Build()))), c.name) << c.text;
  }
}

TEST(Discovery, InvalidHecrPrinterStartDateIsZero) {
  using Date = std::array<uint8_t, 7>;
  for (const Date& d : {Date{20, 24, 13, 1, 0, 0, 0}, Date{20, 24, 2, 30, 0, 0, 0}, Date{20, 24, 1, 0, 0, 0, 0},
                        Date{20, 24, 1, 1, 24, 0, 0}, Date{0, 0, 0, 0, 0, 0, 0}}) {
    HecrInfo h;
    h.printerStartDate = d;
    const auto raw = RawOf(2, h.Build());
    const double date = vk::DeviceRawDataToInfo(raw).PrnStartDate;
    EXPECT_EQ(date, 0.0) << int(d[2]) << "-" << int(d[3]);
  }
  HecrInfo leap;
  leap.printerStartDate = {20, 24, 2, 29, 12, 0, 0};
  const double date = vk::DeviceRawDataToInfo(RawOf(2, leap.Build())).PrnStartDate;
  EXPECT_DOUBLE_EQ(date, 45351.5);
}

TEST(Discovery, PecrNameAndLegacyBoards) {
  struct Case {
    bool legacy;
    const char* tag;
    uint8_t power;
    const char* own;
    const char* name;
  } cases[] = {
      {false, "VEMKA", 0, " PS20 \t", "PS20"},   {false, "VEMKA", 0, "ABCDEFGH", "ABCDEFGH"},
      {false, "VEMKA", 0xAC, "  ", "NB7P(3.3V)"}, {false, "OTHER", 0, "PS20", "NB7P(5V)"},
      {false, "OTHER", 0xAC, "PS20", "NB7P(3.3V)"}, {false, "", 7, "PS20", "NB7P(None)"},
      {true, "VEMKA", 0, "PS20", "NB7P"},
  };
  for (const Case& c : cases) {
    PecrInfo p;
    p.legacyBoard = c.legacy;
    p.makerTag = c.tag;
    p.power = c.power;
    p.name = c.own;
    EXPECT_EQ(NameOf(vk::DeviceRawDataToInfo(RawOf(1, p.Build()))), c.name) << c.own;
  }

  // A legacy board's block cannot carry its facts: fixed values stand in.
  PecrInfo legacy;
  legacy.legacyBoard = true;
  const auto raw = RawOf(1, legacy.Build());
  ASSERT_EQ(raw.Raw[4], 255);
  ASSERT_EQ(raw.Raw[131], 128);
  const TVKSDKDeviceInfo info = vk::DeviceRawDataToInfo(raw);
  EXPECT_EQ(Val(info.Version), 0u);
  EXPECT_EQ(Val(info.BuildDate), 0x20050101u);
  EXPECT_EQ(Val(info.KeyType), 2);
  EXPECT_EQ(Val(info.ID), 0u);
  EXPECT_EQ(Val(info.CPUIDLen), 0);
  for (uint8_t b : info.CPUID) EXPECT_EQ(b, 0);
  EXPECT_EQ(Val(info.DisplayType), raw.Raw[51]);  // read as it is

  for (auto [sent, kept] : {std::pair<uint8_t, uint8_t>{209, 2}, {0, 1}, {5, 5}, {2, 2}}) {
    PecrInfo p;
    p.keyType = sent;
    EXPECT_EQ(Val(vk::DeviceRawDataToInfo(RawOf(1, p.Build())).KeyType), kept) << int(sent);
  }
}

TEST(Discovery, TSecrVersionAndSerialTexts) {
  struct Version {
    const char16_t* text;
    uint32_t value;
  } versions[] = {
      {u"1.2.3.4", 0x01020304},   {u"2.0.21.4", 0x02001504}, {u"10.0.1", 0x0A000100},       {u"1.300.0.0", 0x022C0000},
      {u"1.x.3.4", 0x01000304},   {u"", 0},                      {u"255.255.255.255", 0xFFFFFFFF},
      {u"256.0.0.1", 0x00000001}, {u"1.2.3.4.5", 0x06020304},    {u"1..3.4", 0x01000304},
  };
  for (const auto& v : versions) EXPECT_EQ(vk::StrVer2IntVer(v.text), v.value);

  struct Serial {
    std::string text;
    uint32_t id;
  } serials[] = {
      {"TS0000000042", 42}, {"  123  ", 123}, {std::string("77\0\0", 4), 77}, {"ABC", 0},
      {"", 0},              {"12345678901", 45678901}, {"1234567A", 0},
  };
  for (const auto& s : serials) EXPECT_EQ(vk::TSecrSerialToID(s.text), s.id) << s.text;
}

// Replies that are too short, broken, or carry no version are not devices.
TEST(Discovery, IncompleteRepliesAreIgnored) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  struct Case {
    const char* what;
    Family family;
    Faults faults;
    size_t pecrLength = 259;
    std::string tsecrVersion = "1.0.0.1";
    bool accepted;
  };
  Faults shortAnswer, badCrc, badHead;
  shortAnswer.shortAnswer = true;
  badCrc.badCrc = true;
  badHead.badHeadSum = true;
  const Case cases[] = {
      {"Hecr whole", Family::Hecr, {}, 259, "", true},
      {"Hecr 255 data bytes", Family::Hecr, shortAnswer, 259, "", false},
      {"Hecr bad CRC", Family::Hecr, badCrc, 259, "", false},
      {"Hecr bad head sum", Family::Hecr, badHead, 259, "", false},
      {"Pecr 255 bytes", Family::Pecr, {}, 255, "", false},
      {"Pecr 256 bytes", Family::Pecr, {}, 256, "", true},
      {"Pecr 300 bytes", Family::Pecr, {}, 300, "", true},
      {"TSecr no version", Family::TSecr, {}, 259, "", false},
      {"TSecr 127 bytes", Family::TSecr, shortAnswer, 259, "1.0.0.1", false},
      {"TSecr 128 bytes", Family::TSecr, {}, 259, "1.0.0.1", true},
  };
  int host = 10;
  for (const Case& c : cases) {
    SimNetwork net;
    const std::string addr = LoopbackAddr(host++);
    SimDevice* dev = nullptr;
    if (c.family == Family::Hecr) {
      dev = &net.AddHecr(addr);
    } else if (c.family == Family::Pecr) {
      PecrInfo p;
      p.replyLength = c.pecrLength;
      dev = &net.AddPecr(addr, p);
    } else {
      TSecrInfo t;
      t.versionText = c.tsecrVersion;
      t.replyLength = 128;
      dev = &net.AddTSecr(addr, t);
    }
    dev->SetFaults(c.faults);
    net.Start(false);
    const auto raw = vk::GetDeviceRawData(W(addr), 0, static_cast<uint32_t>(c.family), false, -1, 1, nullptr);
    EXPECT_EQ(raw.ProtocolType, c.accepted ? static_cast<uint8_t>(c.family) : 0) << c.what;
    if (c.accepted && c.family == Family::Pecr) {
      const Bytes block = dev->InfoBlock();
      EXPECT_EQ(0, std::memcmp(raw.Raw, block.data(), 256)) << c.what;
    }
  }
}

TEST(Discovery, DetectionTriesTheFamiliesInOrderOnTheirOwnPorts) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  SimNetwork net;
  SimDevice& hecr = net.AddHecr(LoopbackAddr(2));
  SimDevice& pecr = net.AddPecr(LoopbackAddr(2));
  SimDevice& tsecr = net.AddTSecr(LoopbackAddr(3));
  net.Start(false);

  vk::TVKDebugList lines;
  // Hecr answers first; Pecr is never asked.
  EXPECT_EQ(vk::GetDeviceRawData(W(LoopbackAddr(2)), 9999, 0, false, -1, 1, &lines).ProtocolType, 2);
  EXPECT_EQ(pecr.Log().Count(Direction::Received), 0u);
  EXPECT_FALSE(lines.Empty());
  // Only TSecr answers at .3: Hecr and Pecr are asked first, on their ports.
  auto raw = vk::GetDeviceRawData(W(LoopbackAddr(3)), 9999, 0, true, -1, 1, nullptr);
  EXPECT_EQ(raw.ProtocolType, 3);
  EXPECT_EQ(raw.PeerPort, 5003u);
  const auto asked = tsecr.Log().Of(Direction::Received);
  ASSERT_EQ(asked.size(), 1u);
  ASSERT_EQ(asked[0].bytes.size(), 40u);
  EXPECT_EQ(std::string(asked[0].bytes.begin() + 24, asked[0].bytes.begin() + 31), "VEMKAAI");
  EXPECT_EQ(hecr.Log().Count(Direction::Received), 1u);

  // The Pecr question carries its tag only in the first form.
  EXPECT_EQ(vk::GetDeviceRawData(W(LoopbackAddr(2)), 0, 1, false, -1, 1, nullptr).ProtocolType, 1);
  EXPECT_EQ(vk::GetDeviceRawData(W(LoopbackAddr(2)), 0, 1, true, -1, 1, nullptr).ProtocolType, 1);
  const auto pecrAsked = pecr.Log().Of(Direction::Received);
  ASSERT_EQ(pecrAsked.size(), 2u);
  ASSERT_EQ(pecrAsked[0].bytes.size(), 259u);
  EXPECT_EQ(std::string(pecrAsked[0].bytes.begin() + 3, pecrAsked[0].bytes.begin() + 12),
            std::string("\xFF\x0F\x00" "fenrow", 9));
  EXPECT_EQ(std::string(pecrAsked[1].bytes.begin() + 3, pecrAsked[1].bytes.begin() + 12),
            std::string("\xFF\x0F\x00\0\0\0\0\0\0", 9));

  // A type with no family sends nothing.
  EXPECT_TRUE(vk::GetDeviceRawData(W(LoopbackAddr(2)), 0, 7, true, -1, 3, nullptr).IsEmpty());
  EXPECT_EQ(hecr.Log().Count(Direction::Received), 1u);
  EXPECT_EQ(pecr.Log().Count(Direction::Received), 2u);
}

TEST(Discovery, SegmentScanReturnsEveryFamilyInOrder) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  SimNetwork net;
  net.AddTSecr(LoopbackAddr(5));
  net.AddPecr(LoopbackAddr(3));
  net.AddHecr(LoopbackAddr(2));
  net.AddTSecr(LoopbackAddr(6));
  net.AddPecr(LoopbackAddr(4));
  net.AddHecr(LoopbackAddr(1));
  net.Start();

  std::array<TVKSDKDeviceInfo, 10> infos{};
  const int32_t n = vk::GetDevicesInfo(W(vk::test::LoopbackScanAddr()), 0, 0, infos.data(), 10, -1);
  ASSERT_EQ(n, 6);
  const uint32_t families[] = {2, 2, 1, 1, 3, 3};
  std::set<uint32_t> addrs;
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(Val(infos[i].ProtocolType), families[i]) << i;
    addrs.insert(infos[i].Addr);
  }
  EXPECT_EQ(addrs.size(), 6u);
  EXPECT_EQ(Val(infos[6].ProtocolType), 0u);

  // One family only, and a capacity below the number of devices.
  std::array<TVKSDKDeviceInfo, 3> few;
  std::memset(few.data(), 0xCC, sizeof(few));
  EXPECT_EQ(vk::GetDevicesInfo(W(vk::test::LoopbackScanAddr()), 0, 1, few.data(), 3, -1), 2);
  EXPECT_EQ(Val(few[1].ProtocolType), 1u);
  EXPECT_EQ(Val(few[2].ProtocolType), 0xCCCCCCCCu);  // untouched
  EXPECT_EQ(vk::GetDevicesInfo(W(vk::test::LoopbackScanAddr()), 0, 0, few.data(), 2, -1), 2);
  EXPECT_EQ(Val(few[2].ProtocolType), 0xCCCCCCCCu);
  EXPECT_EQ(vk::GetDevicesInfo(W(vk::test::LoopbackScanAddr()), 0, 4, few.data(), 3, -1), 0);
  EXPECT_EQ(vk::GetDevicesInfo(W(vk::test::LoopbackScanAddr()), 0, 0, nullptr, 3, -1), 0);
}

// A Hecr answer that arrives after the Hecr part of a scan has ended must
// not be taken for a Pecr device in the next part.
TEST(Discovery, LateHecrAnswerIsNotAPecrDevice) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  SimNetwork net;
  SimDevice& hecr = net.AddHecr(LoopbackAddr(2));
  Faults late;
  late.delayMs = 300;  // the Hecr part listens 200 ms
  hecr.SetFaults(late);
  net.Start();

  std::array<TVKSDKDeviceInfo, 4> infos{};
  const int32_t n = vk::GetDevicesInfo(W(vk::test::LoopbackScanAddr()), 0, 0, infos.data(), 4, -1);
  ASSERT_TRUE(hecr.Log().WaitFor(Direction::Sent, 1, std::chrono::seconds(5)));
  for (int i = 0; i < n; ++i) EXPECT_NE(Val(infos[i].ProtocolType), 1u) << i;
}

TEST(Discovery, M3ProbeAsksThePecrPort) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams();
  SimNetwork net;
  SimDevice& pecr = net.AddPecr(LoopbackAddr(2));
  net.Start(false);
  const std::u16string addr = W(LoopbackAddr(2));
  struct Case {
    M3Answer answer;
    bool m3;
  } cases[] = {{M3Answer::None, true}, {M3Answer::Short, true}, {M3Answer::ZeroData, true},
               {M3Answer::NonZeroData, false}};
  for (const Case& c : cases) {
    pecr.SetM3Answer(c.answer);
    EXPECT_EQ(vk::isM3Mode(addr, 5002, nullptr), c.m3) << static_cast<int>(c.answer);
  }
  const auto asked = pecr.Log().Of(Direction::Received);
  ASSERT_FALSE(asked.empty());
  const Bytes probe = asked.back().bytes;
  ASSERT_EQ(probe.size(), 259u);
  EXPECT_EQ(probe[0], 0xA0);
  EXPECT_EQ(probe[1], 0);
  EXPECT_EQ(probe[2], 0);
  EXPECT_EQ(asked.back().local.port, 5001);

  // The INI may decide without asking.
  pecr.Log().Clear();
  UseParams("OldM3Mode=1\n");
  pecr.SetM3Answer(M3Answer::ZeroData);
  EXPECT_FALSE(vk::isM3Mode(addr, 5002, nullptr));
  UseParams("OldM3Mode=2\n");
  pecr.SetM3Answer(M3Answer::NonZeroData);
  EXPECT_TRUE(vk::isM3Mode(addr, 5002, nullptr));
  EXPECT_EQ(pecr.Log().Count(Direction::Received), 0u);
}

TEST(Discovery, UnansweredInfoQueryLeavesAFailureFile) {
  const fs::path debugDir = UseParams("", "[Function]\nDetectProtocol=1\n");
  const TVKSDKDeviceInfo info = vk::GetDeviceInfo(u"127.1.0.9", 5002, 2, -1, -1);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&info);
  EXPECT_EQ(std::count(bytes, bytes + 256, 0), 256);

  const vk::platform::LocalTime now = vk::platform::Now();
  char date[16];
  std::snprintf(date, sizeof(date), "%04d%02d%02d", now.year, now.month, now.day);
  const fs::path file = debugDir / ("GetDeviceInfo_" + std::string(date) + "_" +
                                    std::to_string(vk::platform::CurrentThreadId()) + "_connect failed.txt");
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << file;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The protocol type after DetectProtocol has turned it into 0.
  EXPECT_NE(text.find("IP Address:127.1.0.9  Port:5002  ProtocolType:0\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Connect Failed!  "), std::string::npos);
  EXPECT_NE(text.find(std::string(73, '-')), std::string::npos);
}

TEST(Discovery, DetectProtocolFindsAHecrDeviceWhenPecrIsAsked) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  UseParams("", "[Function]\nDetectProtocol=1\n");
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2));
  net.Start(false);
  EXPECT_EQ(Val(vk::GetDeviceInfo(W(LoopbackAddr(2)), 5001, 1, -1, -1).ProtocolType), 2u);
}

TEST(Discovery, ShelfSystemDevices) {
  struct Case {
    uint8_t family;
    size_t at;
    uint8_t letter;
    bool shelf;
  } cases[] = {{2, 146, 'j', true}, {2, 146, 'z', true}, {2, 146, 'J', false}, {2, 172, 'j', false},
               {3, 172, 'z', true}, {3, 146, 'z', false}, {1, 146, 'j', false}, {1, 172, 'z', false}};
  for (const Case& c : cases) {
    vk::TVKSDKDeviceRawData raw;
    raw.ProtocolType = c.family;
    raw.Raw[c.at] = c.letter;
    EXPECT_EQ(vk::IsShelfSystemDevice(raw), c.shelf) << int(c.family) << " " << c.at << " " << c.letter;
  }
}

}  // namespace
