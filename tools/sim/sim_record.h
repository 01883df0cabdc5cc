// A thread-safe record of every datagram a simulated scale received and
// sent, for tests to assert order, count and bytes.
#pragma once

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

class Record {
 public:
  void Add(Datagram d);
  std::vector<Datagram> All() const;
  std::vector<Datagram> Of(Direction dir) const;
  size_t Count(Direction dir) const;
  // Waits until at least n datagrams of that direction are recorded.
  bool WaitFor(Direction dir, size_t n, std::chrono::milliseconds timeout) const;
  bool WaitReceived(size_t n, std::chrono::milliseconds timeout) const {
    return WaitFor(Direction::Received, n, timeout);
  }
  void Clear();
  // Called (on the scale's thread) for every datagram added.
  void SetObserver(std::function<void(const Datagram&)> observer);

 private:
  mutable std::mutex mu_;
  mutable std::condition_variable cv_;
  std::vector<Datagram> items_;
  std::function<void(const Datagram&)> observer_;
};

}  // namespace vemkasim
