// A thread-safe record of the datagrams a simulated scale received and
// sent, for tests to assert order, count and bytes. It keeps the last
// Capacity() datagrams (a ring: the oldest make room for new ones and are
// counted as dropped); capacity 0 keeps none, so long runs cost no memory
// and no copies. Counts and waits cover every datagram since the last
// Clear, kept or not.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_wire.h"

namespace vemkasim {

struct Peer {
  std::string addr;
  uint16_t port = 0;
  std::string Text() const { return addr + ":" + std::to_string(port); }
};

enum class Direction { Received, Sent };

struct Datagram {
  std::chrono::steady_clock::time_point time;
  Direction dir = Direction::Received;
  Peer local;  // our socket (for a scan request, the segment's .255 address)
  Peer peer;   // the other side
  Bytes bytes;
};

// Datagrams a record keeps unless told otherwise: far more than any test
// exchange, a few tens of megabytes at most per scale.
constexpr size_t kDefaultRecordCapacity = 65536;

class Record {
 public:
  // Counts a datagram and keeps a copy of it (when the capacity allows or
  // an observer wants it).
  void Add(Direction dir, const Peer& local, const Peer& peer, const Bytes& bytes);
  void Add(Datagram d);
  // The kept datagrams, oldest first.
  std::vector<Datagram> All() const;
  std::vector<Datagram> Of(Direction dir) const;
  // Datagrams of that direction since the last Clear, dropped ones included.
  size_t Count(Direction dir) const;
  // Datagrams that made room for newer ones since the last Clear.
  uint64_t Dropped() const;
  // Waits until at least n datagrams of that direction are counted.
  bool WaitFor(Direction dir, size_t n, std::chrono::milliseconds timeout) const;
  bool WaitReceived(size_t n, std::chrono::milliseconds timeout) const {
    return WaitFor(Direction::Received, n, timeout);
  }
  // Forgets every datagram and the counts.
  void Clear();
  // How many datagrams are kept (0: none); a smaller capacity drops the
  // oldest at once.
  void SetCapacity(size_t datagrams);
  size_t Capacity() const;
  // Called (on the scale's thread) for every datagram added.
  void SetObserver(std::function<void(const Datagram&)> observer);

 private:
  void KeepLocked(Datagram d);
  std::vector<Datagram> InOrderLocked() const;

  mutable std::mutex mu_;
  mutable std::condition_variable cv_;
  mutable int waiters_ = 0;  // threads in WaitFor; nobody to wake when 0
  size_t capacity_ = kDefaultRecordCapacity;
  std::vector<Datagram> ring_;  // up to capacity_ datagrams; the oldest at start_ once full
  size_t start_ = 0;
  std::array<size_t, 2> counts_{};
  uint64_t dropped_ = 0;
  std::function<void(const Datagram&)> observer_;
};

}  // namespace vemkasim
