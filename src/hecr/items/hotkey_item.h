// The hotkey table of a Hecr scale (data type 3): its preset buttons, each
// a PLU number or a function (an event, -e in the file for event e). Events
// travel as a table of their own, sent before the buttons, and an event
// button holds the event's sequence number. Two layouts: plain (4-byte
// buttons) and touch (64-byte buttons with caption and colours, on scales
// whose TouchFlag is 2). The button count is the scale's HotKeyCount.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hecr/hecr_item.h"

namespace vk {

class TVKSDKHecrHotKeyItem : public TVKSDKHecrCustomItem {
 public:
  explicit TVKSDKHecrHotKeyItem(TVKSDKHecrProtocol* HecrProtocol) : TVKSDKHecrCustomItem(HecrProtocol) {}

  void DefineFields() override;
  void Create() override;
  TLengthInfo GetLengthInfo() const override;
  bool GetDownSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetDownRecvData(int32_t Index, const TVKBytes& Data) override;
  bool GetUpSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetUpRecvData(int32_t Index, const TVKBytes& Data) override;

  // The layouts: [touch][4-byte values (LFCodeLen 8)]; the touch layout
  // always has 4-byte values.
  static const TVKSDKRAMDefineInfo& Layout(bool Touch, bool LFCodeLen8);
  static constexpr int32_t kEventRecordLen = 32;
  static constexpr int32_t kEventPackageLen = 256;

 private:
  // The device's facts the table depends on.
  struct DeviceFacts {
    int32_t HotKeyCount;
    bool Touch;
    bool LFCodeLen8;  // 8-digit PLU numbers
  };
  DeviceFacts ReadDeviceFacts() const;
  void PrepareDownload();
  TVKSDKHecrRecvCheck EventReply(int32_t Index, const TVKBytes& Data);
  TVKSDKHecrRecvCheck ButtonReply(int32_t Index, const TVKBytes& Data);
  void WriteButtonLine(const uint8_t* Record, size_t Size);

  const TVKSDKRAMDefineInfo* FDef = nullptr;
  bool FTouch = false;
  // Download: the frames, events first; their Params; a failure found while
  // preparing, reported before anything is sent.
  TVKBytesDynArray FImportDatas;
  std::vector<uint16_t> FImportParams;
  uint32_t FPendingError = 0, FPendingIndex = 0;
  // Upload: past the event phase; event requests sent; the event texts by
  // sequence number, as many as arrived.
  bool FUPEvented = false;
  int32_t FUPEventNumber = 0;
  std::vector<std::u16string> FUPEventValues;
};

}  // namespace vk
