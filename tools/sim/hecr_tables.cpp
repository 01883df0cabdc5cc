#include "sim/hecr_tables.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <unordered_map>

namespace vemkasim {

uint64_t BcdValue(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v * 100 + (p[i] >> 4) * 10 + (p[i] & 0x0F);
  return v;
}

uint32_t HecrRecordKey(const HecrTableRow& table, const Bytes& record, uint8_t lfCodeLen) {
  const bool eight = lfCodeLen == 8;
  const size_t at = eight ? table.key.at8 : table.key.at, len = eight ? table.key.len8 : table.key.len;
  return record.size() >= at + len ? static_cast<uint32_t>(BcdValue(&record[at], len)) : 0;
}

static_assert(kHecrTables[0].dataType == 0 && kHecrTables[0].kind == HecrTableKind::Keyed,
              "the PLU table is the first row");

uint32_t HecrPluRecordId(const Bytes& record, uint8_t lfCodeLen) {
  return HecrRecordKey(kHecrTables[0], record, lfCodeLen);
}

namespace {

constexpr size_t kTableCount = std::size(kHecrTables);

// What a command does to its row.
enum class Role { Download, Upload, Erase, ByKey };

bool Uses(const HecrTableRow& t, uint16_t cmd) {
  return cmd != 0 && (cmd == t.download || cmd == t.upload || cmd == t.erase || cmd == t.byKey);
}

bool IsTableCommand(uint16_t cmd) {
  if (cmd == kHecrSetClock || cmd == kHecrTableCounts) return true;
  for (const auto& t : kHecrTables)
    if (Uses(t, cmd)) return true;
  return false;
}

// True when a row the command addresses depends on the scale's hotkey
// information (its layout or its HotKeyCount).
bool NeedsHotKeyInfo(uint16_t cmd) {
  for (const auto& t : kHecrTables)
    if (Uses(t, cmd) && (t.layout != HecrLayout::Any || t.capacity == kHecrHotKeyCount)) return true;
  return false;
}

// True when request number n of a command falls into a knob's stretch.
bool Hits(int knob, int after, int n) { return knob != 0 && n > after && (knob < 0 || n <= after + knob); }

}  // namespace

struct SimHecrTables::State {
  struct Command {
    HecrCommandFaults faults;
    int seen = 0;
  };
  // One store per row; a row uses the part its kind needs.
  struct Table {
    // Keyed: key -> record (empty when data is not kept). Hashed: a long
    // download stores a record per request, and a tree walk per record
    // would make the simulated scale the slow side.
    std::unordered_map<uint32_t, Bytes> records;
    mutable std::vector<uint32_t> order;  // keys ascending, rebuilt after changes
    mutable bool orderValid = true;
    bool keep = true;
    // Paged: the area; events: the list.
    Bytes bytes;
    uint64_t received = 0;
  };

  mutable std::mutex mu;
  std::condition_variable lateCv;
  uint64_t lateGeneration = 0;  // bumped to release waiting late answers

  // From the scale's information block, refreshed with every request.
  uint8_t lfCodeLen = 0;
  uint16_t hotKeyCount = 0;
  uint8_t touchFlag = 0;

  std::array<Table, kTableCount> tables{};
  // Upload command -> the turn among the rows that share it.
  std::map<uint16_t, size_t> turns;
  Bytes clock;
  int clockCount = 0;
  std::array<uint16_t, 8> counters{};
  std::array<bool, 8> counterSet{};
  std::map<uint16_t, Command> commands;

