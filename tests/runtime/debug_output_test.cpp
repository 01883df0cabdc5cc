#include "runtime/debug_output.h"
#include "runtime/codepage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>

#include "device/device_header.h"
#include "runtime/ini_file.h"
#include "runtime_test_support.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

const std::string kStars(73, '*');
const std::string kDashes(73, '-');

TEST(DebugOutput, TimeTextsAndBaseFileName) {
  const platform::LocalTime t{2026, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(FormatDateTimeMs(t), "2026-01-02 03:04:05.006");
  EXPECT_EQ(FormatDateTimeSec(t), "2026-01-02 03:04:05");
  EXPECT_EQ(FormatTimeMs(t), "03:04:05.006");
  EXPECT_EQ(FormatFileStamp(t), "20260102_030405_006");
  EXPECT_EQ(FormatDate8(t), "20260102");
  const TDateTime start = platform::ToDateTime(t);
  EXPECT_EQ(FormatElapsed(start, start + 1.5 + 1.0 / 86400000.0 * 61001), "36:01:01.001");
  EXPECT_EQ(FormatElapsed(start, start - 1), "00:00:00.000");

  EXPECT_EQ(BuildBaseFileName(u"192.168.1.87", start, 140000123, 1, 0),
            u"192.168.1.87_20260102_030405_006_140000123_0x01_0x0000");
  EXPECT_EQ(BuildBaseFileName(u"10.0.0.1", start, 7, 0x1f, 0x12345), u"10.0.0.1_20260102_030405_006_7_0x1f_0x2345");
  EXPECT_EQ(BuildBaseFileName(u"10.0.0.1", start, 7, 3, -1), u"10.0.0.1_20260102_030405_006_7_0x03_0xffff");

  EXPECT_EQ(ProgressLogText(0, 5, 9), "Complete, Total: 9");
  EXPECT_EQ(ProgressLogText(1, 5, 9), "Progress: 5/9");
  EXPECT_EQ(ProgressLogText(266, 0, 0), "Proc Failed! ErrorCode:266  Progress: 0/0");
}

std::string Pad(const std::string& s) { return s + std::string(s.size() < 32 ? 32 - s.size() : 0, ' '); }

// A Hecr task's header parameters and the device it found; Header() adds
// the device part the way the task files do.
struct SampleTask : TVKTaskHeaderInfo {
  TVKSDKDeviceRawData RawData;
  TVKSDKDeviceInfo DeviceInfo{};
  TVKTaskHeaderInfo Header() const {
    TVKTaskHeaderInfo header = *this;
    SetHeaderDevice(header, RawData, DeviceInfo);
    return header;
  }
};

SampleTask SampleHecrTask() {
  SampleTask h;
  h.Addr = u"127.0.0.5";
  h.Port = 5002;
  h.ClassName = "TVKSDKHecrProtocol";
  h.ProcType = 0;
  h.DataType = 0x10025;
  h.DataID = 3;
  h.FileName = u"/data/plu.txt";
  auto& raw = h.RawData;
  raw.ProtocolType = 2;
  raw.PeerIP = 0x7F000005;
  raw.PeerPort = 5002;
  for (size_t i = 0; i < sizeof(raw.Raw); ++i) raw.Raw[i] = static_cast<uint8_t>(i);
  raw.Raw[26] = 192, raw.Raw[27] = 168, raw.Raw[28] = 1, raw.Raw[29] = 87;
  raw.Raw[80] = 0xA8, raw.Raw[81] = 0x03, raw.Raw[82] = 0, raw.Raw[83] = 0;  // code page 936
  auto& d = h.DeviceInfo;
  d.ProtocolType = 2;
  std::memcpy(d.Name, "AB 12", 5);
  d.ID = 12345678;
  d.Version = 0x6031;
  d.LFCodeLen = 5;
  d.Country = 86;
  d.KeyType = 2;
  d.HotKeyCount = 168;
  std::memcpy(d.CPUType, "M3AB", 4);
  d.DisplayType = 1;
  d.DefaultProtocol = 'A';
  d.TouchFlag = 0;
  const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::memcpy(d.MacAddr, mac, 6);
  d.CPUIDLen = 16;
  for (int i = 0; i < 16; ++i) d.CPUID[i] = static_cast<uint8_t>(i * 0x11);
  std::memcpy(d.AIName, "ABCDE", 5);
  d.AIID = 7;
  return h;
}

TEST(DebugOutput, TaskHeaderLayout) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n");
  TVKDebugList list;
  WriteTaskHeader(list, SampleHecrTask().Header());
  auto bytes = list.SavedBytes();
  auto lines = test::SavedLines(std::string(bytes.begin(), bytes.end()));

  const std::vector<std::string> head = {
      kStars,
      "IP Address:127.0.0.5  Port:5002  ClassName:TVKSDKHecrProtocol",
      "ProcType:0x00  DataType:0x0025  DataID:0x03",
      kDashes,
      "FileName:/data/plu.txt",
      kDashes,
      "Param File:" + (dir / "params.ini").string(),
      "Param File exists.",
      "Main Program:" + platform::ExecutablePath().string(),
      "DetectProtocol:False",
      kDashes,
  };
  const std::vector<std::string> tail = {
      "",
      Pad("Name:AB 12") + Pad("ID:12345678"),
      Pad("Version:V6.031") + Pad("LFCodeLen:5"),
      Pad("Country:86") + Pad("CodePage:936"),
      Pad("KeyType:2") + Pad("HotkeyCount:168"),
      Pad("CPUTYPE:M3AB") + Pad("DisplayType:1"),
      Pad("DefaultProtocol:0x41") + Pad("TouchFlag:0"),
      Pad("Mac Address:00-1A-2B-3C-4D-5E") + Pad("DeviceIP:192.168.1.87"),
      Pad("CPUIDLen:16") + Pad("CPUID:00112233445566778899AABBCCDDEEFF"),
      Pad("AIName:ABCDE") + Pad("AIID:7"),
      kStars,
      "",
  };
  ASSERT_EQ(lines.size(), head.size() + 17 + tail.size());
  for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(lines[i], head[i]) << "line " << i;
  EXPECT_EQ(lines[head.size()].substr(0, 9), "       0 ");  // the raw block's dump
  EXPECT_EQ(lines[head.size() + 1].substr(0, 13), "0000h  00 01 ");
  EXPECT_EQ(lines[head.size() + 16].substr(0, 13), "00f0h  F0 F1 ");
  for (size_t i = 0; i < tail.size(); ++i) EXPECT_EQ(lines[head.size() + 17 + i], tail[i]) << "tail line " << i;

  TVKDebugList detection;
  AppendDetectionLines(list, detection);  // nothing for no lines
  EXPECT_EQ(list.LineCount(), lines.size());
  detection.Add("probe 5002");
  AppendDetectionLines(list, detection);
  bytes = list.SavedBytes();
  EXPECT_TRUE(std::string(bytes.begin(), bytes.end()).ends_with("probe 5002 \r\n" + kDashes + " \r\n"));
}

