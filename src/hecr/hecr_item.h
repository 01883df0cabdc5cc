// The Hecr item base: one item per table kind. The engine creates the item
// for the task's data type, then asks it for each request frame and hands
// it each reply; the item decides what a request holds, whether a reply
// answers it, and when the table is finished. The commands come from the
// data type's row, the record layout from a table definition.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data/field_info.h"
#include "data/text_file.h"
#include "hecr/hecr_frame.h"
#include "runtime/types.h"
#include "tasks/data_types.h"

namespace vk {

class TVKSDKHecrProtocol;
class TVKSDKUDPClientClass;
struct TVKSDKExecParams;

enum class TVKSDKHecrRecvCheck : uint8_t {
  rcContinue = 0,  // go on with the next index
  rcRetry = 1,     // the reply does not answer this request: wait or resend
  rcStop = 2,      // the exchange ends now; the item has reported
};
using enum TVKSDKHecrRecvCheck;

// Bytes per record block in a binary file of an offline conversion.
struct TLengthInfo {
  int32_t PackageLen = 256;
  int32_t DataLen = 256;
};

// Hecr command codes every item shares.
inline constexpr uint16_t kHecrAckCmd = 0x800E;
inline constexpr uint16_t kHecrCountsCmd = 0x6033;
inline constexpr uint16_t kHecrClockCmd = 0x7003;

// Replies echo the request's package index in the 16-bit Param, so an index
// past 65535 is matched on its low 16 bits.
constexpr bool ParamMatches(uint16_t Param, int32_t Index) {
  return Param == static_cast<uint16_t>(static_cast<uint32_t>(Index) & 0xFFFFu);
}
constexpr uint16_t ParamOf(int32_t Index) { return static_cast<uint16_t>(static_cast<uint32_t>(Index) & 0xFFFFu); }

class TVKSDKHecrCustomItem {
 public:
  using TVKSDKHecrItemGetSendData = bool (TVKSDKHecrCustomItem::*)(int32_t Index, TVKBytes& Data);
  using TVKSDKHecrItemSetRecvData = TVKSDKHecrRecvCheck (TVKSDKHecrCustomItem::*)(int32_t Index,
                                                                                  const TVKBytes& Data);

  explicit TVKSDKHecrCustomItem(TVKSDKHecrProtocol* HecrProtocol);
  virtual ~TVKSDKHecrCustomItem() = default;
  TVKSDKHecrCustomItem(const TVKSDKHecrCustomItem&) = delete;
  TVKSDKHecrCustomItem& operator=(const TVKSDKHecrCustomItem&) = delete;

  // Construction step run by the factory right after the constructor:
  // fields, codec context, time-out, and the request/reply pair bound by
  // ProcType. Items override it to prepare their own state and call the
  // base first.
  virtual void Create();

  // True when the item has finished (or failed) the whole task by itself
  // before any exchange.
  virtual bool isHandled(TVKSDKUDPClientClass* UDPClient);

  // The operations by ProcType. The base reports 261 (the item has no such
  // operation) and ends the task, so a host always hears a final code.
  virtual bool GetDownSendData(int32_t Index, TVKBytes& Data);
  virtual TVKSDKHecrRecvCheck SetDownRecvData(int32_t Index, const TVKBytes& Data);
  virtual bool GetUpSendData(int32_t Index, TVKBytes& Data);
  virtual TVKSDKHecrRecvCheck SetUpRecvData(int32_t Index, const TVKBytes& Data);
  virtual bool GetDelSendData(int32_t Index, TVKBytes& Data);
  virtual TVKSDKHecrRecvCheck SetDelRecvData(int32_t Index, const TVKBytes& Data);
  virtual bool GetListSendData(int32_t Index, TVKBytes& Data);
  virtual TVKSDKHecrRecvCheck SetListRecvData(int32_t Index, const TVKBytes& Data);

  // Sets FFields (the field table may depend on the device).
  virtual void DefineFields() {}
  virtual TLengthInfo GetLengthInfo() const { return {}; }

