#include "sim/sim_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace vemkasim {

std::string ScanAddressOf(const std::string& addr) {
  const size_t dot = addr.rfind('.');
  return (dot == std::string::npos ? addr : addr.substr(0, dot)) + ".255";
}

// ---------------------------------------------------------------- SimDevice

SimDevice::SimDevice(Family family, std::string addr, Bytes infoBlock)
    : family_(family), addr_(std::move(addr)), info_(std::move(infoBlock)) {}

SimDevice::~SimDevice() { Stop(); }

std::unique_ptr<SimDevice> SimDevice::Hecr(std::string addr, const HecrInfo& info) {
  return std::make_unique<SimDevice>(Family::Hecr, std::move(addr), info.Build());
}
std::unique_ptr<SimDevice> SimDevice::Pecr(std::string addr, const PecrInfo& info) {
  return std::make_unique<SimDevice>(Family::Pecr, std::move(addr), info.Build());
}
std::unique_ptr<SimDevice> SimDevice::TSecr(std::string addr, const TSecrInfo& info) {
  return std::make_unique<SimDevice>(Family::TSecr, std::move(addr), info.Build());
}

void SimDevice::Start() {
  if (running_) return;
  try {
    sock_ = BindUdp(addr_, Port());
    if (family_ == Family::TSecr && ServicePort() != Port()) replySock_ = BindUdp(addr_, ServicePort());
    pokeSock_ = BindUdp(addr_, 0);
    ownPeer_ = LocalOf(sock_);
    replyPeer_ = replySock_ != kNoSocket ? LocalOf(replySock_) : ownPeer_;
    pokePeer_ = LocalOf(pokeSock_);
  } catch (...) {
    CloseSock(sock_);
    CloseSock(replySock_);
    CloseSock(pokeSock_);
    throw;
  }
  stopping_ = false;
  exited_ = false;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void SimDevice::Stop() {
  if (!running_) return;
  {
    std::unique_lock lock(mu_);
    stopping_ = true;
    stopCv_.notify_all();  // ends a delay
    // A poke is lost when the socket's queue is full (a flood): poke again
    // until the thread has left its loop.
    while (!exited_) {
      Wake();
      stopCv_.wait_for(lock, std::chrono::milliseconds(20), [this] { return exited_; });
    }
  }
  if (thread_.joinable()) thread_.join();
  CloseSock(sock_);
  CloseSock(replySock_);
  CloseSock(altSock_);
  std::lock_guard lock(mu_);  // Deliver pokes under this lock
  CloseSock(pokeSock_);
  queue_.clear();
  running_ = false;
}

void SimDevice::Wake() { SendUdp(pokeSock_, ownPeer_, Bytes{}); }

void SimDevice::SetFaults(const Faults& f) {
  std::lock_guard lock(mu_);
  faults_ = f;
  ++faultsSet_;
}
Faults SimDevice::GetFaults() const {
  std::lock_guard lock(mu_);
  return faults_;
}
void SimDevice::SetInfoBlock(Bytes block) {
  std::lock_guard lock(mu_);
  info_ = std::move(block);
}
Bytes SimDevice::InfoBlock() const {
  std::lock_guard lock(mu_);
  return info_;
}
std::optional<uint8_t> SimDevice::InfoByte(size_t at) const {
  std::lock_guard lock(mu_);
  if (at >= info_.size()) return std::nullopt;
  return info_[at];
}
void SimDevice::SetM3Answer(M3Answer a) {
  std::lock_guard lock(mu_);
  m3_ = a;
}
void SimDevice::AddHandler(Handler h) {
  std::lock_guard lock(mu_);
  auto next = std::make_shared<std::vector<Handler>>(*handlers_);
  next->push_back(std::move(h));
  handlers_ = std::move(next);
}

void SimDevice::Deliver(const Bytes& request, const Peer& from, const Peer& via) {
  std::lock_guard lock(mu_);
  if (!running_ || stopping_) return;
  queue_.push_back({request, from, via});
  Wake();
}

void SimDevice::AddHecrCommand(uint16_t cmd, HecrCommand fn) {
  AddHandler([cmd, fn = std::move(fn)](const Bytes& req, const Peer& from) -> std::optional<Answers> {
    const auto frame = ParseHecr(req);
    if (!frame || frame->cmd != cmd) return std::nullopt;
    return fn(*frame, from);
  });
}

void SimDevice::AddPecrRequest(uint8_t dataType, PecrRequest fn) {
  AddHandler([dataType, fn = std::move(fn)](const Bytes& req, const Peer& from) -> std::optional<Answers> {
    if (req.size() < 3 || req[0] != dataType) return std::nullopt;
    return fn(req, static_cast<uint16_t>(GetLE(req, 1, 2)), from);
  });
}

// The thread waits in a receive on its socket alone, so a request costs one
// receive and one send, as for the plainest responder.
void SimDevice::Run() {
  // Reused for every request from the socket, so a request of the usual
  // size needs no allocation.
  Pending p;
  p.via = ownPeer_;
  while (!stopping_) {
    if (!RecvUdpWait(sock_, p.request, p.from)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // not a busy loop on a broken socket
      continue;
    }
    if (stopping_) break;
    if (p.request.empty() && p.from.port == pokePeer_.port && p.from.addr == pokePeer_.addr)
      HandleQueued();
    else
      Handle(p);
  }
  std::lock_guard lock(mu_);
  exited_ = true;
  stopCv_.notify_all();
}

void SimDevice::HandleQueued() {
  for (;;) {
    Pending scan;
    {
      std::lock_guard lock(mu_);
      if (stopping_ || queue_.empty()) return;
      scan = std::move(queue_.front());
      queue_.pop_front();
    }
    Handle(scan);
  }
}

void SimDevice::Handle(const Pending& p) {
  record_.Add(Direction::Received, p.via, p.from, p.request);

  Faults f;
  std::shared_ptr<const std::vector<Handler>> handlers;
  int seen;
  uint64_t faultsSet;
  {
    std::lock_guard lock(mu_);
    f = faults_;
    handlers = handlers_;
    seen = ++requestsSeen_;
    faultsSet = faultsSet_;
  }
  if (faultsSet != corruptRngFor_) {
    corruptRng_.seed(f.corruptSeed);
    corruptRngFor_ = faultsSet;
  }
  if (f.silent || seen <= f.dropFirst) return;

  std::optional<Answers> handled;
  for (const auto& h : *handlers) {
    handled = h(p.request, p.from);
    if (handled) break;
  }
  Answers answers = handled ? std::move(*handled) : BuiltInAnswers(p.request, f);
  if (answers.empty()) return;
  ApplyFaults(answers, f);

  if (f.delayMs > 0) {
    std::unique_lock lock(mu_);
    if (stopCv_.wait_for(lock, std::chrono::milliseconds(f.delayMs), [this] { return stopping_.load(); }))
      return;
  }

  if (f.answerTogether && !f.answerTogether->ArriveAndWait(stopping_)) return;

  SockFd out = replySock_ != kNoSocket ? replySock_ : sock_;
  const Peer* local = &replyPeer_;
  if (!f.answerFrom.empty()) {
    if (altSock_ == kNoSocket || altPeer_.addr != f.answerFrom) {
      CloseSock(altSock_);
      try {
        altSock_ = BindUdp(f.answerFrom, 0);
        altPeer_ = LocalOf(altSock_);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return;
      }
    }
    out = altSock_;
    local = &altPeer_;
  }
  const int copies = 1 + std::max(f.extraCopies, f.answerTwice ? 1 : 0);
  Bytes damaged;
  for (const auto& a : answers) {
    for (int copy = 0; copy < copies; ++copy) {
      const Bytes* send = &a;
      if (f.corruptPercent > 0) {
        damaged = a;
        if (Corrupt(damaged, f)) send = &damaged;
      }
      // Recorded first, so whoever receives the datagram finds it recorded.
      record_.Add(Direction::Sent, *local, p.from, *send);
      SendUdp(out, p.from, *send);
    }
  }
}

Answers SimDevice::BuiltInAnswers(const Bytes& req, const Faults& f) const {
  Bytes info;
  M3Answer m3;
  {
    std::lock_guard lock(mu_);
    info = info_;
    m3 = m3_;
  }
  switch (family_) {
    case Family::Hecr: {
      const auto frame = ParseHecr(req);
      if (!frame || frame->cmd != 0x7103) return {};
      info.resize(f.shortAnswer ? 255 : std::max<size_t>(info.size(), 256));
      return {BuildHecr(0x7103, 0, info)};
    }
    case Family::Pecr: {
      if (req.size() < 3) return {};
      const uint8_t dataType = req[0];
      const uint16_t addr = static_cast<uint16_t>(GetLE(req, 1, 2));
      if (dataType == 14 && addr == 3 && req.size() >= 6 && req[3] == 0xFF && req[4] == 0x0F &&
          req[5] == 0x00) {
        if (f.shortAnswer) info.resize(255);
        return {info};
      }
      if (dataType == 0xA0 && addr == 0) {
        switch (m3) {
          case M3Answer::None: return {};
          case M3Answer::Short: return {Bytes{0xA0, 0x00, 0x00}};
          case M3Answer::ZeroData: return {BuildPecr(0xA0, 0, {})};
          case M3Answer::NonZeroData: {
            Bytes data(256, 0);
            data[0] = 0x01;
            data[255] = 0x5A;
            return {BuildPecr(0xA0, 0, data)};
          }
        }
      }
      return {};
    }
    case Family::TSecr: {
      static const char kTag[] = "VEMKA";
      if (req.size() < 29 || GetLE(req, 0, 4) != 3 || std::memcmp(req.data() + 24, kTag, 5) != 0)
        return {};
      if (f.shortAnswer) info.resize(127);
      return {info};
    }
  }
  return {};
}

void SimDevice::ApplyFaults(Answers& answers, const Faults& f) const {
  for (auto& a : answers) {
    if (family_ == Family::Hecr) {
      if (f.badHeadSum && a.size() >= 13) ++a[12];
      if (f.badCrc && a.size() > 15) ++a.back();
    }
    if (f.truncateTo > 0 && a.size() > f.truncateTo) a.resize(f.truncateTo);
  }
}

bool SimDevice::Corrupt(Bytes& datagram, const Faults& f) {
  if (datagram.empty()) return false;
  std::uniform_real_distribution<double> share(0.0, 100.0);
  if (share(corruptRng_) >= f.corruptPercent) return false;
  std::uniform_int_distribution<size_t> bit(0, datagram.size() * 8 - 1);
  const size_t at = bit(corruptRng_);
  datagram[at / 8] ^= static_cast<uint8_t>(1u << (at % 8));
  return true;
}

bool AnswerGate::ArriveAndWait(const std::atomic<bool>& stop) {
  std::unique_lock lock(mu_);
  if (waiting_ > 0 && --waiting_ == 0) cv_.notify_all();
  // Woken in steps, so a device that is being stopped does not wait for
  // devices that will never arrive.
  while (waiting_ > 0)
    if (stop || cv_.wait_for(lock, std::chrono::milliseconds(20), [this] { return waiting_ == 0; })) break;
  return !stop;
}

// ---------------------------------------------------------------- SimSegment

SimSegment::SimSegment(std::string scanAddr) : scanAddr_(std::move(scanAddr)) {}
SimSegment::~SimSegment() { Stop(); }

void SimSegment::Add(SimDevice* device) { devices_.push_back(device); }

void SimSegment::Start() {
  if (thread_.joinable()) return;
  try {
    for (Family fam : {Family::Pecr, Family::Hecr, Family::TSecr}) {
      bool present = false;
      for (auto* d : devices_) present |= d->GetFamily() == fam;
      if (present) socks_.emplace_back(fam, BindUdp(scanAddr_, FamilyPort(fam)));
    }
    wake_.Open();
  } catch (...) {
    for (auto& s : socks_) CloseSock(s.second);
    socks_.clear();
    throw;
  }
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
}

void SimSegment::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  wake_.Signal();
  thread_.join();
  for (auto& s : socks_) CloseSock(s.second);
  socks_.clear();
  wake_.Close();
}

