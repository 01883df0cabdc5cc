// The task exports as a host sees them: through dlopen of the built library.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "support/progress.h"
#include "support/sdk_loader.h"

namespace {

namespace fs = std::filesystem;

// Nothing ever listens on 127.1.x.x: the simulators use 127.0.K.N.
constexpr uint32_t kSilentAddr = 0x7F010009;  // 127.1.0.9
const char16_t* kSilentText = u"127.1.0.9";

using vktest::Call;
using vktest::Recorder;

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
    std::ifstream in(f, std::ios::binary);
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

#ifndef _WIN32
void VEMKA_CALL ExitThreadOnFinalCode(uint32_t code, uint32_t, uint32_t, void* user) {
  if (code == VKSDK_PROGRESS) return;
  ++*static_cast<std::atomic<int>*>(user);
  pthread_exit(nullptr);
}
#endif

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
#ifdef _WIN32
  GTEST_SKIP() << "ExitThread on Windows does not unwind the thread; only POSIX threads can end this way";
#else
  auto& sdk = vktest::LoadSdkDefault();
  std::atomic<int> calls{0};
  VKSDK_TASK task = sdk.ExecTask(kSilentAddr, 5002, 2, 0, 37, u"x.txt", &ExitThreadOnFinalCode, &calls);
  ASSERT_NE(task, VKSDK_INVALID_TASK);
  sdk.WaitForTask(task);
  EXPECT_EQ(calls.load(), 1);
#endif
}

// Detection failures in quick succession on one thread each keep a file.
TEST(TaskExports, EveryDetectionFailureKeepsItsOwnFile) {
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);
  constexpr int kFailures = 50;
  // Data type 0x7B marks this test's files among those of other tests.
  for (int i = 0; i < kFailures; ++i) EXPECT_EQ(sdk.Sync_ExecTask_PB(kSilentText, 5002, 4, 0, 0x7B, u"x.txt"), 270u);
  int files = 0;
  for (auto& f : FilesIn(debugDir)) {
    const std::string name = f.filename().string();
    files += name.find("_0x007b_") != std::string::npos && name.ends_with("_connect failed.txt");
  }
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

namespace {

using namespace std::chrono_literals;

// Waits (bounded) until `ready` holds; a gate that never opens fails the test
// instead of hanging it.
template <class Pred>
bool WaitUntil(Pred ready) {
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Runs `body`; aborts the test program when it has not finished within a
// generous time, so a deadlock fails the run instead of stalling it.
template <class Body>
void WithHangGuard(Body body) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread guard([&] {
    std::unique_lock<std::mutex> lk(m);
    if (!cv.wait_for(lk, 120s, [&] { return done; })) {
      std::fprintf(stderr, "hang guard: the tasks did not finish\n");
      std::abort();
    }
  });
  body();
  {
    std::lock_guard<std::mutex> g(m);
    done = true;
  }
  cv.notify_one();
  guard.join();
}

// One task of a pair: its callback, on the final code, waits until its
// partner's callback has started too, then stops (or waits for) the partner
// and stops every task.
struct CrossStopSide {
  vktest::Sdk* sdk = nullptr;
  bool stopPartner = true;  // false: wait for the partner instead
  std::atomic<int>* arrived = nullptr;  // shared by the pair
  std::atomic<VKSDK_TASK> partner{0};
  std::atomic<int> finals{0};
  std::atomic<bool> returned{false};
  std::atomic<bool> gateFailed{false};

  static void VEMKA_CALL Cb(uint32_t code, uint32_t, uint32_t, void* user) {
    auto* s = static_cast<CrossStopSide*>(user);
    if (code == VKSDK_PROGRESS) return;
    ++s->finals;
    ++*s->arrived;
    if (!WaitUntil([s] { return *s->arrived == 2 && s->partner != 0; })) s->gateFailed = true;
    if (s->stopPartner)
      s->sdk->StopTask(s->partner);
    else
      s->sdk->WaitForTask(s->partner);
    s->sdk->StopTask(0);
    s->returned = true;
  }
};

}  // namespace