TEST(DebugOutput, TaskHeaderItemsFollowTheFamily) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n[Function]\nDetectProtocol=1\n");
  struct Case {
    uint8_t family;
    uint32_t version;
    std::string versionItem, codePageItem, ipItem;
  } cases[] = {
      {3, 0x01020304, "Version:V1.2.3.4", "CodePage:0", "DeviceIP:N/A"},  // version text from the raw block
      {1, 0x0102, "Version:V0.102", "CodePage:0", "DeviceIP:N/A"},
      {2, 0x12345, "Version:V1.2345", "CodePage:936", "DeviceIP:192.168.1.87"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    auto h = SampleHecrTask();
    h.RawData.ProtocolType = c.family;
    h.DeviceInfo.Version = c.version;
    std::memset(h.RawData.Raw + 52, 0, 16);
    std::memcpy(h.RawData.Raw + 52, " 1.2.3.4\x01", 9);
    TVKDebugList list;
    WriteTaskHeader(list, h.Header());
    auto bytes = list.SavedBytes();
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("DetectProtocol:True \r\n"), std::string::npos);
    EXPECT_NE(text.find(Pad(c.versionItem) + Pad("LFCodeLen:5")), std::string::npos);
    EXPECT_NE(text.find(Pad("Country:86") + Pad(c.codePageItem)), std::string::npos);
    EXPECT_NE(text.find(Pad(c.ipItem) + " \r\n"), std::string::npos);
  }
}