void SimSegment::Run() {
  std::vector<SockFd> fds;
  for (auto& s : socks_) fds.push_back(s.second);
  fds.push_back(wake_.ReadEnd());
  std::vector<bool> ready;
  while (!stopping_) {
    if (!WaitReadable(fds, ready)) break;
    for (size_t i = 0; i < socks_.size(); ++i) {
      if (!ready[i]) continue;
      const Family fam = socks_[i].first;
      const Peer via{scanAddr_, FamilyPort(fam)};
      Bytes req;
      Peer from;
      while (RecvUdp(socks_[i].second, req, from)) {
        record_.Add(Direction::Received, via, from, req);
        for (auto* d : devices_)
          if (d->GetFamily() == fam) d->Deliver(req, from, via);
      }
    }
    if (ready.back()) wake_.Drain();
  }
}

// ---------------------------------------------------------------- SimNetwork

SimNetwork::~SimNetwork() { Stop(); }

SimDevice& SimNetwork::Add(std::unique_ptr<SimDevice> device) {
  if (recordCapacity_ != kDefaultRecordCapacity) device->Log().SetCapacity(recordCapacity_);
  devices_.push_back(std::move(device));
  return *devices_.back();
}
SimDevice& SimNetwork::AddHecr(const std::string& addr, const HecrInfo& info) {
  return Add(SimDevice::Hecr(addr, info));
}
SimDevice& SimNetwork::AddPecr(const std::string& addr, const PecrInfo& info) {
  return Add(SimDevice::Pecr(addr, info));
}
SimDevice& SimNetwork::AddTSecr(const std::string& addr, const TSecrInfo& info) {
  return Add(SimDevice::TSecr(addr, info));
}