// Callbacks of two tasks that stop or wait for each other (and then stop
// every task) never wait for each other: each only marks the other, so all
// of them return and every task ends with one final code.
TEST(TaskExports, CallbacksThatStopEachOtherAllFinish) {
  auto& sdk = vktest::LoadSdkDefault();
  for (bool stopPartner : {true, false}) {
    SCOPED_TRACE(stopPartner ? "stop the partner" : "wait for the partner");
    constexpr int kPairs = 50;
    std::vector<std::atomic<int>> arrived(kPairs);
    std::vector<CrossStopSide> sides(2 * kPairs);
    WithHangGuard([&] {
      std::vector<VKSDK_TASK> handles(sides.size());
      for (size_t i = 0; i < sides.size(); ++i) {
        sides[i].sdk = &sdk;
        sides[i].stopPartner = stopPartner;
        sides[i].arrived = &arrived[i / 2];
        handles[i] = sdk.ExecTask(kSilentAddr, 5002, 2, 0, 37, u"x.txt", &CrossStopSide::Cb, &sides[i]);
        ASSERT_NE(handles[i], VKSDK_INVALID_TASK);
      }
      for (size_t i = 0; i < sides.size(); ++i) sides[i].partner = handles[i ^ 1];
      sdk.StopTask(0);
    });
    for (size_t i = 0; i < sides.size(); ++i) {
      EXPECT_EQ(sides[i].finals.load(), 1) << "task " << i;
      EXPECT_TRUE(sides[i].returned.load()) << "task " << i;
      EXPECT_FALSE(sides[i].gateFailed.load()) << "task " << i;
    }
  }
}

namespace {

// A chain of callbacks: `first` waits for `middle`, `middle` waits for
// `last`, and `last` holds until the test lets it go.
struct ChainState {
  vktest::Sdk* sdk = nullptr;
  std::atomic<VKSDK_TASK> middle{0}, last{0};
  std::atomic<bool> firstWaiting{false}, middleWaiting{false}, releaseLast{false};
  std::atomic<bool> middleDone{false}, middleDoneSeenByFirst{false}, firstDone{false};
};

void VEMKA_CALL ChainFirst(uint32_t code, uint32_t, uint32_t, void* user) {
  auto* c = static_cast<ChainState*>(user);
  if (code == VKSDK_PROGRESS) return;
  WaitUntil([c] { return c->middle != 0; });
  c->firstWaiting = true;
  c->sdk->WaitForTask(c->middle);
  c->middleDoneSeenByFirst = c->middleDone.load();
  c->firstDone = true;
}

void VEMKA_CALL ChainMiddle(uint32_t code, uint32_t, uint32_t, void* user) {
  auto* c = static_cast<ChainState*>(user);
  if (code == VKSDK_PROGRESS) return;
  WaitUntil([c] { return c->last != 0; });
  c->middleWaiting = true;
  c->sdk->WaitForTask(c->last);
  c->middleDone = true;
}

void VEMKA_CALL ChainLast(uint32_t code, uint32_t, uint32_t, void* user) {
  auto* c = static_cast<ChainState*>(user);
  if (code == VKSDK_PROGRESS) return;
  WaitUntil([c] { return c->releaseLast.load(); });
}

}  // namespace

// A callback that waits for a task which is itself waiting, but not for the
// caller, still waits until that task has ended: only waits that would go
// round in a circle are cut short.
TEST(TaskExports, CallbackWaitsForATaskThatWaitsForAnother) {
  auto& sdk = vktest::LoadSdkDefault();
  ChainState c;
  c.sdk = &sdk;
  WithHangGuard([&] {
    VKSDK_TASK first = sdk.ExecTask(kSilentAddr, 5002, 2, 0, 37, u"x.txt", &ChainFirst, &c);
    VKSDK_TASK middle = sdk.ExecTask(kSilentAddr, 5002, 2, 0, 37, u"x.txt", &ChainMiddle, &c);
    VKSDK_TASK last = sdk.ExecTask(kSilentAddr, 5002, 2, 0, 37, u"x.txt", &ChainLast, &c);
    ASSERT_NE(first, VKSDK_INVALID_TASK);
    ASSERT_NE(middle, VKSDK_INVALID_TASK);
    ASSERT_NE(last, VKSDK_INVALID_TASK);
    c.last = last;
    c.middle = middle;
    ASSERT_TRUE(WaitUntil([&] { return c.firstWaiting && c.middleWaiting; }));
    std::this_thread::sleep_for(50ms);  // let both waits begin
    EXPECT_FALSE(c.firstDone.load());
    c.releaseLast = true;
    sdk.WaitForTask(first);
  });
  EXPECT_TRUE(c.firstDone.load());
  EXPECT_TRUE(c.middleDoneSeenByFirst.load());
}
