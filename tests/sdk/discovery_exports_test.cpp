// The discovery exports and the task export's family detection, as a host
// sees them through dlopen, against simulated scales on this process's
// loopback range. Tests that need their own INI file are separate tests:
// each runs in a process of its own.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_device.h"
#include "support/loopback.h"
#include "support/sdk_loader.h"
#include "support/sim_support.h"
#include "transport/udp_client.h"

namespace {

namespace fs = std::filesystem;
using namespace vemkasim;
using vk::test::LoopbackAddr;

// Nothing listens on 127.1.x.x: the simulators use 127.0.K.N.
constexpr uint32_t kSilentAddr = 0x7F010009;  // 127.1.0.9

uint32_t IpOf(const std::string& dotted) {
  uint32_t a, b, c, d;
  EXPECT_EQ(std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d), 4);
  return (a << 24) | (b << 16) | (c << 8) | d;
}

template <class T>
T Val(T v) {
  return v;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The debug file of the one task run against `addr`.
std::string TaskDebugText(const fs::path& debugDir, const std::string& addr) {
  std::error_code ec;
  for (auto& e : fs::directory_iterator(debugDir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(addr + "_", 0) == 0 && name.find("_debug") != std::string::npos) return ReadFile(e.path());
  }
  return {};
}

std::string HeaderLine(const std::string& addr, int port, const char* className) {
  return "IP Address:" + addr + "  Port:" + std::to_string(port) + "  ClassName:" + className;
}

// Runs a task that ends in the task's own set-up (its input file is missing),
// so the outcome shows only what detection chose.
uint32_t RunDetectedTask(vktest::Sdk& sdk, const std::string& addr, uint32_t protocolType, int32_t dataType) {
  const std::u16string a = vktest::U16(addr);
  return sdk.Sync_ExecTask(a.c_str(), 5002, protocolType, 0, dataType, u"/nonexistent/vemka/plu.txt", nullptr,
                           nullptr);
}

HecrInfo NewHecr() {
  HecrInfo h;
  h.version = 0x7000;  // new firmware: no re-detection
  return h;
}

TEST(DiscoveryExports, DeviceTypeOfEachFamily) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrInfo km40 = NewHecr();
  km40.classLetter = '*';
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), NewHecr());
  net.AddHecr(LoopbackAddr(3), km40);
  net.AddPecr(LoopbackAddr(4));
  net.AddTSecr(LoopbackAddr(5));
  net.Start(false);
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(2)), 0, 1), 2u);
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(3)), 0, 0), 1u);  // "*" prefers Pecr
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(4)), 0, 2), 1u);
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(5)), 0, 0), 3u);
  EXPECT_EQ(sdk.GetDeviceType(kSilentAddr, 5002, 0), 0u);
}

HecrInfo OldFirmwareHecr() {
  HecrInfo h;
  h.version = 24983;
  h.classLetter = 0;
  return h;
}

TEST(DiscoveryExports, DeviceTypeOfOldFirmwareWithM3ModeOff) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "OldM3Mode=1\n"));
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), OldFirmwareHecr());
  net.Start(false);
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(2)), 5002, 0), 1u);
}

TEST(DiscoveryExports, DeviceTypeOfOldFirmwareWithM3ModeOn) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "OldM3Mode=2\n"));
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), OldFirmwareHecr());
  SimDevice& pecr = net.AddPecr(LoopbackAddr(2));
  net.Start(false);
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(2)), 5002, 0), 2u);
  EXPECT_EQ(pecr.Log().Count(Direction::Received), 0u);  // decided without a probe
}

TEST(DiscoveryExports, DeviceTypeAsksOldFirmwareAboutM3Mode) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), OldFirmwareHecr());
  SimDevice& pecr = net.AddPecr(LoopbackAddr(2));
  net.Start(false);
  pecr.SetM3Answer(M3Answer::NonZeroData);
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(2)), 5002, 0), 1u);
  pecr.SetM3Answer(M3Answer::ZeroData);
  EXPECT_EQ(sdk.GetDeviceType(IpOf(LoopbackAddr(2)), 5002, 0), 2u);
}

