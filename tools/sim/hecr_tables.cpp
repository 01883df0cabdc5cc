#include "sim/hecr_tables.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>

namespace vemkasim {

uint64_t BcdValue(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v * 100 + (p[i] >> 4) * 10 + (p[i] & 0x0F);
  return v;
}

uint32_t HecrPluRecordId(const Bytes& record, uint8_t lfCodeLen) {
  if (lfCodeLen == 8) return record.size() >= 243 ? static_cast<uint32_t>(BcdValue(&record[239], 4)) : 0;
  return record.size() >= 3 ? static_cast<uint32_t>(BcdValue(record.data(), 3)) : 0;
}

struct SimHecrTables::State {
  struct Command {
    HecrCommandFaults faults;
    int seen = 0;
  };

  mutable std::mutex mu;
  std::condition_variable lateCv;
  uint64_t lateGeneration = 0;  // bumped to release waiting late answers

  uint8_t lfCodeLen = 0;
  // ID -> record (empty when data is not kept). Hashed: a long download
  // stores a record per request, and a tree walk per record would make the
  // simulated scale the slow side.
  std::unordered_map<uint32_t, Bytes> plu;
  mutable std::vector<uint32_t> order;  // IDs ascending, rebuilt after changes
  mutable bool orderValid = true;
  uint64_t pluReceived = 0;
  bool keepPluData = true;
  Bytes clock;
  int clockCount = 0;
  std::array<uint16_t, 8> counters{};
  std::array<bool, 8> counterSet{};
  std::map<uint16_t, Command> commands;

  // Called with mu held.
  void Store(Bytes record) {
    const uint32_t id = HecrPluRecordId(record, lfCodeLen);
    if (!keepPluData) record = Bytes();
    auto [it, inserted] = plu.insert_or_assign(id, std::move(record));
    if (inserted) orderValid = false;
    ++pluReceived;
  }
  const std::vector<uint32_t>& Order() const {
    if (!orderValid) {
      order.clear();
      order.reserve(plu.size());
      for (const auto& [id, rec] : plu) order.push_back(id);
      std::sort(order.begin(), order.end());
      orderValid = true;
    }
    return order;
  }
  void Clear() {
    plu.clear();
    order.clear();
    orderValid = true;
  }