  // Everything below is called with mu held.
  bool Active(const HecrTableRow& t) const {
    if (t.layout == HecrLayout::Any) return true;
    return (touchFlag == 2) == (t.layout == HecrLayout::Touch);
  }
  size_t Capacity(const HecrTableRow& t) const {
    const size_t n = t.capacity == kHecrHotKeyCount ? hotKeyCount : t.capacity;
    return n * (t.capacityInPackages ? t.packageSize : t.recordSize);
  }
  // A paged row's area, sized to its capacity (which may follow HotKeyCount).
  Bytes& Area(size_t row) {
    Bytes& b = tables[row].bytes;
    const size_t cap = Capacity(kHecrTables[row]);
    if (b.size() != cap) b.resize(cap, 0);
    return b;
  }
  // The first active row of a data type and kind, or kTableCount.
  size_t RowOf(uint8_t dataType, std::initializer_list<HecrTableKind> kinds) const {
    for (size_t i = 0; i < kTableCount; ++i) {
      const auto& t = kHecrTables[i];
      if (t.dataType != dataType || !Active(t)) continue;
      for (auto k : kinds)
        if (t.kind == k) return i;
    }
    return kTableCount;
  }
  // The active rows whose upload command is cmd, in table order.
  std::vector<size_t> UploadRows(uint16_t cmd) const {
    std::vector<size_t> rows;
    for (size_t i = 0; i < kTableCount; ++i)
      if (kHecrTables[i].upload == cmd && Active(kHecrTables[i])) rows.push_back(i);
    return rows;
  }
  // The row and role a command addresses now, or nullopt when no active
  // row answers it.
  std::optional<std::pair<size_t, Role>> Resolve(uint16_t cmd) const {
    for (size_t i = 0; i < kTableCount; ++i) {
      const auto& t = kHecrTables[i];
      if (!Active(t)) continue;
      if (cmd == t.download) return std::pair{i, Role::Download};
      if (cmd == t.erase) return std::pair{i, Role::Erase};
      if (cmd == t.byKey) return std::pair{i, Role::ByKey};
    }
    // Rows that share an upload command take turns; the common case of a
    // single row needs no list.
    const auto it = turns.find(cmd);
    if (it == turns.end()) {
      for (size_t i = 0; i < kTableCount; ++i)
        if (kHecrTables[i].upload == cmd && Active(kHecrTables[i])) return std::pair{i, Role::Upload};
      return std::nullopt;
    }
    const auto rows = UploadRows(cmd);
    if (rows.empty()) return std::nullopt;
    return std::pair{rows[it->second % rows.size()], Role::Upload};
  }

  bool Fits(const HecrTableRow& t, size_t size) const {
    return size == t.recordSize || (t.otherRecordSize != 0 && size == t.otherRecordSize);
  }
  void Store(size_t row, Bytes record) {
    Table& tab = tables[row];
    const uint32_t key = HecrRecordKey(kHecrTables[row], record, lfCodeLen);
    if (!tab.keep) record = Bytes();
    auto [it, inserted] = tab.records.insert_or_assign(key, std::move(record));
    if (inserted) tab.orderValid = false;
    ++tab.received;
  }
  const std::vector<uint32_t>& Order(size_t row) const {
    const Table& tab = tables[row];
    if (!tab.orderValid) {
      tab.order.clear();
      tab.order.reserve(tab.records.size());
      for (const auto& [key, rec] : tab.records) tab.order.push_back(key);
      std::sort(tab.order.begin(), tab.order.end());
      tab.orderValid = true;
    }
    return tab.order;
  }
  void Clear(size_t row) {
    Table& tab = tables[row];
    tab.records.clear();
    tab.order.clear();
    tab.orderValid = true;
    tab.bytes.assign(kHecrTables[row].kind == HecrTableKind::Paged ? Capacity(kHecrTables[row]) : 0, 0);
  }

