// The task object, the task list and their concurrency, exercised with a
// family of our own whose tasks block until they are told to stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "runtime/sysparams.h"
#include "support/sdk_loader.h"
#include "tasks/custom_protocol.h"
#include "tasks/task_list.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::atomic<int> g_destroyed{0};

// Runs until terminated, then reports 2 like the device engines do.
class BlockingTask : public vk::TVKSDKCustomProtocol {
 public:
  using TVKSDKCustomProtocol::TVKSDKCustomProtocol;
  ~BlockingTask() override { ++g_destroyed; }
  const char* ClassName() const override { return "BlockingTask"; }

 protected:
  void Execute() override {
    TVKSDKCustomProtocol::Execute();
    while (!Terminated()) std::this_thread::sleep_for(2ms);
    DoProgress(VKSDK_TERMINATED, 0, 0);
  }
};

// Opens its files like every task, then reports what the base class did.
struct ProbeResult {
  bool hasFile = false;
  uint32_t fileCodePage = 0;
  bool failed = false;
  uint32_t code = 0;
  std::u16string baseFileName;
};

class ProbeTask : public vk::TVKSDKCustomProtocol {
 public:
  ProbeTask(const vk::TVKTaskCreateArgs& a, ProbeResult* out) : TVKSDKCustomProtocol(a), out_(out) {}
  const char* ClassName() const override { return "ProbeTask"; }

 protected:
  void Execute() override {
    TVKSDKCustomProtocol::Execute();
    auto* p = GetPExecParams();
    out_->hasFile = p->FileStream != nullptr;
    out_->fileCodePage = p->FileCodePage;
    out_->failed = p->isFailed;
    out_->code = p->nErrorCode;
    out_->baseFileName = BaseFileName;
    if (!Terminated()) DoProgress(VKSDK_OK, 0, 0);
  }

 private:
  ProbeResult* out_;
};

vk::TVKTaskCreateArgs Args(uint8_t procType, const std::u16string& file, int32_t dataType = 0) {
  vk::TVKTaskCreateArgs a;
  a.Addr = u"127.0.0.1";
  a.Port = 5002;
  a.ProcType = procType;
  a.DataType = dataType;
  a.FileName = file;
  return a;
}

ProbeResult RunProbe(const vk::TVKTaskCreateArgs& a) {
  ProbeResult r;
  VKSDK_TASK h = (new ProbeTask(a, &r))->Start();
  vk::TaskList::Wait(h);
  return r;
}

class TaskEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = vktest::TempDir();
    std::ofstream(dir_ / "test.ini") << vktest::DefaultIni(dir_ / "debug");
    ASSERT_EQ(vk::LoadSysParams(dir_ / "test.ini"), 0);
    g_destroyed = 0;
  }
  fs::path dir_;
};

TEST_F(TaskEngine, StopAllReturnsOnlyAfterEveryTaskIsDestroyed) {
  VKSDK_TASK h[3];
  for (auto& x : h) x = (new BlockingTask(Args(5, u"")))->Start();
  EXPECT_EQ(vk::TaskList::Count(), 3u);
  vk::TaskList::Stop(0);
  EXPECT_EQ(g_destroyed.load(), 3);
  EXPECT_EQ(vk::TaskList::Count(), 0u);
  // Stale handles are harmless.
  for (auto x : h) {
    vk::TaskList::Stop(x);
    vk::TaskList::Wait(x);
  }
  vk::TaskList::Wait(VKSDK_INVALID_TASK);
  vk::TaskList::Stop(VKSDK_INVALID_TASK);
}

TEST_F(TaskEngine, WaitDuringStopDoesNotReturnBeforeTheTaskIsGone) {
  VKSDK_TASK h = (new BlockingTask(Args(5, u"")))->Start();
  std::atomic<int> seenByWaiter{-1};
  std::thread waiter([&] {
    vk::TaskList::Wait(h);
    seenByWaiter = g_destroyed.load();
  });
  std::this_thread::sleep_for(20ms);
  vk::TaskList::Stop(h);
  waiter.join();
  EXPECT_EQ(seenByWaiter.load(), 1);
}

TEST_F(TaskEngine, HandlesAreNeverReused) {
  VKSDK_TASK first = (new BlockingTask(Args(5, u"")))->Start();
  vk::TaskList::Stop(first);
  VKSDK_TASK second = (new BlockingTask(Args(5, u"")))->Start();
  EXPECT_NE(first, second);
  vk::TaskList::Stop(first);  // the old handle must not touch the new task
  EXPECT_EQ(vk::TaskList::Count(), 1u);
  vk::TaskList::Stop(second);
}

// A callback that stops (or waits for) its own task must not wait for itself.
struct SelfStop {
  std::atomic<VKSDK_TASK> handle{VKSDK_INVALID_TASK};
  std::atomic<bool> returned{false};
};

class SelfStoppingTask : public vk::TVKSDKCustomProtocol {
 public:
  using TVKSDKCustomProtocol::TVKSDKCustomProtocol;
  const char* ClassName() const override { return "SelfStoppingTask"; }