  std::optional<Answers> Serve(const Bytes& request, SimDevice& device);
};

namespace {

bool IsTableCommand(uint16_t cmd) {
  switch (cmd) {
    case kHecrSetClock:
    case kHecrTableCounts:
    case kHecrPluDownload:
    case kHecrPluUpload:
    case kHecrPluById:
    case kHecrPluClear:
      return true;
    default:
      return false;
  }
}

// True when request number n of a command falls into a knob's stretch.
bool Hits(int knob, int after, int n) { return knob != 0 && n > after && (knob < 0 || n <= after + knob); }

}  // namespace

std::optional<Answers> SimHecrTables::State::Serve(const Bytes& request, SimDevice& device) {
  if (request.size() < 13 || !IsTableCommand(static_cast<uint16_t>(GetBE(request, 5, 2)))) return std::nullopt;
  auto frame = ParseHecr(request);
  if (!frame) return std::nullopt;
  const std::optional<uint8_t> codeLen = device.InfoByte(147);

  std::unique_lock lock(mu);
  if (codeLen) lfCodeLen = *codeLen;
  Command& c = commands[frame->cmd];
  const int n = ++c.seen;
  const HecrCommandFaults f = c.faults;
  if (Hits(f.drop, f.after, n)) return Answers{};

  uint16_t cmd = kHecrAck;
  Bytes data;
  switch (frame->cmd) {
    case kHecrSetClock:
      clock = frame->data;
      ++clockCount;
      break;
    case kHecrTableCounts: {
      cmd = kHecrTableCounts;
      data.assign(16, 0);
      for (size_t i = 0; i < 8; ++i) {
        uint16_t v = counters[i];
        if (i == 0 && !counterSet[0]) v = static_cast<uint16_t>(std::min<size_t>(plu.size(), 0xFFFF));
        PutBE(data, i * 2, v, 2);
      }
      break;
    }
    case kHecrPluDownload:
      // A record of another size is not the scale's: it neither stores nor
      // acknowledges it.
      if (frame->data.size() != kHecrPluRecordSize) return Answers{};
      Store(std::move(frame->data));
      break;
    case kHecrPluUpload: {
      cmd = kHecrPluUpload;
      const auto& ids = Order();
      if (frame->param < ids.size()) data = plu.at(ids[frame->param]);
      break;
    }
    case kHecrPluById: {
      cmd = kHecrPluById;
      if (frame->data.size() >= 4) {
        auto it = plu.find(static_cast<uint32_t>(BcdValue(frame->data.data(), 4)));
        if (it != plu.end()) data = it->second;
      }
      break;
    }
    case kHecrPluClear:
      Clear();
      break;
  }

  uint16_t param = frame->param;
  if (Hits(f.wrongParam, f.after, n)) param = static_cast<uint16_t>(param - 1);
  if (Hits(f.wrongCmd, f.after, n)) cmd = static_cast<uint16_t>(cmd + 1);
  if (Hits(f.emptyData, f.after, n)) data.clear();
  Bytes answer = BuildHecr(cmd, param, data);
  if (Hits(f.badCrc, f.after, n)) ++answer[data.empty() ? 12 : answer.size() - 1];
  if (Hits(f.damage, f.after, n) && f.damageAt < answer.size()) answer[f.damageAt] ^= 1;

  if (Hits(f.late, f.after, n) && f.lateMs > 0) {
    const uint64_t generation = lateGeneration;
    if (lateCv.wait_for(lock, std::chrono::milliseconds(f.lateMs),
                        [&] { return lateGeneration != generation; }))
      return Answers{};
  }
  return Answers{std::move(answer)};
}

SimHecrTables::SimHecrTables(SimDevice& device) : state_(std::make_shared<State>()) {
  const Bytes info = device.InfoBlock();
  if (info.size() > 147) state_->lfCodeLen = info[147];
  device.AddHandler([state = state_, dev = &device](const Bytes& request, const Peer&) {
    return state->Serve(request, *dev);
  });
}

SimHecrTables::~SimHecrTables() {
  ClearFaults();
  CancelLateAnswers();
}

size_t SimHecrTables::PluCount() const {
  std::lock_guard lock(state_->mu);
  return state_->plu.size();
}

std::optional<Bytes> SimHecrTables::PluRecord(uint32_t id) const {
  std::lock_guard lock(state_->mu);
  auto it = state_->plu.find(id);
  if (it == state_->plu.end()) return std::nullopt;
  return it->second;
}

std::vector<uint32_t> SimHecrTables::PluIds() const {
  std::lock_guard lock(state_->mu);
  return state_->Order();
}

std::vector<Bytes> SimHecrTables::PluRecords() const {
  std::lock_guard lock(state_->mu);
  std::vector<Bytes> out;
  out.reserve(state_->plu.size());
  for (uint32_t id : state_->Order()) out.push_back(state_->plu.at(id));
  return out;
}

void SimHecrTables::PutPluRecord(Bytes record) {
  std::lock_guard lock(state_->mu);
  state_->Store(std::move(record));
}

void SimHecrTables::ClearPlu() {
  std::lock_guard lock(state_->mu);
  state_->Clear();
}

uint64_t SimHecrTables::PluReceived() const {
  std::lock_guard lock(state_->mu);
  return state_->pluReceived;
}

void SimHecrTables::SetKeepPluData(bool keep) {
  std::lock_guard lock(state_->mu);
  state_->keepPluData = keep;
}

Bytes SimHecrTables::LastClock() const {
  std::lock_guard lock(state_->mu);
  return state_->clock;
}

int SimHecrTables::ClockCount() const {
  std::lock_guard lock(state_->mu);
  return state_->clockCount;
}

void SimHecrTables::SetCounter(size_t offset, uint16_t value) {
  if (offset >= 16 || offset % 2 != 0) return;
  std::lock_guard lock(state_->mu);
  state_->counters[offset / 2] = value;
  state_->counterSet[offset / 2] = true;
}

void SimHecrTables::SetFaults(uint16_t cmd, const HecrCommandFaults& faults) {
  std::lock_guard lock(state_->mu);
  state_->commands[cmd] = {faults, 0};
}

void SimHecrTables::ClearFaults() {
  std::lock_guard lock(state_->mu);
  for (auto& [cmd, c] : state_->commands) c.faults = {};
}

int SimHecrTables::RequestsSeen(uint16_t cmd) const {
  std::lock_guard lock(state_->mu);
  auto it = state_->commands.find(cmd);
  return it == state_->commands.end() ? 0 : it->second.seen;
}

void SimHecrTables::CancelLateAnswers() {
  {
    std::lock_guard lock(state_->mu);
    ++state_->lateGeneration;
  }
  state_->lateCv.notify_all();
}

}  // namespace vemkasim