TEST(DiscoveryExports, RecordsAndNullPointers) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), NewHecr());
  net.Start(false);

  TVKSDKDeviceInfo info;
  std::memset(&info, 0xCC, sizeof(info));
  EXPECT_EQ(sdk.GetDeviceInfo(&info, IpOf(LoopbackAddr(2)), 5002, 2), &info);
  EXPECT_EQ(Val(info.ProtocolType), 2u);
  EXPECT_EQ(Val(info.Addr), IpOf(LoopbackAddr(2)));
  EXPECT_EQ(Val(info.Port), 5002u);
  EXPECT_EQ(info.Adjunct[90], 0);

  std::memset(&info, 0xCC, sizeof(info));
  EXPECT_EQ(sdk.GetDevicesInfo(IpOf(LoopbackAddr(2)), 5002, 0, &info), 1);
  EXPECT_EQ(Val(info.ProtocolType), 2u);

  // A silent address: false and 256 zero bytes.
  std::memset(&info, 0xCC, sizeof(info));
  EXPECT_EQ(sdk.GetDevicesInfo(kSilentAddr, 5002, 0, &info), 0);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&info);
  EXPECT_EQ(std::count(bytes, bytes + 256, 0), 256);
  std::memset(&info, 0xCC, sizeof(info));
  EXPECT_EQ(sdk.GetDeviceInfoEx(&info, kSilentAddr, 5002, 0, 50, 1), &info);
  EXPECT_EQ(std::count(bytes, bytes + 256, 0), 256);

  // Nowhere to write: the empty result, no crash.
  EXPECT_EQ(sdk.GetDeviceInfo(nullptr, IpOf(LoopbackAddr(2)), 5002, 2), nullptr);
  EXPECT_EQ(sdk.GetDeviceInfoEx(nullptr, IpOf(LoopbackAddr(2)), 5002, 2, 50, 1), nullptr);
  EXPECT_EQ(sdk.GetDevicesInfo(IpOf(LoopbackAddr(2)), 5002, 0, nullptr), 0);
  EXPECT_EQ(sdk.GetNetworkSectionDevicesInfo(IpOf(LoopbackAddr(2)), 5002, 0, nullptr, 4), 0);
  EXPECT_EQ(sdk.GetNetworkSectionDevicesInfoEx(IpOf(LoopbackAddr(2)), 5002, 0, nullptr, 4, 50), 0);
}

TEST(DiscoveryExports, SegmentScanStopsStoringAtCount) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  SimNetwork net;
  for (int host = 1; host <= 3; ++host) net.AddHecr(LoopbackAddr(host), NewHecr());
  net.AddPecr(LoopbackAddr(4));
  net.AddTSecr(LoopbackAddr(5));
  net.Start();
  const uint32_t scan = IpOf(vk::test::LoopbackScanAddr());

  std::vector<TVKSDKDeviceInfo> infos(4);
  std::memset(infos.data(), 0xCC, infos.size() * sizeof(TVKSDKDeviceInfo));
  EXPECT_EQ(sdk.GetNetworkSectionDevicesInfo(scan, 5002, 0, infos.data(), 2), 2);
  EXPECT_EQ(Val(infos[0].ProtocolType), 2u);
  EXPECT_EQ(Val(infos[1].ProtocolType), 2u);
  EXPECT_EQ(Val(infos[2].ProtocolType), 0xCCCCCCCCu);

  std::vector<TVKSDKDeviceInfo> all(8);
  EXPECT_EQ(sdk.GetNetworkSectionDevicesInfoEx(scan, 0, 0x300, all.data(), 8, 100), 5);  // low byte 0: every family
  EXPECT_EQ(Val(all[3].ProtocolType), 1u);
  EXPECT_EQ(Val(all[4].ProtocolType), 3u);
  EXPECT_EQ(Val(all[5].ProtocolType), 0u);
}

TEST(DiscoveryExports, DeviceListFile) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  SimNetwork net;
  net.AddTSecr(LoopbackAddr(7));
  net.AddPecr(LoopbackAddr(12));
  net.AddHecr(LoopbackAddr(3), NewHecr());
  net.Start();
  const uint32_t scan = IpOf(vk::test::LoopbackScanAddr());
  const fs::path dir = vktest::TempDir();

  // UTF-16LE with its mark; addresses in family order, an empty line between.
  const fs::path wide = dir / "list16.txt";
  const std::u16string wideName = vktest::U16(wide.string() + "?1200");
  EXPECT_EQ(sdk.GetNetworkSectionDeviceList(scan, 0, 0, 100, wideName.c_str()), 3);
  const std::u16string text = vktest::U16(LoopbackAddr(3) + "\r\n\r\n" + LoopbackAddr(12) + "\r\n\r\n" +
                                          LoopbackAddr(7) + "\r\n");
  std::string expected = "\xFF\xFE";
  for (char16_t c : text) expected += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  EXPECT_EQ(ReadFile(wide), expected);

  // Plain text from the A form, into a directory that does not exist yet.
  const fs::path plain = dir / "new" / "sub" / "list.txt";
  EXPECT_EQ(sdk.GetNetworkSectionDeviceListA(scan, 0, 1, 100, plain.string().c_str()), 1);
  EXPECT_EQ(ReadFile(plain), LoopbackAddr(12) + "\r\n");

  // Nothing found: only the mark, and 0.
  const fs::path empty8 = dir / "empty8.txt";
  const std::u16string empty8Name = vktest::U16(empty8.string() + "?65001");
  EXPECT_EQ(sdk.GetNetworkSectionDeviceListW(IpOf("127.1.0.255"), 0, 0, 50, empty8Name.c_str()), 0);
  EXPECT_EQ(ReadFile(empty8), "\xEF\xBB\xBF");
  const fs::path empty = dir / "empty.txt";
  EXPECT_EQ(sdk.GetNetworkSectionDeviceListA(IpOf("127.1.0.255"), 0, 0, 50, empty.string().c_str()), 0);
  EXPECT_TRUE(fs::exists(empty));
  EXPECT_EQ(fs::file_size(empty), 0u);

  // A file that cannot be created.
  const fs::path blocked = dir / "list16.txt" / "list.txt";
  EXPECT_EQ(sdk.GetNetworkSectionDeviceListA(scan, 0, 0, 50, blocked.string().c_str()), -1);
}