  // The engine calls these two; false from HasOperation means nothing is
  // bound for the task's ProcType.
  bool HasOperation() const { return FGetSendData != nullptr && FSetRecvData != nullptr; }
  bool GetSendData(int32_t Index, TVKBytes& Data) { return (this->*FGetSendData)(Index, Data); }
  // Called while the request before Index is on its way: an item may build
  // request Index now so that GetSendData(Index) has it at hand. It must
  // not report anything or change what the host sees; GetSendData still
  // decides (and reports) as if nothing had been prepared.
  virtual void Prefetch(int32_t /*Index*/) {}
  TVKSDKHecrRecvCheck SetRecvData(int32_t Index, const TVKBytes& Data) { return (this->*FSetRecvData)(Index, Data); }

  int32_t Total() const { return FTotal; }
  void SetTotal(int32_t Total) { FTotal = Total; }
  int32_t DataIndex() const { return FDataIndex; }
  std::span<const TVKSDKRAMFieldInfo> Fields() const { return FFields; }

  // Asks the device how many records its tables hold: eight 16-bit
  // big-endian counters (0 PLUs, 2/4/8/10 text tables 12/13/14/28, 6
  // nutrition records, 14 messages). False when the device did not answer
  // with its counts; Block is then all zero.
  bool ReadTableCounts(TVKBytes& Block);

  // Builds a request frame into Out, reusing its storage. Without Crc the
  // CRC bytes are left zero (for frames whose CRC nobody reads).
  static void BuildFrame(TVKBytes& Out, uint16_t CMD, uint16_t Param, const uint8_t* Data, size_t Len,
                         bool Crc = true);

 protected:
  TVKSDKExecParams& Params() const;
  // The data type's row; items are only made for data types that have one.
  const TVKDataTypeRow& Row() const;
  const TVKTableCommands& Cmd() const { return Row().Cmd; }
  void DoProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total);
  void WriteDebug(std::string_view line);
  void WriteDebug(std::u16string_view line);
  // Adds a line to both the debug and the log list.
  void WriteDebugAndLog(std::string_view line);
  // Reports a failure and returns false / rcStop, for one-line exits.
  bool Fail(uint32_t ErrorCode, uint32_t Index);
  TVKSDKHecrRecvCheck FailStop(uint32_t ErrorCode, uint32_t Index);
  // A reply that holds no whole record for package Index (1-based in the
  // report): a scale that sent it gave no usable answer (266); a binary
  // file that a conversion reads is cut short (265).
  TVKSDKHecrRecvCheck FailNoRecord(int32_t Index);
  // One upload line from one record, with this item's field table.
  std::u16string RecordToText(const uint8_t* Data, size_t Size, int32_t BaseOffset = 0);
  std::u16string FieldsHeaderLine() const;

  // ---- Uploads.
  // The upload file's first line: the field names.
  void WriteUploadHeader();
  bool WriteTextLine(std::u16string_view Line);

  // ---- Deletes: one request, acknowledged with 800E echoing the index.
  bool DeleteSend(int32_t Index, TVKBytes& Data, uint16_t CMD);
  TVKSDKHecrRecvCheck DeleteRecv(int32_t Index, const TVKBytes& Data, bool RetryWrongParam);

  // The data part of a reply, never past the bytes that arrived whatever
  // DataLen claims.
  static size_t ReplyDataSize(const TVKBytes& Data);
  static const uint8_t* ReplyData(const TVKBytes& Data) { return Data.data() + TVKHecrProtocol::kHeadSize; }

  TVKSDKHecrItemGetSendData FGetSendData = nullptr;
  TVKSDKHecrItemSetRecvData FSetRecvData = nullptr;
  TVKSDKHecrProtocol* FHecrProtocol;
  std::span<const TVKSDKRAMFieldInfo> FFields;
  // The device's facts and multiples the codecs use.
  TVKCodecContext FCtx;
  int32_t FTimeOut = 0;
  int32_t FTotal = 0;
  int32_t FDataIndex = 0;

 private:
  bool FReportedUnsupported = false;
  TVKSDKHecrRecvCheck Unsupported();
};

// Creates an item of a class and runs its construction step.
template <class T, class... Args>
std::unique_ptr<TVKSDKHecrCustomItem> MakeHecrItem(TVKSDKHecrProtocol* HecrProtocol, Args&&... args) {
  auto item = std::make_unique<T>(HecrProtocol, std::forward<Args>(args)...);
  item->Create();
  return item;
}

}  // namespace vk
