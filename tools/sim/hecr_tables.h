// The tables of a simulated Hecr scale: it keeps what it is sent and serves
// it back, the way a scale does.
//
//   7003  clock: keeps the 7 data bytes, acknowledges
//   6033  table counters: 16 bytes, eight 16-bit big-endian counters; a
//         keyed table's record count feeds its counter
//
// Every other command belongs to a row of kHecrTables, and one generic store
// serves all rows by their kind:
//   keyed   a download frame's data is one record, stored under the BCD key
//           at the row's key place (a later record with the same key
//           replaces it); upload Param n returns the n-th record in
//           ascending key order as stored; delete clears the table; the
//           by-key command returns the record whose key is its 4 BCD bytes
//   paged   a byte area of the row's capacity, zero at start; download
//           Param p writes at p x package size (bytes past the area are
//           ignored); upload Param p returns the package at p x upload
//           package of the head block (zeros) followed by the area
//   events  a download with Param 0 empties the list, every download
//           appends its data (up to the capacity); upload as paged
// Uploads past the end carry no data. Rows that share an upload command
// (the plain hotkey layout's events and buttons) take turns: a row serves
// until it answers with no data or sends the last package of a full table,
// then the next one does; any download to one of them starts again with
// the first.
//
// Acknowledgements carry CMD 800E and echo the request's Param; data replies
// carry the request's CMD and Param.
//
// Per command, faults can be set: drop requests, answer late, echo a wrong
// Param, answer with a wrong CMD, leave the data out, spoil the CRC, damage
// a byte.
// Everything is thread-safe: the scale's thread serves requests while a test
// reads the tables or changes the faults.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "sim/sim_device.h"