  // Paged and events downloads.
  void Write(size_t row, uint16_t param, const Bytes& data) {
    const auto& t = kHecrTables[row];
    if (t.kind == HecrTableKind::Paged) {
      Bytes& area = Area(row);
      const size_t at = size_t{param} * t.packageSize;
      if (at < area.size())
        std::copy_n(data.begin(), std::min(data.size(), area.size() - at),
                    area.begin() + static_cast<ptrdiff_t>(at));
    } else {
      Bytes& list = tables[row].bytes;
      if (param == 0) list.clear();
      const size_t room = Capacity(t) > list.size() ? Capacity(t) - list.size() : 0;
      list.insert(list.end(), data.begin(),
                  data.begin() + static_cast<ptrdiff_t>(std::min(room, data.size())));
    }
    ++tables[row].received;
    turns.erase(t.upload);  // rows sharing the upload start again with the first
  }
  // Paged and events uploads: the package of the upload stream, and whether
  // it ends the row's turn (no data, or the last package of a full table).
  Bytes Read(size_t row, uint16_t param, bool& turnEnds) {
    const auto& t = kHecrTables[row];
    const Bytes& area = t.kind == HecrTableKind::Paged ? Area(row) : tables[row].bytes;
    const size_t package = t.uploadPackage ? t.uploadPackage : t.packageSize;
    const size_t total = t.uploadHead + area.size();
    const size_t from = size_t{param} * package;
    Bytes data;
    if (from < total) {
      const size_t to = std::min(total, from + package);
      data.assign(to - from, 0);
      for (size_t i = std::max(from, size_t{t.uploadHead}); i < to; ++i)
        data[i - from] = area[i - t.uploadHead];
    }
    const bool full = area.size() >= Capacity(t);
    turnEnds = data.empty() || (full && from + package >= total);
    return data;
  }
  void EndTurn(uint16_t cmd) {
    const size_t rows = UploadRows(cmd).size();
    if (rows > 1) turns[cmd] = (turns[cmd] + 1) % rows;
  }

  std::optional<Answers> Serve(const Bytes& request, SimDevice& device);
};

std::optional<Answers> SimHecrTables::State::Serve(const Bytes& request, SimDevice& device) {
  if (request.size() < 13 || !IsTableCommand(static_cast<uint16_t>(GetBE(request, 5, 2))))
    return std::nullopt;
  auto frame = ParseHecr(request);
  if (!frame) return std::nullopt;
  const std::optional<uint8_t> codeLen = device.InfoByte(147);
  std::optional<uint8_t> hotHigh, hotLow, touch;
  if (NeedsHotKeyInfo(frame->cmd)) {
    hotHigh = device.InfoByte(112);
    hotLow = device.InfoByte(113);
    touch = device.InfoByte(210);
  }

  std::unique_lock lock(mu);
  if (codeLen) lfCodeLen = *codeLen;
  if (hotHigh && hotLow) hotKeyCount = static_cast<uint16_t>(*hotHigh << 8 | *hotLow);
  if (touch) touchFlag = *touch;
  std::optional<std::pair<size_t, Role>> target;
  if (frame->cmd != kHecrSetClock && frame->cmd != kHecrTableCounts) {
    target = Resolve(frame->cmd);
    if (!target) return std::nullopt;  // a command of the other button layout
  }
  Command& c = commands[frame->cmd];
  const int n = ++c.seen;
  const HecrCommandFaults f = c.faults;
  if (Hits(f.drop, f.after, n)) return Answers{};

  uint16_t cmd = kHecrAck;
  Bytes data;
  if (frame->cmd == kHecrSetClock) {
    clock = frame->data;
    ++clockCount;
  } else if (frame->cmd == kHecrTableCounts) {
    cmd = kHecrTableCounts;
    data.assign(16, 0);
    for (size_t i = 0; i < kTableCount; ++i) {
      const int at = kHecrTables[i].counterAt;
      if (kHecrTables[i].kind == HecrTableKind::Keyed && at >= 0 && !counterSet[at / 2])
        counters[at / 2] = static_cast<uint16_t>(std::min<size_t>(tables[i].records.size(), 0xFFFF));
    }
    for (size_t i = 0; i < 8; ++i) PutBE(data, i * 2, counters[i], 2);
  } else {
    const auto [row, role] = *target;
    const auto& t = kHecrTables[row];
    const bool keyed = t.kind == HecrTableKind::Keyed;
    switch (role) {
      case Role::Download:
        if (keyed) {
          // A record of another size is not the scale's: it neither stores
          // nor acknowledges it.
          if (!Fits(t, frame->data.size())) return Answers{};
          Store(row, std::move(frame->data));
        } else {
          Write(row, frame->param, frame->data);
        }
        break;
      case Role::Upload:
        cmd = frame->cmd;
        if (keyed) {
          const auto& keys = Order(row);
          if (frame->param < keys.size()) data = tables[row].records.at(keys[frame->param]);
        } else {
          bool turnEnds = false;
          data = Read(row, frame->param, turnEnds);
          if (turnEnds) EndTurn(frame->cmd);
        }
        break;
      case Role::ByKey: {
        cmd = frame->cmd;
        if (frame->data.size() >= 4) {
          const auto& records = tables[row].records;
          auto it = records.find(static_cast<uint32_t>(BcdValue(frame->data.data(), 4)));
          if (it != records.end()) data = it->second;
        }
        break;
      }
      case Role::Erase:
        Clear(row);
        break;
    }
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
  if (info.size() > 113) state_->hotKeyCount = static_cast<uint16_t>(GetBE(info, 112, 2));
  if (info.size() > 210) state_->touchFlag = info[210];
  for (size_t i = 0; i < kTableCount; ++i) state_->Clear(i);
  device.AddHandler([state = state_, dev = &device](const Bytes& request, const Peer&) {
    return state->Serve(request, *dev);
  });
}

SimHecrTables::~SimHecrTables() {
  ClearFaults();
  CancelLateAnswers();
}

size_t SimHecrTables::Count(uint8_t dataType) const {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Keyed});
  return row < kTableCount ? state_->tables[row].records.size() : 0;
}

