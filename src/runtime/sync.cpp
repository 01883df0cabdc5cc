#include "runtime/sync.h"

namespace vk {

void TVKEvent::Set() {
  // Notify under the lock: a waiter that frees the event once it wakes can
  // only wake after Set has let go of it.
  std::lock_guard<std::mutex> g(m_);
  set_ = true;
  cv_.notify_all();
}

void TVKEvent::Reset() {
  std::lock_guard<std::mutex> g(m_);
  set_ = false;
}

bool TVKEvent::Wait(uint32_t TimeoutMs) {
  std::unique_lock<std::mutex> g(m_);
  bool ok = cv_.wait_for(g, std::chrono::milliseconds(TimeoutMs), [this] { return set_; });
  if (ok && !manual_) set_ = false;
  return ok;
}

TVKLock::~TVKLock() {
  // Wait until no other thread holds the monitor before it goes away.
  std::unique_lock<std::mutex> g(m_);
  cv_.wait(g, [this] { return depth_ == 0 || owner_ == std::this_thread::get_id(); });
}

void TVKLock::Enter() {
  std::unique_lock<std::mutex> g(m_);
  auto me = std::this_thread::get_id();
  if (depth_ > 0 && owner_ == me) {
    ++depth_;
    return;
  }
  cv_.wait(g, [this] { return depth_ == 0; });
  owner_ = me;
  depth_ = 1;
}

bool TVKLock::Enter(uint32_t TimeoutMs) {
  std::unique_lock<std::mutex> g(m_);
  auto me = std::this_thread::get_id();
  if (depth_ > 0 && owner_ == me) {
    ++depth_;
    return true;
  }
  if (!cv_.wait_for(g, std::chrono::milliseconds(TimeoutMs), [this] { return depth_ == 0; })) return false;
  owner_ = me;
  depth_ = 1;
  return true;
}

void TVKLock::Leave() {
  {
    std::lock_guard<std::mutex> g(m_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
    if (--depth_ == 0) owner_ = std::thread::id();
  }
  cv_.notify_all();
}

bool TVKLock::Wait(uint32_t TimeoutMs) {
  std::unique_lock<std::mutex> g(m_);
  auto me = std::this_thread::get_id();
  if (depth_ == 0 || owner_ != me) return false;
  // Release the whole recursion while waiting, then take it back.
  uint32_t saved = depth_;
  depth_ = 0;
  owner_ = std::thread::id();
  uint64_t seen = pulses_;
  cv_.notify_all();
  bool signalled =
      cv_.wait_for(g, std::chrono::milliseconds(TimeoutMs), [this, seen] { return pulses_ != seen; });
  cv_.wait(g, [this] { return depth_ == 0; });
  owner_ = me;
  depth_ = saved;
  return signalled;
}

void TVKLock::Pulse() {
  {
    std::lock_guard<std::mutex> g(m_);
    ++pulses_;
  }
  cv_.notify_all();
}

TVKThreadOrderedList::~TVKThreadOrderedList() {
  FLock.Enter();
  FOrderedList.clear();
  FLock.Leave();
}

TVKThreadOrderedList::List& TVKThreadOrderedList::Lock() {
  FLock.Enter();
  return FOrderedList;
}

void TVKThreadOrderedList::Unlock() { FLock.Leave(); }

void TVKThreadOrderedList::Push(void* Item) {
  TVKLockGuard g(FLock);
  FOrderedList.push_back(Item);
}

void* TVKThreadOrderedList::Pop() {
  TVKLockGuard g(FLock);
  if (FOrderedList.empty()) return nullptr;
  void* item = FOrderedList.front();
  FOrderedList.pop_front();
  return item;
}

int32_t TVKThreadOrderedList::Count() {
  TVKLockGuard g(FLock);
  return static_cast<int32_t>(FOrderedList.size());
}

}  // namespace vk