 protected:
  void Execute() override {
    TVKSDKCustomProtocol::Execute();
    DoProgress(VKSDK_PROGRESS, 0, 1);
    while (!Terminated()) std::this_thread::sleep_for(1ms);
    DoProgress(VKSDK_TERMINATED, 0, 0);
  }
};

void VEMKA_CALL StopFromCallback(uint32_t code, uint32_t, uint32_t, void* user) {
  auto* s = static_cast<SelfStop*>(user);
  if (code != VKSDK_PROGRESS) return;
  while (s->handle == VKSDK_INVALID_TASK) std::this_thread::yield();
  vk::TaskList::Wait(s->handle);
  vk::TaskList::Stop(s->handle);
  vk::TaskList::Stop(0);
  s->returned = true;
}

TEST_F(TaskEngine, StopFromOwnCallbackRequestsTerminationWithoutWaiting) {
  SelfStop s;
  auto a = Args(5, u"");
  a.OnProgress = &StopFromCallback;
  a.UserData = &s;
  auto* t = new SelfStoppingTask(a);
  VKSDK_TASK h = t->Start();
  s.handle = h;
  vk::TaskList::Wait(h);
  EXPECT_TRUE(s.returned.load());
  EXPECT_EQ(vk::TaskList::Count(), 0u);
}

TEST_F(TaskEngine, UploadCreatesDirectoriesAndWritesTheMarkOfItsCodePage) {
  struct Case {
    const char* suffix;
    std::vector<uint8_t> mark;
  } cases[] = {{"?65001", {0xEF, 0xBB, 0xBF}}, {"?1200", {0xFF, 0xFE}}, {"?1201", {0xFE, 0xFF}}, {"", {}}};
  int i = 0;
  for (const auto& c : cases) {
    fs::path file = dir_ / ("new" + std::to_string(i++)) / "sub" / "plu.txt";
    ProbeResult r = RunProbe(Args(1, file.u16string() + vktest::U16(c.suffix)));
    EXPECT_TRUE(r.hasFile) << c.suffix;
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, c.mark) << c.suffix;
  }
}

TEST_F(TaskEngine, DownloadTakesTheCodePageFromTheFileMark) {
  fs::path file = dir_ / "be.txt";
  std::ofstream(file, std::ios::binary) << std::string("\xFE\xFF\x00I\x00D", 6);
  ProbeResult r = RunProbe(Args(0, file.u16string() + u"?936"));
  EXPECT_TRUE(r.hasFile);
  EXPECT_EQ(r.fileCodePage, 1201u);
  fs::path plain = dir_ / "plain.txt";
  std::ofstream(plain, std::ios::binary) << "ID\n";
  EXPECT_EQ(RunProbe(Args(0, plain.u16string() + u"?936")).fileCodePage, 936u);
}

TEST_F(TaskEngine, FileFailuresEndTheTaskWithTheirCodes) {
  // A missing input is 264; an output that cannot be created is 269; a
  // whole-table delete opens nothing.
  ProbeResult missing = RunProbe(Args(0, (dir_ / "absent.txt").u16string()));
  EXPECT_TRUE(missing.failed);
  EXPECT_EQ(missing.code, 264u);
  std::ofstream(dir_ / "blocker") << "x";
  ProbeResult uncreatable = RunProbe(Args(1, (dir_ / "blocker" / "out.txt").u16string()));
  EXPECT_EQ(uncreatable.code, 269u);
  ProbeResult clearAll = RunProbe(Args(3, u"*"));
  EXPECT_FALSE(clearAll.failed);
  EXPECT_FALSE(clearAll.hasFile);
}

TEST_F(TaskEngine, UploadFromVisciiScaleDefaultsToUtf16) {
  auto a = Args(1, (dir_ / "u.txt").u16string());
  a.RawData.ProtocolType = 2;
  const uint32_t viscii = 12581258;
  for (int i = 0; i < 4; ++i) a.RawData.Raw[80 + i] = static_cast<uint8_t>(viscii >> (8 * i));
  EXPECT_EQ(RunProbe(a).fileCodePage, 1200u);
  a.DataType = 150;
  a.FileName = (dir_ / "log.txt").u16string();
  EXPECT_EQ(RunProbe(a).fileCodePage, 0u);
}

TEST(FileNameSuffix, SplitsAtTheFirstQuestionMark) {
  struct Case {
    std::u16string text, name;
    uint32_t cp;
    bool suffix;
  } cases[] = {
      {u"plu.txt?65001", u"plu.txt", 65001, true},
      {u"plu.txt", u"plu.txt", 0, false},
      {u"plu.txt?abc", u"plu.txt", 0, true},
      {u"a?936?x", u"a", 936, true},
      {u"", u"", 0, false},
  };
  for (const auto& c : cases) {
    std::u16string name;
    uint32_t cp = 77;
    bool suffix = false;
    vk::SplitFileNameCodePage(c.text, name, cp, suffix);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(suffix, c.suffix);
    if (c.suffix) {
      EXPECT_EQ(cp, c.cp);
    }
  }
}

}  // namespace