std::vector<uint32_t> SimHecrTables::Keys(uint8_t dataType) const {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Keyed});
  return row < kTableCount ? state_->Order(row) : std::vector<uint32_t>{};
}

std::vector<Bytes> SimHecrTables::Records(uint8_t dataType) const {
  std::lock_guard lock(state_->mu);
  std::vector<Bytes> out;
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Keyed});
  if (row == kTableCount) return out;
  const auto& records = state_->tables[row].records;
  out.reserve(records.size());
  for (uint32_t key : state_->Order(row)) out.push_back(records.at(key));
  return out;
}

std::optional<Bytes> SimHecrTables::Record(uint8_t dataType, uint32_t key) const {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Keyed});
  if (row == kTableCount) return std::nullopt;
  const auto& records = state_->tables[row].records;
  auto it = records.find(key);
  if (it == records.end()) return std::nullopt;
  return it->second;
}

void SimHecrTables::PutRecord(uint8_t dataType, Bytes record) {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Keyed});
  if (row < kTableCount) state_->Store(row, std::move(record));
}

Bytes SimHecrTables::Area(uint8_t dataType) const {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Paged});
  return row < kTableCount ? state_->Area(row) : Bytes();
}

void SimHecrTables::SetArea(uint8_t dataType, const Bytes& area) {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Paged});
  if (row == kTableCount) return;
  Bytes& b = state_->Area(row);
  std::fill(b.begin(), b.end(), 0);
  std::copy_n(area.begin(), std::min(area.size(), b.size()), b.begin());
}

Bytes SimHecrTables::Events(uint8_t dataType) const {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Events});
  return row < kTableCount ? state_->tables[row].bytes : Bytes();
}

void SimHecrTables::SetEvents(uint8_t dataType, Bytes events) {
  std::lock_guard lock(state_->mu);
  const size_t row = state_->RowOf(dataType, {HecrTableKind::Events});
  if (row < kTableCount) state_->tables[row].bytes = std::move(events);
}

void SimHecrTables::Clear(uint8_t dataType) {
  std::lock_guard lock(state_->mu);
  for (size_t i = 0; i < kTableCount; ++i)
    if (kHecrTables[i].dataType == dataType) state_->Clear(i);
}

uint64_t SimHecrTables::Received(uint8_t dataType) const {
  std::lock_guard lock(state_->mu);
  uint64_t n = 0;
  for (size_t i = 0; i < kTableCount; ++i)
    if (kHecrTables[i].dataType == dataType) n += state_->tables[i].received;
  return n;
}

void SimHecrTables::SetKeepData(uint8_t dataType, bool keep) {
  std::lock_guard lock(state_->mu);
  for (size_t i = 0; i < kTableCount; ++i)
    if (kHecrTables[i].dataType == dataType) state_->tables[i].keep = keep;
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
