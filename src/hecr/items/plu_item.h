// The PLU table of a Hecr scale: one 512-byte record per article, sent one
// record per frame in ascending ID order, read back by position (or by ID
// for a list of IDs), and cleared as a whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/text_file.h"
#include "hecr/hecr_item.h"

namespace vk {

class TVKSDKHecrPLUItem : public TVKSDKHecrCustomItem {
 public:
  static constexpr int32_t kRecordSize = 512;
  static constexpr uint16_t kDownCmd = 0x982E;
  static constexpr uint16_t kUpCmd = 0x602E;
  static constexpr uint16_t kUpByIdCmd = 0x6071;
  static constexpr uint16_t kDelCmd = 0x9830;
  // The name a row gets when Minus2Delete retires it ("---" names).
  static constexpr std::u16string_view kRetiredName = u"\u6B64\u5355\u54C1\u5DF2\u505C\u552E";

  using TVKSDKHecrCustomItem::TVKSDKHecrCustomItem;

  void Create() override;
  void DefineFields() override;
  TLengthInfo GetLengthInfo() const override { return {kRecordSize, kRecordSize}; }
  bool isHandled(TVKSDKUDPClientClass* UDPClient) override;
  bool GetDownSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetDownRecvData(int32_t Index, const TVKBytes& Data) override;
  bool GetUpSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetUpRecvData(int32_t Index, const TVKBytes& Data) override;
  bool GetDelSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetDelRecvData(int32_t Index, const TVKBytes& Data) override;
  void Prefetch(int32_t Index) override;

  // Codec state: the multiples the price and weight codecs scale by, and
  // the device facts the name codec needs.
  int32_t FUnitPriceMultiple = 1;
  int32_t FWeightRatio = 1;
  // The weight multiple a conversion's parameters name (1: none named).
  int32_t FWeightMultiple = 1;
  bool FSpeedCodeFromName = false;  // Country 10: names give speed codes
  bool FWeightUseg = false;

  // Weight divisor of a unit: grams-style units 1000, tenth units 10.
  static int32_t WeightRatioOfUnit(int32_t UnitID);
  // The weight divisor of a row with this UnitID text: a named weight
  // multiple for every row, else the unit's (1 with WeightUseg).
  int32_t RowWeightRatio(std::u16string_view UnitText) const;
  const std::vector<TVKSDKRAMFieldInfo>& Fields() const { return FFields; }

 private:
  // One row of the download order: the PLU number and its data row.
  struct PluRow {
    uint32_t Id;
    int32_t Row;
  };

  // What building the download frame of a row came to.
  enum class DownBuild { Ok, BadCells, CannotEncode };
  // Builds the frame of download Index into Data, without reporting;
  // on CannotEncode, FailedCell is the cell that did not fit.
  DownBuild BuildDownFrame(int32_t Index, TVKBytes& Data, size_t& FailedCell);

  bool CheckDownloadFile();
  bool ReadIdList();
  int32_t LastColumnOf(int32_t field) const;
  int32_t FirstColumnOf(int32_t field) const;

  std::vector<PluRow> FPluIdList;           // download order
  std::vector<std::u16string> FUploadIds;   // upload by list
  TVKBytes FDefData;
  TVKBytes FRecord;
  uint16_t n_CMD = 0;
  uint32_t FCodePage = 0;
  uint32_t FMaxId = 999999;
  bool FCountsAnswered = true;
  // "Key=value" of the first Force INI value a byte cannot hold (empty: none).
  std::u16string FBadForce;
  // The download frame built ahead by Prefetch, and its index (-1: none).
  TVKBytes FPrefetchFrame;
  int32_t FPrefetchIndex = -1;
};

}  // namespace vk