TEST(DiscoveryExports, DetectProtocolFindsHecrWhenPecrIsAsked) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "", "[Function]\nDetectProtocol=1\n"));
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), NewHecr());
  net.Start(false);
  TVKSDKDeviceInfo info{};
  sdk.GetDeviceInfo(&info, IpOf(LoopbackAddr(2)), 5001, 1);
  EXPECT_EQ(Val(info.ProtocolType), 2u);

  EXPECT_EQ(RunDetectedTask(sdk, LoopbackAddr(2), 1, 1), 264u);
  EXPECT_NE(TaskDebugText(dir, LoopbackAddr(2)).find(HeaderLine(LoopbackAddr(2), 5002, "TVKSDKHecrProtocol")),
            std::string::npos);
}

// The task talks to the port the device answered from, in the family that
// answered.
TEST(DiscoveryExports, TaskUsesTheFamilyAndPortThatAnswered) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  const uint16_t servicePort = static_cast<uint16_t>(21000 + vk::test::LoopbackRange());
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), NewHecr());
  net.AddPecr(LoopbackAddr(3));
  net.AddTSecr(LoopbackAddr(4)).SetServicePort(servicePort);
  net.Start(false);
  struct Case {
    std::string addr;
    uint32_t protocolType;
    int port;
    const char* className;
  } cases[] = {{LoopbackAddr(2), 0, 5002, "TVKSDKHecrProtocol"},
               {LoopbackAddr(3), 1, 5001, "TVKSDKPecrProtocol"},
               {LoopbackAddr(4), 0, servicePort, "TVKSDKTSecrProtocol"}};
  for (const Case& c : cases) {
    EXPECT_EQ(RunDetectedTask(sdk, c.addr, c.protocolType, 1), 264u) << c.addr;
    EXPECT_NE(TaskDebugText(debugDir, c.addr).find(HeaderLine(c.addr, c.port, c.className)), std::string::npos)
        << c.addr;
  }
}

// A touch Hecr scale is asked again as TSecr, except for the tables that
// only its Hecr side holds.
TEST(DiscoveryExports, TouchHecrScaleIsAskedAgainAsTSecr) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  HecrInfo touch = NewHecr();
  touch.touch = 1;
  SimNetwork net;
  for (int host : {2, 3}) {
    net.AddHecr(LoopbackAddr(host), touch);
    net.AddTSecr(LoopbackAddr(host));
  }
  net.Start(false);
  EXPECT_EQ(RunDetectedTask(sdk, LoopbackAddr(2), 0, 1), 264u);
  EXPECT_NE(TaskDebugText(debugDir, LoopbackAddr(2)).find(HeaderLine(LoopbackAddr(2), 5003, "TVKSDKTSecrProtocol")),
            std::string::npos);
  EXPECT_EQ(RunDetectedTask(sdk, LoopbackAddr(3), 0, 0), 264u);  // PLU table: stays Hecr
  EXPECT_NE(TaskDebugText(debugDir, LoopbackAddr(3)).find(HeaderLine(LoopbackAddr(3), 5002, "TVKSDKHecrProtocol")),
            std::string::npos);
}

