// The task exports as a host sees them: through dlopen of the built library.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "support/sdk_loader.h"

namespace {

namespace fs = std::filesystem;

// Nothing ever listens on 127.1.x.x: the simulators use 127.0.K.N.
constexpr uint32_t kSilentAddr = 0x7F010009;  // 127.1.0.9
const char16_t* kSilentText = u"127.1.0.9";

struct Call {
  uint32_t code, index, total;
  std::thread::id thread;
};

struct Recorder {
  std::mutex m;
  std::vector<Call> calls;
  static void VEMKA_CALL Cb(uint32_t code, uint32_t index, uint32_t total, void* user) {
    auto* r = static_cast<Recorder*>(user);
    std::lock_guard<std::mutex> g(r->m);
    r->calls.push_back({code, index, total, std::this_thread::get_id()});
  }
};

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(dir, ec)) out.push_back(e.path());
  return out;
}

TEST(TaskExports, LifecycleResults) {
  auto& sdk = vktest::LoadSdkDefault();
  EXPECT_EQ(sdk.Initialize(nullptr), 1);
  EXPECT_EQ(sdk.Initialize(nullptr), 1);
  EXPECT_EQ(sdk.GetLastTaskError(), 0);
  sdk.Finalize();
}

TEST(TaskExports, UndetectableDeviceIsReportedOnTheCallingThread) {
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  sdk.Initialize(nullptr);
  struct Case {
    uint32_t protocolType, expected;
  } cases[] = {{0, 266}, {2, 266}, {3, 266}, {4, 270}, {0x104, 270}};
  for (const auto& c : cases) {
    Recorder r;
    uint32_t code = sdk.Sync_ExecTask(kSilentText, 5002, c.protocolType, 0, 0, u"plu.txt", &Recorder::Cb, &r);
    EXPECT_EQ(code, c.expected) << c.protocolType;
    ASSERT_EQ(r.calls.size(), 1u) << c.protocolType;
    EXPECT_EQ(r.calls[0].code, c.expected);
    EXPECT_EQ(r.calls[0].index, 0u);
    EXPECT_EQ(r.calls[0].total, 0u);
    EXPECT_EQ(r.calls[0].thread, std::this_thread::get_id());
  }
  Recorder r;
  EXPECT_EQ(sdk.ExecTask(kSilentAddr, 5002, 2, 0, 0, u"plu.txt", &Recorder::Cb, &r), VKSDK_INVALID_TASK);
  EXPECT_EQ(sdk.Sync_ExecTask(kSilentText, 5002, 2, 0, 0, u"plu.txt", nullptr, nullptr), 266u);
  EXPECT_EQ(sdk.Sync_ExecTask_PB(kSilentText, 5002, 4, 0, 0, u"plu.txt"), 270u);
  EXPECT_EQ(sdk.Sync_ExecTaskA_PB("127.1.0.9", 5002, 2, 0, 0, "plu.txt"), 266u);

  // Each failure leaves a "connect failed" file.
  int failures = 0;
  for (auto& f : FilesIn(debugDir)) {
    std::string name = f.filename().string();
    if (name.rfind("127.1.0.9_", 0) == 0 && name.size() > 19 &&
        name.compare(name.size() - 19, 19, "_connect failed.txt") == 0)
      ++failures;
  }
  EXPECT_GE(failures, 1);
}

TEST(TaskExports, ConcurrentPBCallsKeepTheirOwnResults) {
  auto& sdk = vktest::LoadSdkDefault();
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      uint32_t protocolType = t % 2 ? 4 : 2;
      uint32_t expected = t % 2 ? 270 : 266;
      for (int i = 0; i < 20; ++i)
        if (sdk.Sync_ExecTask_PB(kSilentText, 5002, protocolType, 0, 0, u"x.txt") != expected) ++wrong;
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(TaskExports, WaitAndStopReturnAtOnceForUnknownHandles) {
  auto& sdk = vktest::LoadSdkDefault();
  sdk.WaitForTask(VKSDK_INVALID_TASK);
  sdk.StopTask(VKSDK_INVALID_TASK);
  sdk.WaitForTask(12345);
  sdk.StopTask(12345);
  sdk.StopTask(0);  // no task running
}

// Data type 37 needs no detection: the task runs on port 5002 whatever the
// device says, so its debug file shows how the packed value was unpacked.
TEST(TaskExports, PackedValueCarriesProcTypeAndDataID) {
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  Recorder r;
  VKSDK_TASK h = sdk.ExecTask(kSilentAddr, 9999, 2, 0x00000501, 37, u"out.txt", &Recorder::Cb, &r);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  sdk.WaitForTask(h);
  sdk.WaitForTask(h);  // finished: returns at once
  sdk.StopTask(h);
  ASSERT_FALSE(r.calls.empty());
  EXPECT_NE(r.calls.back().thread, std::this_thread::get_id());

  bool found = false;
  for (auto& f : FilesIn(debugDir)) {
    std::string name = f.filename().string();
    if (name.rfind("127.1.0.9_", 0) != 0 || name.find("_0x01_0x0025_debug") == std::string::npos) continue;
    std::ifstream in(f);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("ProcType:0x01  DataType:0x0025  DataID:0x05"), std::string::npos);
    EXPECT_NE(text.find("Port:5002"), std::string::npos);
    found = true;
  }
  EXPECT_TRUE(found);
}

