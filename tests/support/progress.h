// Records a task's progress calls (the callback every export takes), from
// whatever thread the task reports on.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "vemkasdk.h"

namespace vktest {

struct Call {
  uint32_t code = 0, index = 0, total = 0;
  std::thread::id thread{};
  // Calls compare by what the host was told, not by the thread.
  bool operator==(const Call& o) const { return code == o.code && index == o.index && total == o.total; }
};

struct Recorder {
  std::mutex m;
  std::vector<Call> calls;
  std::function<void(const Call&)> onCall;  // runs on the reporting thread

  static void VEMKA_CALL Cb(uint32_t code, uint32_t index, uint32_t total, void* user) {
    auto* r = static_cast<Recorder*>(user);
    const Call c{code, index, total, std::this_thread::get_id()};
    {
      std::lock_guard<std::mutex> g(r->m);
      r->calls.push_back(c);
    }
    if (r->onCall) r->onCall(c);
  }
  // The last call, or code 0xFFFFFFFF when there was none.
  Call Last() {
    std::lock_guard<std::mutex> g(m);
    return calls.empty() ? Call{0xFFFFFFFFu, 0, 0} : calls.back();
  }
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> g(m);
    return calls;
  }
};

}  // namespace vktest