std::set<std::string> FileNames(const fs::path& dir) {
  std::set<std::string> names;
  for (auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

void ExpectModTime(const fs::path& p, TDateTime want) {
  TDateTime got = 0;
  ASSERT_TRUE(platform::GetFileModTime(p, got)) << p;
  EXPECT_NEAR(got, want, 2.0 / 86400000.0) << p;
}

TEST(DebugOutput, TaskFilesFollowTheOutcomeAndLogLevel) {
  test::TempDir root;
  test::LoadIni(root, "[System]\nDebugDir=" + root.path().string() + "\n");
  const fs::path data = root / "plu.txt";
  test::WriteFile(data, "PLU\tName\r\n1\tApple\r\n");
  const TDateTime start = platform::ToDateTime({2026, 3, 4, 5, 6, 7, 890});
  const std::string B = "127.0.0.1_20260304_050607_890_42_0x00_0x0000";

  struct Case {
    const char* name;
    bool debug;
    int32_t outputLog;
    bool failed;
    uint8_t procType;
    std::set<std::string> files;
  } cases[] = {
      {"ok, log level 2", true, 2, false, 0, {B + "_debug.txt", B + "_plu.txt", B + "_log.txt"}},
      {"ok, log level 1", true, 1, false, 0, {B + "_debug.txt", B + "_plu.txt"}},
      {"failed, log level 1",
       true, 1, true, 0,
       {B + "_debug_failed_266.txt", B + "_plu.txt", B + "_log_failed_266.txt"}},
      {"upload: no copy here", true, 2, false, 1, {B + "_debug.txt", B + "_log.txt"}},
      {"no outputs", false, 0, true, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path out = root / c.name;
    fs::create_directories(out);
    TVKDebugList debug, log;
    debug.Add("debug body");
    log.Add("log body");
    TVKTaskFiles f;
    f.DebugList = c.debug ? &debug : nullptr;
    f.LogList = c.outputLog > 0 ? &log : nullptr;
    f.OutputLog = c.outputLog;
    f.DebugDir = out;
    f.BaseFileName = Utf8ToUtf16(B);
    f.StartTime = start;
    f.Failed = c.failed;
    f.ErrorCode = 266;
    f.ProcType = c.procType;
    f.FileName = data;
    SaveTaskFiles(f);
    EXPECT_EQ(FileNames(out), c.files);
    for (auto& n : c.files) ExpectModTime(out / n, start);
    if (c.files.count(B + "_plu.txt")) {
      EXPECT_EQ(test::ReadFile(out / (B + "_plu.txt")), test::ReadFile(data));
    }
    if (!c.debug) continue;
    const auto lines = test::SavedLines(test::ReadFile(out / *c.files.begin()));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "debug body");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Start at: 2026-03-04 05:06:07.890");
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"( Stop at: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})"))) << lines[3];
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"( Elapsed: \d{2,}:\d\d:\d\d\.\d{3})"))) << lines[4];
  }

  // The upload copy, made when an upload reports its final code.
  const fs::path up = root / "upload";
  fs::create_directories(up);
  CopyUploadFile(up, u"BASE", data, start);
  CopyUploadFile(up, u"BASE", root / "missing.txt", start);
  EXPECT_EQ(FileNames(up), std::set<std::string>{"BASE_plu.txt"});
  ExpectModTime(up / "BASE_plu.txt", start);
}

