#include "tasks/task_list.h"

#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "runtime/sync.h"
#include "tasks/custom_protocol.h"

namespace vk::TaskList {

namespace {

constexpr uint32_t kWaitForeverMs = 0x7FFFFFFF;

// A listed task, and the tasks its own thread is waiting for from inside
// its callback (empty while it is not waiting).
struct Entry {
  TVKSDKCustomProtocol* task = nullptr;
  std::vector<VKSDK_TASK> waitsFor;
};

struct State {
  std::mutex lock;
  std::map<VKSDK_TASK, Entry> tasks;  // ordered by creation
  uint64_t nextHandle = 1;
  std::mutex graveLock;
  std::vector<std::thread> graveyard;
};

State& S() {
  static State* s = new State;  // lives until process exit, also after unload hooks ran
  return *s;
}

VKSDK_TASK NextHandle(State& s) {
  // Skip 0 (means "all tasks") and the invalid value; on 32-bit builds the
  // counter wraps only after four billion tasks.
  for (;;) {
    VKSDK_TASK h = static_cast<VKSDK_TASK>(s.nextHandle++);
    if (h != 0 && h != VKSDK_INVALID_TASK && s.tasks.find(h) == s.tasks.end()) return h;
  }
}

// The listed task that runs on the calling thread (the caller is inside that
// task's callback), or the end of the list.
std::map<VKSDK_TASK, Entry>::iterator OwnTask(State& s) {
  const auto me = std::this_thread::get_id();
  for (auto it = s.tasks.begin(); it != s.tasks.end(); ++it)
    if (it->second.task->ThreadId() == me) return it;
  return s.tasks.end();
}

// The tasks that are, directly or through other tasks, waiting for `self`
// from inside their callbacks, and `self` itself. Waiting for any of them
// would close a circle of waits that never ends.
std::set<VKSDK_TASK> TasksWaitingFor(const State& s, VKSDK_TASK self) {
  std::map<VKSDK_TASK, std::vector<VKSDK_TASK>> waiters;
  for (const auto& [h, e] : s.tasks)
    for (VKSDK_TASK target : e.waitsFor) waiters[target].push_back(h);
  std::set<VKSDK_TASK> found{self};
  std::vector<VKSDK_TASK> todo{self};
  while (!todo.empty()) {
    const VKSDK_TASK target = todo.back();
    todo.pop_back();
    auto it = waiters.find(target);
    if (it == waiters.end()) continue;
    for (VKSDK_TASK h : it->second)
      if (found.insert(h).second) todo.push_back(h);
  }
  return found;
}

// A wait for the destruction of some tasks. Called on a task's own thread, it
// waits only for tasks that do not wait for that task themselves (a task
// never waits for itself, two callbacks that stop each other never wait for
// each other): those are only asked to terminate. Because the check and the
// registration happen under the list's lock, the waits between tasks never
// form a circle, so every such wait ends once the tasks it waits for end.
class DestroyWait {
 public:
  // Registers an event with every selected task (terminating them first
  // when asked).
  DestroyWait(VKSDK_TASK handle, bool terminate) {
    State& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    auto own = OwnTask(s);
    std::set<VKSDK_TASK> skip;
    if (own != s.tasks.end()) {
      self_ = own->first;
      skip = TasksWaitingFor(s, self_);
    }
    std::vector<VKSDK_TASK> waitsFor;
    for (auto& [h, e] : s.tasks) {
      if (handle != 0 && h != handle) continue;
      if (terminate) e.task->Terminate();
      if (skip.count(h)) continue;
      auto ev = std::make_shared<TVKEvent>(true, false);
      e.task->RegisterDestroyEvent(ev);
      events_.push_back(std::move(ev));
      waitsFor.push_back(h);
    }
    if (own != s.tasks.end()) own->second.waitsFor = std::move(waitsFor);
  }

  ~DestroyWait() {
    if (self_ == 0) return;
    State& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    auto own = s.tasks.find(self_);  // still listed: its thread is ours
    if (own != s.tasks.end()) own->second.waitsFor.clear();
  }

  DestroyWait(const DestroyWait&) = delete;
  DestroyWait& operator=(const DestroyWait&) = delete;

  void Wait() {
    for (auto& ev : events_) ev->Wait(kWaitForeverMs);
  }

 private:
  VKSDK_TASK self_ = 0;  // the caller's own task, 0 on a host thread
  std::vector<TVKEventPtr> events_;
};

}  // namespace

VKSDK_TASK Add(TVKSDKCustomProtocol* task) {
  State& s = S();
  std::lock_guard<std::mutex> g(s.lock);
  VKSDK_TASK h = NextHandle(s);
  s.tasks.emplace(h, Entry{task, {}});
  return h;
}

void Remove(VKSDK_TASK handle) {
  State& s = S();
  std::lock_guard<std::mutex> g(s.lock);
  s.tasks.erase(handle);
}

size_t Count() {
  State& s = S();
  std::lock_guard<std::mutex> g(s.lock);
  return s.tasks.size();
}

void Stop(VKSDK_TASK handle) {
  DestroyWait(handle, true).Wait();
  ReapFinishedThreads();
}

void AskToStop(VKSDK_TASK handle) {
  State& s = S();
  std::lock_guard<std::mutex> g(s.lock);
  for (auto& [h, e] : s.tasks)
    if (handle == 0 || h == handle) e.task->Terminate();
}

void Wait(VKSDK_TASK handle) {
  if (handle == 0 || handle == VKSDK_INVALID_TASK) return;
  DestroyWait(handle, false).Wait();
  ReapFinishedThreads();
}

void Bury(std::thread&& t) {
  State& s = S();
  std::lock_guard<std::mutex> g(s.graveLock);
  s.graveyard.push_back(std::move(t));
}

void ReapFinishedThreads() {
  State& s = S();
  std::vector<std::thread> toJoin;
  {
    std::lock_guard<std::mutex> g(s.graveLock);
    const auto me = std::this_thread::get_id();
    for (auto it = s.graveyard.begin(); it != s.graveyard.end();) {
      if (it->get_id() != me) {
        toJoin.push_back(std::move(*it));
        it = s.graveyard.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& t : toJoin) {
    if (t.joinable()) t.join();
  }
}

}  // namespace vk::TaskList
