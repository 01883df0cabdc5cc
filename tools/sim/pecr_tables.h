// The PLU table of a simulated Pecr scale: it keeps what it is sent and
// serves it back, the way a scale does. Requests are 259-byte datagrams
// (data type, little-endian Addr, 256 data bytes); the scale acknowledges
// with the single byte 02 or answers with a whole 259-byte frame.
//
//   108         parameter block read (the request is 256 bytes, first byte
//               108): a frame 108 / Addr 0 carrying the parameter block,
//               whose byte 17 is DotCount; a legacy board does not answer
//   14 / 1      clock: data bytes 4..9 hold BCD YYMMDDhhmmss; kept, acknowledged
//   14 / 2      closing frame: counted, acknowledged
//   14 / 3      upload read: data 0..1 block number, 2..3 table code (both
//               LE); a frame 14 / Addr 3 with the block's records
//   14 / 4      clear the PLU table (data 00 04), acknowledged
//   11, 123     PLU blocks of 64-byte and 128-byte records (rows of
//               kPecrPluLayouts), acknowledged
//
// Each record of a PLU block whose bytes are not all zero is stored under
// its ID (BCD bytes 36..38); a later record with the same ID replaces it. A
// block is stored in its own record size whatever the scale's size (64, or
// 128 when information byte 27 is AC, never on a legacy board), so a test
// sees which layout the host chose.
//
// Upload block b of a table holds records b x n .. b x n + n - 1 in
// ascending ID order (n records of the table code's size fill 256 bytes;
// a stored record of another size is cut or zero-filled to it). The slot
// right after the last record starts with the end marker FF FF FF FF; the
// slots after it are zero. An upload read with another table code is not
// the table's: it falls through to the device's own answers (the discovery
// question is a 14 / 3 request too).
//
// Per data type, faults can be set: drop requests, answer late, answer with
// another data type (or the byte 03 for an acknowledgement), acknowledge
// with 02 00 or with 15, leave out the upload end marker.
// Everything is thread-safe: the scale's thread serves requests while a test
// reads the table or changes the faults.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/sim_device.h"

namespace vemkasim {

constexpr uint8_t kPecrAck = 0x02;
constexpr uint8_t kPecrNak = 0x15;
constexpr uint8_t kPecrParameterRead = 108;
constexpr uint8_t kPecrControl = 14;  // Addr: what the frame does
constexpr uint16_t kPecrClockAddr = 1;
constexpr uint16_t kPecrClosingAddr = 2;
constexpr uint16_t kPecrUploadAddr = 3;
constexpr uint16_t kPecrClearAddr = 4;
constexpr size_t kPecrPluIdAt = 36;  // 3 BCD bytes
constexpr size_t kPecrParameterDotCount = 17;

// One row per PLU block layout: the data type that carries it, its record
// size, and the table code an upload read names it by.
struct PecrPluLayout {
  uint8_t dataType;
  uint16_t recordSize;
  uint16_t tableCode;
};
inline constexpr PecrPluLayout kPecrPluLayouts[] = {
    {11, 64, 128},
    {123, 128, 132},
};

// The rows' promises: records fill a 256-byte data area whole and hold
// their ID.
constexpr bool PecrLayoutsAreSound() {
  for (const auto& l : kPecrPluLayouts)
    if (l.recordSize < kPecrPluIdAt + 3 || 256 % l.recordSize != 0) return false;
  return true;
}
static_assert(PecrLayoutsAreSound());

// Faults for one data type. Requests of the data type are counted from 1 as
// they arrive; the first `after` are served normally, then each knob hits
// the next requests: `count` of them, or every later one when it is -1.
// Knobs combine; a dropped request is not stored and not answered.
struct PecrRequestFaults {
  int after = 0;
  int drop = 0;         // ignore the request
  int wrongType = 0;    // a frame goes out with DataType + 1, an acknowledgement as 03
  int twoByteAck = 0;   // acknowledge with 02 00
  int nak = 0;          // acknowledge with 15
  int noEndMarker = 0;  // an upload block never holds the end marker
  int late = 0;         // answer lateMs milliseconds after the request
  int lateMs = 0;
};

class SimPecrTables {
 public:
  // Answers the table requests of `device` from now on (through its request
  // hooks). The device must be a Pecr one; it may already run. The hooks
  // keep their own reference to the table's state, so the device may
  // outlive this object (it then keeps serving the table).
  explicit SimPecrTables(SimDevice& device);
  ~SimPecrTables();
  SimPecrTables(const SimPecrTables&) = delete;
  SimPecrTables& operator=(const SimPecrTables&) = delete;

  // The scale's record size: 64 or 128, from its information block.
  size_t PluRecordSize() const;

  size_t PluCount() const;
  std::vector<Bytes> PluRecords() const;  // in ascending ID order
  std::optional<Bytes> PluRecord(uint32_t id) const;
  void PutPluRecord(Bytes record);  // as a PLU block would store it
  void ClearPlu();
  // False: PLU blocks are acknowledged but not stored (a benchmark that
  // times only the exchange); true at start.
  void SetKeepPluData(bool keep);

  // DotCount (price decimals) in the parameter block; 2 at start.
  void SetDotCount(uint8_t n);

  // The last clock's 6 BCD bytes (empty before the first) and how many came.
  Bytes LastClock() const;
  int ClockCount() const;
  int ClosingFrames() const;

  // Faults per data type; SetFaults also restarts that type's request count.
  void SetFaults(uint8_t dataType, const PecrRequestFaults& faults);
  void ClearFaults();
  // Requests of a data type the table took so far (dropped ones included).
  int RequestsSeen(uint8_t dataType) const;

  // Ends any late answer still waiting, so a device can stop at once.
  void CancelLateAnswers();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// The record size a scale with this information block uses (64 or 128).
size_t PecrPluRecordSize(const Bytes& infoBlock);
// True for a legacy board's block (bytes 4..131 are 255, 254, ..., 128).
bool PecrLegacyBoard(const Bytes& infoBlock);

}  // namespace vemkasim
