#include "sim/pecr_tables.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <iterator>
#include <mutex>

#include "sim/hecr_tables.h"  // BcdValue

namespace vemkasim {

bool PecrLegacyBoard(const Bytes& info) {
  if (info.size() < 132) return false;
  for (size_t i = 0; i < 128; ++i)
    if (info[4 + i] != 255 - i) return false;
  return true;
}

size_t PecrPluRecordSize(const Bytes& info) {
  return !PecrLegacyBoard(info) && info.size() > 27 && info[27] == 0xAC ? 128 : 64;
}

namespace {

constexpr size_t kFrameSize = 259;
constexpr size_t kDataAt = 3;
constexpr uint8_t kEndMarker[] = {0xFF, 0xFF, 0xFF, 0xFF};

const PecrPluLayout* LayoutOfType(uint8_t dataType) {
  for (const auto& l : kPecrPluLayouts)
    if (l.dataType == dataType) return &l;
  return nullptr;
}

const PecrPluLayout* LayoutOfCode(uint16_t tableCode) {
  for (const auto& l : kPecrPluLayouts)
    if (l.tableCode == tableCode) return &l;
  return nullptr;
}

uint32_t PluId(const Bytes& record) {
  return record.size() >= kPecrPluIdAt + 3 ? static_cast<uint32_t>(BcdValue(&record[kPecrPluIdAt], 3)) : 0;
}

// True when request number n of a data type falls into a knob's stretch.
bool Hits(int knob, int after, int n) { return knob != 0 && n > after && (knob < 0 || n <= after + knob); }

// What a request asks of the table.
enum class Ask { Parameters, Clock, Closing, Upload, Clear, Block };

// The request's business, or nullopt when it is not the table's (the
// device's own answers then get it).
std::optional<Ask> Classify(const Bytes& req, uint16_t addr) {
  const uint8_t type = req[0];
  if (type == kPecrParameterRead) return Ask::Parameters;
  if (req.size() != kFrameSize) return std::nullopt;
  if (LayoutOfType(type)) return Ask::Block;
  if (type != kPecrControl) return std::nullopt;
  switch (addr) {
    case kPecrClockAddr: return Ask::Clock;
    case kPecrClosingAddr: return Ask::Closing;
    case kPecrUploadAddr:
      if (!LayoutOfCode(static_cast<uint16_t>(GetLE(req, kDataAt + 2, 2)))) return std::nullopt;
      return Ask::Upload;
    case kPecrClearAddr:
      if (req[kDataAt] != 0x00 || req[kDataAt + 1] != 0x04) return std::nullopt;
      return Ask::Clear;
    default: return std::nullopt;
  }
}

}  // namespace

struct SimPecrTables::State {
  struct Requests {
    PecrRequestFaults faults;
    int seen = 0;
  };

  mutable std::mutex mu;
  std::condition_variable lateCv;
  uint64_t lateGeneration = 0;  // bumped to release waiting late answers

  // From the scale's information block, refreshed with every request.
  size_t recordSize = 64;
  bool legacy = false;

  std::map<uint32_t, Bytes> records;  // ID -> record, ascending
  bool keepPlu = true;
  Bytes parameters = Bytes(256, 0);
  Bytes clock;
  int clockCount = 0;
  int closingFrames = 0;
  std::map<uint8_t, Requests> requests;

  // Everything below is called with mu held.
  void Refresh(const Bytes& info) {
    legacy = PecrLegacyBoard(info);
    recordSize = PecrPluRecordSize(info);
  }
  void Store(Bytes record) {
    const uint32_t id = PluId(record);
    records.insert_or_assign(id, std::move(record));
  }
  // Block b of the table in records of `size`; the end marker goes in the
  // slot right after the last record unless `marker` is false.
  Bytes UploadBlock(uint16_t block, size_t size, bool marker) const {
    Bytes data(256, 0);
    const size_t perBlock = 256 / size, first = size_t{block} * perBlock;
    auto it = records.begin();
    std::advance(it, static_cast<ptrdiff_t>(std::min(first, records.size())));
    for (size_t slot = 0; slot < perBlock; ++slot) {
      const size_t at = slot * size;
      if (it != records.end()) {
        std::copy_n(it->second.begin(), std::min(size, it->second.size()), data.begin() + static_cast<ptrdiff_t>(at));
        ++it;
      } else {
        if (marker && first + slot == records.size())
          std::copy(std::begin(kEndMarker), std::end(kEndMarker), data.begin() + static_cast<ptrdiff_t>(at));
        break;
      }
    }
    return data;
  }