TEST(DebugOutput, PurgeDeletesOnlyOldSdkFilesOnceADay) {
  test::TempDir dir;
  const int32_t today = platform::Today();
  auto make = [&](const std::string& name, int age) {
    test::WriteFile(dir / name, "x");
    ASSERT_TRUE(platform::SetFileModTime(dir / name, today - age + 0.5));
  };
  struct Case {
    std::string name;
    int age;
    bool deleted;
  } cases[] = {
      {"127.0.0.1_20260101_101010_123_5_0x00_0x0000_debug.txt", 8, true},
      {"127.0.0.1_20260101_101010_123_5_0x00_0x0000_log_failed_266.txt", 30, true},
      {"127.0.0.1_20260101_101010_123_5_0x00_0x0000_plu.txt", 7, false},  // not older than 7 days
      {"192.168.10.200_20260101_101010_123_4567_0x01_0x0025_connect failed.txt", 9, true},
      {"GetDeviceInfo_20260101_4567_connect failed.txt", 9, true},
      {"vemkasdk_spill_4567_0_123.tmp", 9, true},
      {"notes.txt", 99, false},
      {"256.1.1.1_20260101_x.txt", 99, false},
      {"127.0.0.1_2026_x.txt", 99, false},
      {"GetDeviceInfo_20260101_4567_other.txt", 99, false},
      {"vemkasdk_spill_x.tmp", 99, false},
  };
  for (auto& c : cases) make(c.name, c.age);
  fs::create_directories(dir / "127.0.0.1_20260101_101010_dir");
  platform::SetFileModTime(dir / "127.0.0.1_20260101_101010_dir", today - 99);
  test::WriteFile(dir / "last.ini", "[Other]\r\nX=1\r\n");
  platform::SetFileModTime(dir / "last.ini", today - 99);

  PurgeOldDebugFiles(dir.path(), 7);
  for (auto& c : cases) EXPECT_EQ(fs::exists(dir / c.name), !c.deleted) << c.name;
  EXPECT_TRUE(fs::is_directory(dir / "127.0.0.1_20260101_101010_dir"));
  EXPECT_EQ(TVKIniFile(dir / "last.ini").ReadInteger(u"Param", u"Last", 0), today);
  EXPECT_EQ(TVKIniFile(dir / "last.ini").ReadInteger(u"Other", u"X", 0), 1);

  // The same day: no second purge.
  make(cases[0].name, 8);
  PurgeOldDebugFiles(dir.path(), 7);
  EXPECT_TRUE(fs::exists(dir / cases[0].name));
  // The next day it runs again.
  WriteIniInteger(dir / "last.ini", "Param", "Last", today - 1);
  PurgeOldDebugFiles(dir.path(), 7);
  EXPECT_FALSE(fs::exists(dir / cases[0].name));
}

