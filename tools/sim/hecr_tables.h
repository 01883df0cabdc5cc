// The tables of a simulated Hecr scale: it keeps what it is sent and serves
// it back, the way a scale does.
//
//   7003  clock: keeps the 7 data bytes, acknowledges
//   6033  table counters: 16 bytes, eight 16-bit big-endian counters
//         (offset 0: number of PLU records)
//   982E  PLU record (512 bytes) stored under its ID, acknowledged
//   602E  the Param-th PLU record in ascending ID order (no data past the end)
//   6071  the PLU record whose ID is the 4 BCD data bytes (no data if absent)
//   9830  clears the PLU table, acknowledged
//
// Acknowledgements carry CMD 800E and echo the request's Param; data replies
// carry the request's CMD and Param. A PLU record's ID is BCD in bytes 0..2,
// or 4 BCD bytes at 239 when the scale's label-format code length (byte 147
// of its information block) is 8.
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
#include <vector>

#include "sim/sim_device.h"

namespace vemkasim {

// Commands and sizes of the PLU table exchange.
constexpr uint16_t kHecrAck = 0x800E;
constexpr uint16_t kHecrSetClock = 0x7003;
constexpr uint16_t kHecrTableCounts = 0x6033;
constexpr uint16_t kHecrPluDownload = 0x982E;
constexpr uint16_t kHecrPluUpload = 0x602E;
constexpr uint16_t kHecrPluById = 0x6071;
constexpr uint16_t kHecrPluClear = 0x9830;
constexpr size_t kHecrPluRecordSize = 512;

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

  // Stored PLU records.
  size_t PluCount() const;
  std::optional<Bytes> PluRecord(uint32_t id) const;
  std::vector<uint32_t> PluIds() const;               // ascending
  std::vector<Bytes> PluRecords() const;              // in ascending ID order
  void PutPluRecord(Bytes record);                     // as a 982E would
  void ClearPlu();
  // How many 982E records arrived (each acknowledged one, also repeats of
  // an ID), for checks where the records are not kept.
  uint64_t PluReceived() const;
  // Off: 982E records are counted and acknowledged but not kept (large
  // runs whose data nobody reads back). On by default.
  void SetKeepPluData(bool keep);

  // The last 7003 data bytes (empty before the first one) and how many came.
  Bytes LastClock() const;
  int ClockCount() const;

  // Counters served by 6033 besides the PLU count (offset 2..14, even); a
  // counter set at offset 0 replaces the PLU count.
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

// The ID of a PLU record as the scale reads it: BCD bytes 0..2, or the 4
// BCD bytes at 239 when lfCodeLen is 8.
uint32_t HecrPluRecordId(const Bytes& record, uint8_t lfCodeLen);
// Decimal digits of a packed BCD block, read as a number (nibbles above 9
// count as their value, as the scale does not check them).
uint64_t BcdValue(const uint8_t* p, size_t n);

}  // namespace vemkasim
