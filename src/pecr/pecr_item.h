// The Pecr item base: one item per table kind. The engine creates the item
// for the task's data type, asks it for each request frame and hands it each
// reply; the item answers whether the exchange goes on. Items report their
// own outcome (final code) before they end the exchange.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "data/field_info.h"
#include "pecr/pecr_frame.h"
#include "runtime/types.h"
#include "tasks/data_types.h"

namespace vk {

class TVKSDKPecrProtocol;
class TVKSDKUDPClientClass;
struct TVKSDKExecParams;

class TVKSDKPecrCustomItem {
 public:
  using TVKSDKPecrItemGetSendData = bool (TVKSDKPecrCustomItem::*)(int32_t Index, TVKBytes& Data);
  using TVKSDKPecrItemSetRecvData = bool (TVKSDKPecrCustomItem::*)(int32_t Index, const TVKBytes& Data);

  explicit TVKSDKPecrCustomItem(TVKSDKPecrProtocol* PecrProtocol) : FPecrProtocol(PecrProtocol) {}
  virtual ~TVKSDKPecrCustomItem() = default;
  TVKSDKPecrCustomItem(const TVKSDKPecrCustomItem&) = delete;
  TVKSDKPecrCustomItem& operator=(const TVKSDKPecrCustomItem&) = delete;

  // Construction step run right after the constructor: fields, and the
  // request/reply pair bound by ProcType (0, 1, 3; nothing for others).
  virtual void Create();
  // True when the item has finished (or failed) the whole task by itself.
  virtual bool isHandled(TVKSDKUDPClientClass* /*UDPClient*/) { return false; }

  // The operations by ProcType. The base ones end the exchange at once
  // without a report; the engine then reports 261.
  virtual bool GetDownSendData(int32_t Index, TVKBytes& Data);
  virtual bool SetDownRecvData(int32_t Index, const TVKBytes& Data);
  virtual bool GetUpSendData(int32_t Index, TVKBytes& Data);
  virtual bool SetUpRecvData(int32_t Index, const TVKBytes& Data);
  virtual bool GetDelSendData(int32_t Index, TVKBytes& Data);
  virtual bool SetDelRecvData(int32_t Index, const TVKBytes& Data);

  virtual void DefineFields() {}

  bool HasOperation() const { return FGetSendData != nullptr && FSetRecvData != nullptr; }
  bool GetSendData(int32_t Index, TVKBytes& Data) { return (this->*FGetSendData)(Index, Data); }
  bool SetRecvData(int32_t Index, const TVKBytes& Data) { return (this->*FSetRecvData)(Index, Data); }
  int32_t Total() const { return FTotal; }

  // Reads the scale's 256-byte parameter block (a short request: one byte
  // 108 in a 256-byte datagram). False when no 259-byte answer came.
  bool ReadParamBlock(TVKBytes& Block);
  // The unit-price multiple a parameter block gives (its price decimals at
  // byte 17: 1 → 10, 2 → 100, 3 → 1000, else 1).
  static int32_t PriceMultipleOf(const TVKBytes& Block);

 protected:
  TVKSDKExecParams& Params() const;
  const TVKDataTypeRow& Row() const;
  const TVKTableCommands& Cmd() const { return Row().Cmd; }
  void DoProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total);
  void WriteDebug(std::string_view line);
  void WriteDebug(std::u16string_view line);
  void WriteDebugAndLog(std::u16string_view line);
  // Reports a failure and returns false, for one-line exits.
  bool Fail(uint32_t ErrorCode, uint32_t Index);

  // One text line from the record at Offset in Data: every field with an
  // export (never "%Nil%"), TAB-joined.
  std::u16string RecordToText(const uint8_t* Data, size_t Size, std::span<const TVKSDKRAMFieldInfo> Fields,
                              int32_t Offset = 0) const;
  // The names of every field except "%Nil%", TAB-joined.
  static std::u16string FieldsHeaderLine(std::span<const TVKSDKRAMFieldInfo> Fields);
  bool WriteTextLine(std::u16string_view Line);

  // True for an acknowledgement: a reply whose first byte is 02.
  static bool IsAck(const TVKBytes& Reply) { return !Reply.empty() && Reply[0] == kPecrAck; }

  TVKSDKPecrItemGetSendData FGetSendData = nullptr;
  TVKSDKPecrItemSetRecvData FSetRecvData = nullptr;
  TVKSDKPecrProtocol* FPecrProtocol;
  std::span<const TVKSDKRAMFieldInfo> FFields;
  TVKCodecContext FCtx;
  int32_t FTotal = 0;
  int32_t FDataIndex = 0;
};

template <class T>
std::unique_ptr<TVKSDKPecrCustomItem> MakePecrItem(TVKSDKPecrProtocol* PecrProtocol) {
  auto item = std::make_unique<T>(PecrProtocol);
  item->Create();
  return item;
}

using TVKSDKPecrItemFactory = std::unique_ptr<TVKSDKPecrCustomItem> (*)(TVKSDKPecrProtocol* PecrProtocol);
// The maker of the class a data type's row names; null when the class is
// not built into the library (or the family has no such table).
TVKSDKPecrItemFactory PecrItemFactoryOf(const TVKDataTypeRow* Row);
// Every table definition the built Pecr items use (for checks that run
// over every field table).
std::span<const TVKSDKRAMDefineInfo* const> PecrTableDefines();

}  // namespace vk