TEST(DebugOutput, DetectionFailureFile) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nOutputDebug=0\nOutputLog=1\nDebugDir=" + dir.path().string() + "\n");
  TVKDebugList detection;
  detection.Add("Send to 127.0.0.9:5002");
  detection.AddDump(TVKBytes{0xAA, 0x01});

  TVKDetectionFailure f;
  f.Addr = u"127.0.0.9";
  f.Port = 5002;
  f.ProtocolType = 0;
  f.ProcType = 1;
  f.DataType = 0x10025;
  f.DataID = 2;
  f.FileName = u"/data/out.txt";
  const fs::path file = WriteDetectionFailure(detection, f);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file.parent_path(), dir.path());
  const std::string name = file.filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(127\.0\.0\.9_\d{8}_\d{6}_\d{3}_)" +
                                                std::to_string(platform::CurrentThreadId()) +
                                                R"(_0x01_0x0025_\d+_connect failed\.txt)")))
      << name;
  EXPECT_TRUE(IsSdkDebugFileName(file.filename().u16string()));

  const auto lines = test::SavedLines(test::ReadFile(file));
  const std::vector<std::string> head = {
      kStars,
      "IP Address:127.0.0.9  Port:5002  ProtocolType:0",
      "ProcType:0x01  DataType:0x0025  DataID:0x02",
      kDashes,
      "FileName:/data/out.txt",
      kDashes,
      "Param File:" + (dir / "params.ini").string(),
      "Main Program:" + platform::ExecutablePath().string(),
      "DetectProtocol:False",
      kDashes,
  };
  ASSERT_EQ(lines.size(), head.size() + 2 + 1 + 2);
  for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(lines[i], head[i]) << "line " << i;
  EXPECT_TRUE(std::regex_match(lines[10], std::regex(R"(Connect Failed!  \d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
      << lines[10];
  EXPECT_EQ(lines[11], kStars);
  EXPECT_EQ(lines[12], "Send to 127.0.0.9:5002");
  EXPECT_EQ(lines[14].substr(0, 13), "0000h  AA 01 ");
}

TEST(DebugOutput, NoFailureFilesWhenBothOutputsAreOff) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nOutputDebug=0\nOutputLog=0\nDebugDir=" + dir.path().string() + "\n");
  TVKDebugList detection;
  EXPECT_TRUE(WriteDetectionFailure(detection, TVKDetectionFailure{}).empty());
  WriteGetDeviceInfoFailure(u"127.0.0.9", 5002, 2);
  EXPECT_EQ(FileNames(dir.path()), std::set<std::string>{"params.ini"});
}

TEST(DebugOutput, GetDeviceInfoFailuresAppendToTheDaysFile) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n");
  WriteGetDeviceInfoFailure(u"127.0.0.9", 5002, 2);
  WriteGetDeviceInfoFailure(u"127.0.0.10", 5001, 0);
  const std::string name = "GetDeviceInfo_" + FormatDate8(platform::Now()) + "_" +
                           std::to_string(platform::CurrentThreadId()) + "_connect failed.txt";
  const std::string text = test::ReadFile(dir / name);
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
  EXPECT_TRUE(std::regex_match(text, std::regex("IP Address:127\\.0\\.0\\.9  Port:5002  ProtocolType:2\r\n"
                                                "Connect Failed!  " + stamp + "\r\n" + kDashes + "\r\n"
                                                "IP Address:127\\.0\\.0\\.10  Port:5001  ProtocolType:0\r\n"
                                                "Connect Failed!  " + stamp + "\r\n" + kDashes + "\r\n")))
      << text;
}

TEST(DebugOutput, WriteLogPaths) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n");
  const fs::path lib = platform::LibraryPath();
  const fs::path defaultDir = lib.parent_path() / (lib.stem().string() + "_log");
  EXPECT_EQ(DefaultLogDirectory(), defaultDir);

  // A name with a directory part is used as it is, directories created.
  const fs::path own = dir / "a" / "b" / "msg.log";
  WriteLog(u"first", own.u16string());
  WriteLog(u"zweite \u00e4", own.u16string());
  const TVKBytes second = StringToCodePageBytes(u"zweite \u00e4", 0);  // the ANSI code page
  EXPECT_EQ(test::ReadFile(own), "first\r\n" + std::string(second.begin(), second.end()) + "\r\n");

  // A bare name goes into the library's log directory.
  const std::string bare = "bare_" + std::to_string(platform::CurrentThreadId()) + ".txt";
  WriteLog(u"bare line", Utf8ToUtf16(bare));
  EXPECT_EQ(test::ReadFile(defaultDir / bare), "bare line\r\n");
  fs::remove(defaultDir / bare);

  // No name: the day's file there.
  const std::string marker = "dated " + std::to_string(platform::CurrentThreadId());
  WriteLog(Utf8ToUtf16(marker), u"");
  const std::string dated = test::ReadFile(defaultDir / (FormatDate8(platform::Now()) + ".txt"));
  EXPECT_TRUE(dated.ends_with(marker + "\r\n"));
}

}  // namespace
}  // namespace vk
