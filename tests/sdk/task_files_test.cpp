// The files a task leaves in the debug directory, seen by a host: names,
// contents and dates after a failed and a successful transfer.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/hecr_tables.h"
#include "sim/sim_device.h"
#include "support/loopback.h"
#include "support/sdk_loader.h"
#include "support/sim_support.h"

namespace {

namespace fs = std::filesystem;
using namespace vemkasim;

struct Last {
  uint32_t code = 0xFFFFFFFFu;
  static void VEMKA_CALL Cb(uint32_t code, uint32_t, uint32_t, void* user) {
    if (code != VKSDK_PROGRESS) static_cast<Last*>(user)->code = code;
  }
};

uint32_t ToInt(const std::string& dotted) {
  unsigned a, b, c, d;
  std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
  return (a << 24) | (b << 16) | (c << 8) | d;
}

std::vector<std::string> NamesWith(const fs::path& dir, const std::string& prefix) {
  std::vector<std::string> out;
  for (auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path().filename().string());
  return out;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class TaskFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    VKTEST_REQUIRE_IN_PROCESS_SCALES();
    // OutputLog 1: log files only for failed tasks.
    sdk_ = &vktest::LoadSdk(vktest::DefaultIni(DebugDir(), "OutputLog=1\n"));
    addr_ = vk::test::LoopbackAddr(2);
    dev_ = &net_.AddHecr(addr_, HecrInfo{});
    tables_ = std::make_unique<SimHecrTables>(*dev_);
    net_.Start(false);
    work_ = vktest::TempDir();
  }
  void TearDown() override {
    if (tables_) tables_->CancelLateAnswers();
    net_.Stop();
  }
  static fs::path DebugDir() {
    static fs::path d = vktest::TempDir() / "debug";
    return d;
  }
  uint32_t Run(uint32_t procType, const fs::path& file) {
    Last last;
    VKSDK_TASK h = sdk_->ExecTaskEx(ToInt(addr_), 5002, 2, procType, 0, 0, file.u16string().c_str(), &Last::Cb, &last);
    sdk_->WaitForTask(h);
    return last.code;
  }

  vktest::Sdk* sdk_ = nullptr;
  std::string addr_;
  SimNetwork net_;
  SimDevice* dev_ = nullptr;
  std::unique_ptr<SimHecrTables> tables_;
  fs::path work_;
};

TEST_F(TaskFiles, FailedDownloadLeavesFailedDebugAndLogFilesAndACopyDatedAtTheStart) {
  HecrCommandFaults silent;
  silent.drop = -1;
  tables_->SetFaults(kHecrPluDownload, silent);
  fs::path plu = work_ / "plu.txt";
  std::ofstream(plu, std::ios::binary) << "ID\tName1\tPrice\r\n1\tApple\t1.5\r\n";

  auto before = fs::file_time_type::clock::now() - std::chrono::seconds(2);
  ASSERT_EQ(Run(0, plu), 266u);
  auto after = fs::file_time_type::clock::now() + std::chrono::seconds(2);

  auto names = NamesWith(DebugDir(), addr_ + "_");
  std::string debug, log, copy;
  for (auto& n : names) {
    if (n.find("_0x00_0x0000") == std::string::npos) continue;
    if (EndsWith(n, "_debug_failed_266.txt")) debug = n;
    if (EndsWith(n, "_log_failed_266.txt")) log = n;
    if (EndsWith(n, "_plu.txt")) copy = n;
  }
  ASSERT_FALSE(debug.empty());
  ASSERT_FALSE(log.empty());
  ASSERT_FALSE(copy.empty());
  const std::string base = debug.substr(0, debug.size() - std::string("_debug_failed_266.txt").size());
  EXPECT_EQ(log, base + "_log_failed_266.txt");
  EXPECT_EQ(copy, base + "_plu.txt");

  // All three carry the task's start time.
  auto t = fs::last_write_time(DebugDir() / debug);
  EXPECT_GT(t, before);
  EXPECT_LT(t, after);
  EXPECT_EQ(fs::last_write_time(DebugDir() / log), t);
  EXPECT_EQ(fs::last_write_time(DebugDir() / copy), t);

  std::ifstream in(DebugDir() / debug, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("ClassName:TVKSDKHecrProtocol"), std::string::npos);
  EXPECT_NE(text.find("Proc Failed! ErrorCode:266"), std::string::npos);
  EXPECT_NE(text.find("Start at: "), std::string::npos);
  EXPECT_NE(text.find(" Elapsed: "), std::string::npos);
}

TEST_F(TaskFiles, SuccessfulUploadWithLogLevelOneLeavesNoLogFile) {
  fs::path out = work_ / "back.txt";
  ASSERT_EQ(Run(1, out), 0u);
  bool debug = false, copy = false;
  for (auto& n : NamesWith(DebugDir(), addr_ + "_")) {
    if (n.find("_0x01_0x0000") == std::string::npos) continue;
    EXPECT_EQ(n.find("_log"), std::string::npos) << n;
    debug |= EndsWith(n, "_debug.txt");
    copy |= EndsWith(n, "_back.txt");
  }
  EXPECT_TRUE(debug);
  EXPECT_TRUE(copy);
}

}  // namespace
