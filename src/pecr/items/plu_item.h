// The PLU table of a Pecr scale: fixed records of 64 bytes (four to a frame)
// or 128 bytes (two to a frame), written in file order, read back block by
// block up to the scale's end marker, and cleared as a whole. Its layouts
// are constant field tables: layout A for both sizes, and layout B (a
// 29-byte Name1) that some records read from the scale use.
#pragma once

#include <cstdint>

#include "data/table_file.h"
#include "pecr/pecr_item.h"

namespace vk {

class TVKSDKPecrPLUItem : public TVKSDKPecrCustomItem {
 public:
  using TVKSDKPecrCustomItem::TVKSDKPecrCustomItem;

  // Layout A or B for 64- or 128-byte records.
  static const TVKSDKRAMDefineInfo& Layout(bool Record128, bool LayoutB);
  // A record read from the scale uses layout B when this byte is FF.
  static constexpr int32_t kLayoutBMark = 30;
  // Upload slots read at most (the end marker normally comes first).
  static constexpr int32_t kMaxSlots = 20480;

  void Create() override;
  bool isHandled(TVKSDKUDPClientClass* UDPClient) override;
  bool GetDownSendData(int32_t Index, TVKBytes& Data) override;
  bool SetDownRecvData(int32_t Index, const TVKBytes& Data) override;
  bool GetUpSendData(int32_t Index, TVKBytes& Data) override;
  bool SetUpRecvData(int32_t Index, const TVKBytes& Data) override;
  bool GetDelSendData(int32_t Index, TVKBytes& Data) override;
  bool SetDelRecvData(int32_t Index, const TVKBytes& Data) override;

 private:
  // Every row checked (cell count, ID, every value fits) before anything is
  // sent; true when the task has failed (reported).
  bool CheckDownloadFile();
  // Builds record of the current row into Record; false when a cell does
  // not fit (FailedColumn names it).
  bool BuildRecord(uint8_t* Record, size_t& FailedColumn);

  int32_t FRecordSize = 64;
  bool FLegacy = false;
  bool FParamRead = true;
  bool FBadForce = false;  // the INI's ForceBarcode1 does not fit its byte
  TVKTableFileReader FReader;
  TVKBytes FDefData;
};

}  // namespace vk