void SimNetwork::Start(bool scanListeners) {
  try {
    for (auto& d : devices_) d->Start();
    if (!scanListeners) return;
    for (auto& d : devices_) {
      const std::string scan = ScanAddressOf(d->Addr());
      auto& seg = segments_[scan];
      if (!seg) seg = std::make_unique<SimSegment>(scan);
      seg->Add(d.get());
    }
    for (auto& [addr, seg] : segments_) {
      seg->Log().SetCapacity(recordCapacity_);
      seg->Start();
    }
  } catch (...) {
    Stop();
    throw;
  }
}

void SimNetwork::Stop() {
  for (auto& [addr, seg] : segments_) seg->Stop();
  segments_.clear();
  for (auto& d : devices_) d->Stop();
}

void SimNetwork::SetRecordCapacity(size_t datagrams) {
  recordCapacity_ = datagrams;
  for (auto& d : devices_) d->Log().SetCapacity(datagrams);
  for (auto& [addr, seg] : segments_) seg->Log().SetCapacity(datagrams);
}

std::vector<SimDevice*> SimNetwork::Devices() const {
  std::vector<SimDevice*> out;
  for (auto& d : devices_) out.push_back(d.get());
  return out;
}

SimSegment* SimNetwork::Segment(const std::string& scanAddr) const {
  auto it = segments_.find(scanAddr);
  return it == segments_.end() ? nullptr : it->second.get();
}

}  // namespace vemkasim
