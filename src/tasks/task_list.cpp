#include "tasks/task_list.h"

#include <map>
#include <mutex>
#include <vector>

#include "runtime/sync.h"
#include "tasks/custom_protocol.h"

namespace vk::TaskList {

namespace {

constexpr uint32_t kWaitForeverMs = 0x7FFFFFFF;

struct State {
  std::mutex lock;
  std::map<VKSDK_TASK, TVKSDKCustomProtocol*> tasks;  // ordered by creation
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

// Registers an event with every selected task (terminating them first when
// asked) and returns the events to wait for.
std::vector<TVKEventPtr> Select(VKSDK_TASK handle, bool terminate) {
  State& s = S();
  std::vector<TVKEventPtr> events;
  const auto me = std::this_thread::get_id();
  std::lock_guard<std::mutex> g(s.lock);
  for (auto& [h, task] : s.tasks) {
    if (handle != 0 && h != handle) continue;
    if (terminate) task->Terminate();
    if (task->ThreadId() == me) continue;  // never wait for ourselves
    auto ev = std::make_shared<TVKEvent>(true, false);
    task->RegisterDestroyEvent(ev);
    events.push_back(std::move(ev));
  }
  return events;
}

void WaitAll(const std::vector<TVKEventPtr>& events) {
  for (auto& ev : events) ev->Wait(kWaitForeverMs);
}

}  // namespace

VKSDK_TASK Add(TVKSDKCustomProtocol* task) {
  State& s = S();
  std::lock_guard<std::mutex> g(s.lock);
  VKSDK_TASK h = NextHandle(s);
  s.tasks.emplace(h, task);
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
  WaitAll(Select(handle, true));
  ReapFinishedThreads();
}

void Wait(VKSDK_TASK handle) {
  if (handle == 0 || handle == VKSDK_INVALID_TASK) return;
  WaitAll(Select(handle, false));
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