  std::optional<Answers> Serve(const Bytes& request, uint16_t addr, SimDevice& device);
};

std::optional<Answers> SimPecrTables::State::Serve(const Bytes& request, uint16_t addr, SimDevice& device) {
  const std::optional<Ask> ask = Classify(request, addr);
  if (!ask) return std::nullopt;
  const uint8_t type = request[0];
  const Bytes info = device.InfoBlock();

  std::unique_lock lock(mu);
  Refresh(info);
  Requests& r = requests[type];
  const int n = ++r.seen;
  const PecrRequestFaults f = r.faults;
  if (Hits(f.drop, f.after, n)) return Answers{};

  // An acknowledgement, or a frame when `frame` is set.
  std::optional<Bytes> frame;
  switch (*ask) {
    case Ask::Parameters:
      if (legacy) return Answers{};
      frame = BuildPecr(kPecrParameterRead, 0, parameters);
      break;
    case Ask::Clock:
      clock.assign(request.begin() + kDataAt + 4, request.begin() + kDataAt + 10);
      ++clockCount;
      break;
    case Ask::Closing:
      ++closingFrames;
      break;
    case Ask::Upload: {
      const PecrPluLayout* l = LayoutOfCode(static_cast<uint16_t>(GetLE(request, kDataAt + 2, 2)));
      const auto block = static_cast<uint16_t>(GetLE(request, kDataAt, 2));
      frame = BuildPecr(kPecrControl, kPecrUploadAddr,
                        UploadBlock(block, l->recordSize, !Hits(f.noEndMarker, f.after, n)));
      break;
    }
    case Ask::Clear:
      records.clear();
      break;
    case Ask::Block: {
      if (!keepPlu) break;
      const size_t size = LayoutOfType(type)->recordSize;
      for (size_t at = kDataAt; at + size <= kFrameSize; at += size) {
        const auto from = request.begin() + static_cast<ptrdiff_t>(at);
        if (std::all_of(from, from + static_cast<ptrdiff_t>(size), [](uint8_t b) { return b == 0; })) continue;
        Store(Bytes(from, from + static_cast<ptrdiff_t>(size)));
      }
      break;
    }
  }

  Bytes answer;
  if (frame) {
    answer = std::move(*frame);
    if (Hits(f.wrongType, f.after, n)) ++answer[0];
  } else {
    answer = {kPecrAck};
    if (Hits(f.nak, f.after, n)) answer[0] = kPecrNak;
    if (Hits(f.wrongType, f.after, n)) answer[0] = 0x03;
    if (Hits(f.twoByteAck, f.after, n)) answer.push_back(0x00);
  }

  if (Hits(f.late, f.after, n) && f.lateMs > 0) {
    const uint64_t generation = lateGeneration;
    if (lateCv.wait_for(lock, std::chrono::milliseconds(f.lateMs),
                        [&] { return lateGeneration != generation; }))
      return Answers{};
  }
  return Answers{std::move(answer)};
}

SimPecrTables::SimPecrTables(SimDevice& device) : state_(std::make_shared<State>()) {
  state_->Refresh(device.InfoBlock());
  state_->parameters[kPecrParameterDotCount] = 2;
  std::vector<uint8_t> types = {kPecrParameterRead, kPecrControl};
  for (const auto& l : kPecrPluLayouts) types.push_back(l.dataType);
  for (uint8_t type : types)
    device.AddPecrRequest(type, [state = state_, dev = &device](const Bytes& request, uint16_t addr, const Peer&) {
      return state->Serve(request, addr, *dev);
    });
}

SimPecrTables::~SimPecrTables() {
  ClearFaults();
  CancelLateAnswers();
}

size_t SimPecrTables::PluRecordSize() const {
  std::lock_guard lock(state_->mu);
  return state_->recordSize;
}

size_t SimPecrTables::PluCount() const {
  std::lock_guard lock(state_->mu);
  return state_->records.size();
}

std::vector<Bytes> SimPecrTables::PluRecords() const {
  std::lock_guard lock(state_->mu);
  std::vector<Bytes> out;
  out.reserve(state_->records.size());
  for (const auto& [id, rec] : state_->records) out.push_back(rec);
  return out;
}

std::optional<Bytes> SimPecrTables::PluRecord(uint32_t id) const {
  std::lock_guard lock(state_->mu);
  auto it = state_->records.find(id);
  if (it == state_->records.end()) return std::nullopt;
  return it->second;
}

void SimPecrTables::PutPluRecord(Bytes record) {
  std::lock_guard lock(state_->mu);
  state_->Store(std::move(record));
}

void SimPecrTables::ClearPlu() {
  std::lock_guard lock(state_->mu);
  state_->records.clear();
}

void SimPecrTables::SetKeepPluData(bool keep) {
  std::lock_guard lock(state_->mu);
  state_->keepPlu = keep;
}

void SimPecrTables::SetDotCount(uint8_t n) {
  std::lock_guard lock(state_->mu);
  state_->parameters[kPecrParameterDotCount] = n;
}

Bytes SimPecrTables::LastClock() const {
  std::lock_guard lock(state_->mu);
  return state_->clock;
}

int SimPecrTables::ClockCount() const {
  std::lock_guard lock(state_->mu);
  return state_->clockCount;
}

int SimPecrTables::ClosingFrames() const {
  std::lock_guard lock(state_->mu);
  return state_->closingFrames;
}

void SimPecrTables::SetFaults(uint8_t dataType, const PecrRequestFaults& faults) {
  std::lock_guard lock(state_->mu);
  state_->requests[dataType] = {faults, 0};
}

void SimPecrTables::ClearFaults() {
  std::lock_guard lock(state_->mu);
  for (auto& [type, r] : state_->requests) r.faults = {};
}

int SimPecrTables::RequestsSeen(uint8_t dataType) const {
  std::lock_guard lock(state_->mu);
  auto it = state_->requests.find(dataType);
  return it == state_->requests.end() ? 0 : it->second.seen;
}

void SimPecrTables::CancelLateAnswers() {
  {
    std::lock_guard lock(state_->mu);
    ++state_->lateGeneration;
  }
  state_->lateCv.notify_all();
}

}  // namespace vemkasim
