#include "sim/sim_record.h"

#include <utility>

namespace vemkasim {

namespace {
size_t Index(Direction dir) { return dir == Direction::Received ? 0 : 1; }
}  // namespace

// The common case of a long run (nothing kept, no observer, nobody waiting)
// takes the lock and bumps a count: no copy, no allocation, no wake-up.
void Record::Add(Direction dir, const Peer& local, const Peer& peer, const Bytes& bytes) {
  {
    std::lock_guard lock(mu_);
    if (capacity_ == 0 && !observer_) {
      ++counts_[Index(dir)];
      if (waiters_ > 0) cv_.notify_all();
      return;
    }
  }
  Add(Datagram{std::chrono::steady_clock::now(), dir, local, peer, bytes});
}

void Record::Add(Datagram d) {
  std::function<void(const Datagram&)> observer;
  {
    std::lock_guard lock(mu_);
    ++counts_[Index(d.dir)];
    observer = observer_;
    if (capacity_ > 0) KeepLocked(observer ? d : std::move(d));
    if (waiters_ > 0) cv_.notify_all();
  }
  if (observer) observer(d);
}

void Record::KeepLocked(Datagram d) {
  if (ring_.size() < capacity_) {
    ring_.push_back(std::move(d));
    return;
  }
  ring_[start_] = std::move(d);
  start_ = (start_ + 1) % capacity_;
  ++dropped_;
}

std::vector<Datagram> Record::InOrderLocked() const {
  std::vector<Datagram> out;
  out.reserve(ring_.size());
  for (size_t i = 0; i < ring_.size(); ++i) out.push_back(ring_[(start_ + i) % ring_.size()]);
  return out;
}

std::vector<Datagram> Record::All() const {
  std::lock_guard lock(mu_);
  return InOrderLocked();
}

std::vector<Datagram> Record::Of(Direction dir) const {
  std::lock_guard lock(mu_);
  std::vector<Datagram> out;
  for (size_t i = 0; i < ring_.size(); ++i) {
    const Datagram& d = ring_[(start_ + i) % ring_.size()];
    if (d.dir == dir) out.push_back(d);
  }
  return out;
}

size_t Record::Count(Direction dir) const {
  std::lock_guard lock(mu_);
  return counts_[Index(dir)];
}

uint64_t Record::Dropped() const {
  std::lock_guard lock(mu_);
  return dropped_;
}

bool Record::WaitFor(Direction dir, size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mu_);
  ++waiters_;
  const bool ok = cv_.wait_for(lock, timeout, [&] { return counts_[Index(dir)] >= n; });
  --waiters_;
  return ok;
}

void Record::Clear() {
  std::lock_guard lock(mu_);
  ring_.clear();
  start_ = 0;
  counts_ = {};
  dropped_ = 0;
}

void Record::SetCapacity(size_t datagrams) {
  std::lock_guard lock(mu_);
  if (datagrams < ring_.size()) {
    std::vector<Datagram> kept = InOrderLocked();
    const size_t cut = kept.size() - datagrams;
    dropped_ += cut;
    ring_.assign(std::make_move_iterator(kept.begin() + static_cast<ptrdiff_t>(cut)),
                 std::make_move_iterator(kept.end()));
  } else if (start_ != 0) {
    ring_ = InOrderLocked();
  }
  start_ = 0;
  capacity_ = datagrams;
  if (capacity_ == 0) ring_.shrink_to_fit();
}

size_t Record::Capacity() const {
  std::lock_guard lock(mu_);
  return capacity_;
}

void Record::SetObserver(std::function<void(const Datagram&)> observer) {
  std::lock_guard lock(mu_);
  observer_ = std::move(observer);
}

}  // namespace vemkasim
