#include "sim/sim_record.h"

#include <algorithm>

namespace vemkasim {

void Record::Add(Datagram d) {
  std::function<void(const Datagram&)> observer;
  {
    std::lock_guard lock(mu_);
    observer = observer_;
    // The observer still needs the datagram after the lock.
    items_.push_back(observer ? d : std::move(d));
  }
  cv_.notify_all();
  if (observer) observer(d);
}

std::vector<Datagram> Record::All() const {
  std::lock_guard lock(mu_);
  return items_;
}

std::vector<Datagram> Record::Of(Direction dir) const {
  std::lock_guard lock(mu_);
  std::vector<Datagram> out;
  for (const auto& d : items_)
    if (d.dir == dir) out.push_back(d);
  return out;
}

size_t Record::Count(Direction dir) const {
  std::lock_guard lock(mu_);
  return static_cast<size_t>(
      std::count_if(items_.begin(), items_.end(), [dir](const Datagram& d) { return d.dir == dir; }));
}

bool Record::WaitFor(Direction dir, size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mu_);
  return cv_.wait_for(lock, timeout, [&] {
    return static_cast<size_t>(std::count_if(items_.begin(), items_.end(),
                                             [dir](const Datagram& d) { return d.dir == dir; })) >= n;
  });
}

void Record::Clear() {
  std::lock_guard lock(mu_);
  items_.clear();
}

void Record::SetObserver(std::function<void(const Datagram&)> observer) {
  std::lock_guard lock(mu_);
  observer_ = std::move(observer);
}

}  // namespace vemkasim
