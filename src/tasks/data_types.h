// One row per (family, data type): everything the engines, the task base and
// the exports decide by data type. Nothing else in the library keeps a list
// of data types; they all read the row of their task.
#pragma once

#include <cstdint>
#include <span>

#include "vemkasdk.h"

namespace vk {

// Which time-out and try count a task's exchange uses.
enum class TVKTimeOutClass : uint8_t {
  Sync,       // SyncTimeOut / SyncTryCount
  SlowClear,  // ClearData...: a delete of this table takes the device a while
  Firmware,   // UpdateFirmware...
};

// The request codes of a table (0: none): Hecr commands; for Pecr tables
// the frames' data types and table codes (the item says which is which). A
// few tables use more than one per direction; the item says which of them
// applies when.
struct TVKTableCommands {
  uint16_t Down = 0;
  uint16_t Up = 0;
  uint16_t Del = 0;
  uint16_t List = 0;
  uint16_t DownAlt = 0;  // the second download command (touch layout, second phase...)
  uint16_t UpAlt = 0;    // the second upload command (by ID, touch layout...)
  uint16_t DownPre = 0;  // sent before the records (hotkey events)
};

enum TVKDataTypeFlag : uint32_t {
  dtNoInputFile = 1u << 0,         // a task of this type never reads a file
  dtNoFileToDelete = 1u << 1,      // a delete never reads a file (any file name)
  dtRawUpload = 1u << 2,           // an upload writes raw data: no byte-order mark, no header
  dtDeviceTextCodePage = 1u << 3,  // upload text stays in the device code page on VISCII scales
  dtNoDetection = 1u << 4,         // the task goes to the row's family without asking the device
  dtNoTSecrRequery = 1u << 5,      // a TSecr-capable Hecr scale is not asked again as TSecr
  dtNoPecrRequery = 1u << 6,       // a Hecr scale that prefers Pecr is not asked again as Pecr
  dtNoPecrRequeryById = 1u << 7,   // ... only when the task's DataID is 1
  dtClockFirst = 1u << 8,          // the device clock is set before the transfer (Hecr: with AutoSyncTime)
  dtBin2Txt = 1u << 9,             // VemkaSDK_Bin2TxtA converts it
  dtTxt2Bin = 1u << 10,            // VemkaSDK_Txt2BinA converts it
};

struct TVKDataTypeRow {
  uint8_t Family;  // ptPecr, ptHecr, ptTSecr
  int32_t DataType;
  // The item class on an ordinary device and on a shelf-label system
  // (null: that kind of device has no such table).
  const char* ItemClass;
  const char* ShelfItemClass;
  TVKTableCommands Cmd{};
  TVKTimeOutClass TimeOut = TVKTimeOutClass::Sync;
  uint16_t Port = 0;  // 0: the task's port
  uint32_t Flags = 0;
  // The table-count counter (byte offset in the device's counts) that
  // gives an upload's record count; -1 for none.
  int8_t Counter = -1;

  bool Has(uint32_t flag) const { return (Flags & flag) != 0; }
};

// The row of a data type in a family, or null.
const TVKDataTypeRow* DataTypeRow(uint8_t Family, int32_t DataType);
// The first row of a data type in any family, or null.
const TVKDataTypeRow* AnyDataTypeRow(int32_t DataType);
std::span<const TVKDataTypeRow> DataTypeRows();

// The row's flag, false when there is no row.
inline bool HasFlag(const TVKDataTypeRow* Row, uint32_t Flag) { return Row && Row->Has(Flag); }

// Whether a task of this ProcType on this row reads a file.
bool NeedsInputFile(const TVKDataTypeRow* Row, uint8_t ProcType, bool WholeTableName);

}  // namespace vk