namespace vemkasim {

constexpr uint16_t kHecrAck = 0x800E;
constexpr uint16_t kHecrSetClock = 0x7003;
constexpr uint16_t kHecrTableCounts = 0x6033;
constexpr uint16_t kHecrPluDownload = 0x982E;
constexpr uint16_t kHecrPluUpload = 0x602E;
constexpr uint16_t kHecrPluById = 0x6071;
constexpr uint16_t kHecrPluClear = 0x9830;
constexpr size_t kHecrPluRecordSize = 512;

enum class HecrTableKind : uint8_t { Keyed, Paged, Events };
// Which button layout a row belongs to: the touch layout is the one of
// scales whose TouchFlag (information byte 210) is 2.
enum class HecrLayout : uint8_t { Any, Plain, Touch };

// Where a keyed record's key sits: BCD bytes at `at`, or at `at8` when the
// scale's label-format code length (information byte 147) is 8.
struct HecrKeyPlace {
  uint16_t at = 0, len = 0;
  uint16_t at8 = 0, len8 = 0;
};

// A capacity taken from the scale's HotKeyCount (information bytes 112..113).
constexpr uint32_t kHecrHotKeyCount = 0xFFFFFFFF;

struct HecrTableRow {
  const char* name;
  uint8_t dataType;
  HecrTableKind kind;
  HecrLayout layout;
  uint16_t download, upload, erase, byKey;  // 0: none
  // Keyed: the record sizes the scale takes (otherRecordSize 0: only one);
  // a frame of another size is neither stored nor acknowledged.
  uint16_t recordSize, otherRecordSize;
  uint16_t packageSize;
  // Paged and events: records (or packages, with capacityInPackages) the
  // area holds.
  uint32_t capacity;
  bool capacityInPackages;
  // Paged and events: the upload stream is uploadHead zero bytes followed
  // by the area, cut in packages of uploadPackage bytes (0: packageSize).
  uint16_t uploadHead, uploadPackage;
  HecrKeyPlace key;
  int counterAt;  // keyed: offset of its 6033 counter, -1 none
};

// One row per table; a data type may have more rows (hotkey events and the
// buttons of each layout).
inline constexpr HecrTableRow kHecrTables[] = {
    // name, type, kind, layout, download, upload, erase, by key,
    // record sizes, package, capacity, in packages, upload head and package,
    // key place, counter
    {"plu", 0, HecrTableKind::Keyed, HecrLayout::Any, 0x982E, 0x602E, 0x9830, 0x6071,
     512, 0, 512, 0, false, 0, 0, {0, 3, 239, 4}, 0},
    {"unit", 1, HecrTableKind::Paged, HecrLayout::Any, 0x9823, 0x6022, 0, 0,
     16, 0, 256, 25, false, 0, 0, {}, -1},
    {"department", 2, HecrTableKind::Paged, HecrLayout::Any, 0x9814, 0x6014, 0, 0,
     64, 0, 256, 99, false, 0, 0, {}, -1},
    {"nutrition element", 26, HecrTableKind::Paged, HecrLayout::Any, 0x9834, 0x6032, 0, 0,
     64, 0, 1024, 20, false, 0, 0, {}, -1},
    {"nutrition info", 27, HecrTableKind::Keyed, HecrLayout::Any, 0x9825, 0x6023, 0x9824, 0,
     512, 0, 512, 0, false, 0, 0, {0, 3, 0, 3}, 6},
    // Notes are sent as 505 bytes when their text is short, else 1017.
    {"note1", 12, HecrTableKind::Keyed, HecrLayout::Any, 0x9847, 0x6029, 0x9831, 0,
     1017, 505, 0, 0, false, 0, 0, {0, 3, 0, 4}, 2},
    {"note2", 13, HecrTableKind::Keyed, HecrLayout::Any, 0x9846, 0x6021, 0x9832, 0,
     1017, 505, 0, 0, false, 0, 0, {0, 3, 0, 4}, 4},
    {"note3", 14, HecrTableKind::Keyed, HecrLayout::Any, 0x985C, 0x605A, 0x985D, 0,
     1017, 505, 0, 0, false, 0, 0, {0, 3, 0, 4}, 8},
    {"note4", 28, HecrTableKind::Keyed, HecrLayout::Any, 0x9868, 0x6068, 0x9869, 0,
     1017, 505, 0, 0, false, 0, 0, {0, 3, 0, 4}, 10},
    // 99 packages of 3 records of 42 bytes and 2 zero bytes. The scale
    // streams a 128-byte head block before them, 512 bytes per upload reply.
    {"discount", 5, HecrTableKind::Paged, HecrLayout::Any, 0x9811, 0x6011, 0, 0,
     42, 0, 128, 99, true, 128, 512, {}, -1},
    // Hotkeys: the event list comes first; in the plain layout the buttons
    // share its upload command and follow it in turn.
    {"hotkey event", 3, HecrTableKind::Events, HecrLayout::Any, 0x9813, 0x6013, 0, 0,
     32, 0, 256, kHecrHotKeyCount, false, 0, 0, {}, -1},
    {"hotkey", 3, HecrTableKind::Paged, HecrLayout::Plain, 0x9812, 0x6013, 0, 0,
     4, 0, 256, kHecrHotKeyCount, false, 0, 0, {}, -1},
    {"hotkey touch", 3, HecrTableKind::Paged, HecrLayout::Touch, 0x9884, 0x6079, 0, 0,
     64, 0, 1024, kHecrHotKeyCount, false, 0, 0, {}, -1},
};

// The rows' promises: records fit their packages, keyed rows have a key,
// and rows of the same layout share no command but an upload one.
constexpr bool HecrTablesAreSound() {
  for (const auto& a : kHecrTables)
    for (const auto& b : kHecrTables) {
      if (&a == &b || (a.layout != b.layout && a.layout != HecrLayout::Any && b.layout != HecrLayout::Any))
        continue;
      for (uint16_t cmd : {a.download, a.erase, a.byKey})
        if (cmd != 0 && (cmd == b.download || cmd == b.upload || cmd == b.erase || cmd == b.byKey)) return false;
    }
  for (const auto& t : kHecrTables) {
    const bool keyed = t.kind == HecrTableKind::Keyed;
    if (keyed && (t.key.len == 0 || t.key.len8 == 0 || t.key.len > 4 || t.key.len8 > 4)) return false;
    if (!keyed && (t.recordSize > t.packageSize || t.packageSize == 0)) return false;
    if (t.counterAt >= 16 || (t.counterAt >= 0 && t.counterAt % 2 != 0)) return false;
  }
  return true;
}
static_assert(HecrTablesAreSound());

// Faults for one command. Requests of the command are counted from 1 as
// they arrive; the first `after` are served normally, then each knob hits
// the next requests: `count` of them, or every later one when it is -1.
// Knobs combine (a request can be both late and carry a wrong Param); a
// dropped request is not stored and not answered.
struct HecrCommandFaults {
  int after = 0;
  int drop = 0;        // ignore the request
  int late = 0;        // answer lateMs milliseconds after the request
  int lateMs = 0;
  int wrongParam = 0;  // the answer echoes Param - 1 (an earlier request)
  int wrongCmd = 0;    // the answer carries its CMD + 1 (800F, 602F, ...)
  int emptyData = 0;   // a data answer goes out with no data
  int badCrc = 0;      // CRC off by one; an answer without data gets a bad head sum
  int damage = 0;      // flips the lowest bit of the answer's byte damageAt, mending
  size_t damageAt = 0; // neither head sum nor CRC (past the end: nothing)
};

class SimHecrTables {
 public:
  // Answers the table commands of `device` from now on (through its
  // command handler hook). The device must be a Hecr one; it may already
  // run. The handler keeps its own reference to the tables' state, so the
  // device may outlive this object (it then keeps serving the tables).
  explicit SimHecrTables(SimDevice& device);
  ~SimHecrTables();
  SimHecrTables(const SimHecrTables&) = delete;
  SimHecrTables& operator=(const SimHecrTables&) = delete;

