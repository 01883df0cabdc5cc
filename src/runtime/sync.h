// Events, the re-entrant task lock and the lock-protected queue.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace vk {

// A manual-reset or auto-reset event.
class TVKEvent {
 public:
  explicit TVKEvent(bool manualReset = true, bool initialState = false)
      : manual_(manualReset), set_(initialState) {}
  void Set();
  void Reset();
  // True when the event was set within TimeoutMs (an auto-reset event is
  // then cleared again).
  bool Wait(uint32_t TimeoutMs);

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool manual_;
  bool set_;
};
using TVKEventPtr = std::shared_ptr<TVKEvent>;

// A re-entrant monitor: a recursive lock with one condition.
class TVKLock {
 public:
  TVKLock() = default;
  ~TVKLock();
  TVKLock(const TVKLock&) = delete;
  TVKLock& operator=(const TVKLock&) = delete;

  void Enter();
  bool Enter(uint32_t TimeoutMs);
  void Leave();
  // The owner waits for Pulse for at most TimeoutMs; true when signalled.
  bool Wait(uint32_t TimeoutMs);
  void Pulse();

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::thread::id owner_{};
  uint32_t depth_ = 0;
  uint64_t pulses_ = 0;
};

// Holds a TVKLock for a scope.
class TVKLockGuard {
 public:
  explicit TVKLockGuard(TVKLock& l) : l_(l) { l_.Enter(); }
  ~TVKLockGuard() { l_.Leave(); }
  TVKLockGuard(const TVKLockGuard&) = delete;
  TVKLockGuard& operator=(const TVKLockGuard&) = delete;

 private:
  TVKLock& l_;
};

// A lock plus an ordered list of untyped pointers. The base class keeps the
// list as a queue too; TVKThreadQueue names the first-in-first-out use.
class TVKThreadOrderedList {
 public:
  using List = std::deque<void*>;
  TVKThreadOrderedList() = default;
  virtual ~TVKThreadOrderedList();

  // Acquire the lock and use the list directly; call Unlock afterwards.
  List& Lock();
  void Unlock();
  void Push(void* Item);
  // The oldest item, or null when the list is empty.
  void* Pop();
  int32_t Count();

 private:
  TVKLock FLock;
  List FOrderedList;
};

class TVKThreadQueue : public TVKThreadOrderedList {};

}  // namespace vk