TEST(TaskExports, AnsiAndWideFormsStartTheSameTask) {
  auto& sdk = vktest::LoadSdkDefault();
  Recorder wide, ansi;
  sdk.WaitForTask(sdk.ExecTaskEx(kSilentAddr, 5002, 2, 1, 37, 5, u"a.txt", &Recorder::Cb, &wide));
  sdk.WaitForTask(sdk.ExecTaskExA(kSilentAddr, 5002, 2, 1, 37, 5, "a.txt", &Recorder::Cb, &ansi));
  ASSERT_FALSE(wide.calls.empty());
  ASSERT_EQ(wide.calls.size(), ansi.calls.size());
  for (size_t i = 0; i < wide.calls.size(); ++i) EXPECT_EQ(wide.calls[i].code, ansi.calls[i].code);
}

}  // namespace

namespace {

// Final codes (anything but progress) a recorder heard.
size_t FinalCalls(Recorder& r) {
  std::lock_guard<std::mutex> g(r.m);
  size_t n = 0;
  for (const auto& c : r.calls) n += c.code != VKSDK_PROGRESS;
  return n;
}

void VEMKA_CALL ExitThreadOnFinalCode(uint32_t code, uint32_t, uint32_t, void* user) {
  if (code == VKSDK_PROGRESS) return;
  ++*static_cast<std::atomic<int>*>(user);
  pthread_exit(nullptr);
}

}  // namespace

// A task stopped from another thread right after it was created still tells
// its host how it ended, exactly once. Data type 37 starts a task without
// asking the address anything.
TEST(TaskExports, TaskStoppedAtOnceReportsExactlyOneFinalCode) {
  auto& sdk = vktest::LoadSdkDefault();
  constexpr int kTasks = 200;
  std::vector<Recorder> recorders(kTasks);
  std::vector<std::thread> stoppers;
  for (int i = 0; i < kTasks; ++i) {
    VKSDK_TASK task = sdk.ExecTask(kSilentAddr, 5002, 2, 0, 37, u"x.txt", &Recorder::Cb, &recorders[i]);
    ASSERT_NE(task, VKSDK_INVALID_TASK);
    stoppers.emplace_back([&sdk, task] { sdk.StopTask(task); });
  }
  for (auto& t : stoppers) t.join();
  sdk.StopTask(0);  // waits for every task still running
  for (int i = 0; i < kTasks; ++i) {
    EXPECT_EQ(FinalCalls(recorders[i]), 1u) << "task " << i;
    std::lock_guard<std::mutex> g(recorders[i].m);
    for (const auto& c : recorders[i].calls)
      if (c.code != VKSDK_PROGRESS) EXPECT_TRUE(c.code == VKSDK_TERMINATED || c.code == VKSDK_ERR_UNSUPPORTED) << c.code;
  }
}

// A host callback that ends its thread (pthread_exit) unwinds through the
// task: the process goes on, and a waiter is still woken.
TEST(TaskExports, CallbackThatEndsItsThreadDoesNotAbortTheProcess) {
  auto& sdk = vktest::LoadSdkDefault();
  std::atomic<int> calls{0};
  VKSDK_TASK task = sdk.ExecTask(kSilentAddr, 5002, 2, 0, 37, u"x.txt", &ExitThreadOnFinalCode, &calls);
  ASSERT_NE(task, VKSDK_INVALID_TASK);
  sdk.WaitForTask(task);
  EXPECT_EQ(calls.load(), 1);
}

// Detection failures in quick succession on one thread each keep a file.
TEST(TaskExports, EveryDetectionFailureKeepsItsOwnFile) {
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  constexpr int kFailures = 50;
  for (int i = 0; i < kFailures; ++i) EXPECT_EQ(sdk.Sync_ExecTask_PB(kSilentText, 5002, 4, 0, 0, u"x.txt"), 270u);
  int files = 0;
  for (auto& f : FilesIn(debugDir)) files += f.filename().string().ends_with("_connect failed.txt");
  EXPECT_EQ(files, kFailures);
}

// A task address must be a dotted IPv4 address: anything else fails with 266
// on the calling thread, and every file the SDK writes stays inside the
// debug directory.
TEST(TaskExports, AddressThatIsNotIPv4IsRefusedAndFilesStayInside) {
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  const fs::path outside = debugDir.parent_path() / "outside";
  const std::u16string escape = u"../outside/127.0.0.9";
  for (const std::u16string addr : {escape, std::u16string(u"127.0.0"), std::u16string(u"1.2.3.256"),
                                    std::u16string(u" 127.0.0.9"), std::u16string()}) {
    for (int32_t dataType : {0, 37}) {
      Recorder r;
      EXPECT_EQ(sdk.Sync_ExecTaskW(addr.c_str(), 5002, 0, 0, dataType, u"x.txt", &Recorder::Cb, &r), 266u);
      EXPECT_EQ(FinalCalls(r), 1u);
    }
  }
  EXPECT_FALSE(fs::exists(outside));
  int notes = 0;
  for (auto& f : FilesIn(debugDir)) {
    std::ifstream in(f, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    notes += text.find("not an IPv4 address") != std::string::npos;
  }
  EXPECT_EQ(notes, 10);
}