  // Stored records of a keyed table, and the tables' areas. For hotkeys
  // (data type 3), Area is the buttons of the scale's layout and Events the
  // event list. Unknown data types read as empty and are not changed.
  size_t Count(uint8_t dataType) const;
  std::vector<uint32_t> Keys(uint8_t dataType) const;        // ascending
  std::vector<Bytes> Records(uint8_t dataType) const;        // in ascending key order
  std::optional<Bytes> Record(uint8_t dataType, uint32_t key) const;
  void PutRecord(uint8_t dataType, Bytes record);            // as a download would
  Bytes Area(uint8_t dataType) const;
  void SetArea(uint8_t dataType, const Bytes& area);         // cut or zero-filled to the area
  Bytes Events(uint8_t dataType) const;
  void SetEvents(uint8_t dataType, Bytes events);
  void Clear(uint8_t dataType);
  // How many download frames of the data type were stored and acknowledged
  // (each keyed record counts, also repeats of a key).
  uint64_t Received(uint8_t dataType) const;
  // Off: keyed records are counted and acknowledged but not kept (large
  // runs whose data nobody reads back). On by default.
  void SetKeepData(uint8_t dataType, bool keep);

  // The PLU table (data type 0).
  size_t PluCount() const { return Count(0); }
  std::optional<Bytes> PluRecord(uint32_t id) const { return Record(0, id); }
  std::vector<uint32_t> PluIds() const { return Keys(0); }
  std::vector<Bytes> PluRecords() const { return Records(0); }
  void PutPluRecord(Bytes record) { PutRecord(0, std::move(record)); }
  void ClearPlu() { Clear(0); }
  uint64_t PluReceived() const { return Received(0); }
  void SetKeepPluData(bool keep) { SetKeepData(0, keep); }

  // The last 7003 data bytes (empty before the first one) and how many came.
  Bytes LastClock() const;
  int ClockCount() const;

  // Counters served by 6033 (offset 0..14, even); a counter set here
  // replaces the record count of the table that feeds it.
  void SetCounter(size_t offset, uint16_t value);

  // Faults per command; SetFaults also restarts that command's request count.
  void SetFaults(uint16_t cmd, const HecrCommandFaults& faults);
  void ClearFaults();
  // Requests of a command seen so far (dropped ones included).
  int RequestsSeen(uint16_t cmd) const;

  // Ends any late answer still waiting, so a device can stop at once.
  void CancelLateAnswers();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// The key of a record as the scale reads it from the row's key place (0 when
// the record is too short to hold it).
uint32_t HecrRecordKey(const HecrTableRow& table, const Bytes& record, uint8_t lfCodeLen);
// The ID of a PLU record: BCD bytes 0..2, or the 4 BCD bytes at 239 when
// lfCodeLen is 8.
uint32_t HecrPluRecordId(const Bytes& record, uint8_t lfCodeLen);
// Decimal digits of a packed BCD block, read as a number (nibbles above 9
// count as their value, as the scale does not check them).
uint64_t BcdValue(const uint8_t* p, size_t n);

}  // namespace vemkasim