// Old firmware that is not in M3 mode is driven as Pecr; a "*" scale whose
// Pecr side stays silent keeps its Hecr answer.
TEST(DiscoveryExports, OldFirmwareHecrScaleIsAskedAgainAsPecr) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  HecrInfo km40 = NewHecr();
  km40.classLetter = '*';
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), OldFirmwareHecr());
  net.AddPecr(LoopbackAddr(2)).SetM3Answer(M3Answer::NonZeroData);
  net.AddHecr(LoopbackAddr(3), km40);
  net.Start(false);

  EXPECT_EQ(RunDetectedTask(sdk, LoopbackAddr(2), 2, 1), 264u);
  EXPECT_NE(TaskDebugText(debugDir, LoopbackAddr(2)).find(HeaderLine(LoopbackAddr(2), 5001, "TVKSDKPecrProtocol")),
            std::string::npos);

  EXPECT_EQ(RunDetectedTask(sdk, LoopbackAddr(3), 2, 1), 264u);
  const std::string text = TaskDebugText(debugDir, LoopbackAddr(3));
  EXPECT_NE(text.find(HeaderLine(LoopbackAddr(3), 5002, "TVKSDKHecrProtocol")), std::string::npos);
  EXPECT_NE(text.find("Re-detection as protocol type 1 got no answer; keeping the first answer."), std::string::npos);
}

TEST(DiscoveryExports, SegmentAddressIsRefusedForATask) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  SimNetwork net;
  SimDevice& dev = net.AddHecr(LoopbackAddr(2), NewHecr());
  net.Start();
  EXPECT_EQ(RunDetectedTask(sdk, vk::test::LoopbackScanAddr(), 0, 1), 266u);
  EXPECT_EQ(dev.Log().Count(Direction::Received), 0u);
  bool found = false;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(debugDir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(vk::test::LoopbackScanAddr() + "_", 0) != 0 || name.find("connect failed") == std::string::npos)
      continue;
    found = ReadFile(e.path()).find("names a network segment") != std::string::npos;
  }
  EXPECT_TRUE(found);
}

// A /22 segment of 1,000 scales that all answer one scan at once: every
// answer is kept. With the system's default receive queue only about 166
// answers fitted and the rest were dropped.
TEST(DiscoveryExports, ScanOfAThousandDevicesFindsEveryOne) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  // Through the simulator's relay (Wine) every answer crosses one more
  // process and queue, so the burst measures the relay, not the SDK.
  if (std::getenv("VEMKA_SIM_RELAY")) GTEST_SKIP() << "a thousand simultaneous answers through the relay";
  constexpr int kDevices = 1000;
#ifndef _WIN32
  // Each simulated scale holds three descriptors (its socket and wake pipe).
  rlimit files{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
  if (files.rlim_cur < 4 * kDevices) {
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4 * kDevices);
    ::setrlimit(RLIMIT_NOFILE, &files);
    ::getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 4 * kDevices) GTEST_SKIP() << "only " << files.rlim_cur << " open files allowed";
  }
#endif
  // A system that caps every receive queue far below the scan's request
  // (an unprivileged process under a small net.core.rmem_max) cannot hold
  // 1,000 answers that arrive at once, whatever the SDK asks for.
  vk::UdpSocket probe;
  ASSERT_TRUE(probe.Open());
  if (probe.SetReceiveBuffer(vk::TVKSDKUDPClientClass::kScanReceiveBuffer) < kDevices * 1400u)
    GTEST_SKIP() << "the system grants only " << probe.ReceiveBufferSize() << " bytes of receive queue";

  auto& sdk = vktest::LoadSdkDefault();
  SimNetwork net;
  // The scales hold their answers until every one has its answer ready, so
  // the answers arrive together, as a real segment's do.
  Faults together;
  together.answerTogether = std::make_shared<AnswerGate>(kDevices);
  for (int host = 1; host <= kDevices; ++host)
    net.AddHecr(vk::test::LoopbackWideAddr(host), NewHecr()).SetFaults(together);
  net.Start(false);
  SimSegment segment(vk::test::LoopbackWideScanAddr());
  for (SimDevice* d : net.Devices()) segment.Add(d);
  segment.Start();

  std::vector<TVKSDKDeviceInfo> infos(kDevices + 24);
  const auto start = std::chrono::steady_clock::now();
  // The answers come only once all 1,000 scales have theirs ready, which
  // takes a loaded machine (or a sanitizer build) seconds: the scan's wait
  // for its first answer must outlast that.
  const int32_t found = sdk.GetNetworkSectionDevicesInfoEx(IpOf(vk::test::LoopbackWideScanAddr()), 5002, 2,
                                                           infos.data(), static_cast<int32_t>(infos.size()), 8000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));  // hang guard
  EXPECT_EQ(found, kDevices);
  std::set<uint32_t> addrs;
  for (int32_t i = 0; i < found; ++i) addrs.insert(Val(infos[i].Addr));
  EXPECT_EQ(addrs.size(), static_cast<size_t>(kDevices));
  segment.Stop();
}

}  // namespace
