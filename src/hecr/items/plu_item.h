// The PLU table of a Hecr scale: one 512-byte record per article, sent one
// record per frame in ascending ID order, read back by position (or by ID
// for a list of IDs), and cleared as a whole. Its layout is four constant
// field tables (4-byte IDs at 239 on devices with 8-digit label codes, and
// an 80-byte Name1 with ExpandName1); what is its own is the ID order, the
// check of the whole file before sending, the INI's forced values and the
// retired-name rule.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hecr/hecr_table_item.h"

namespace vk {

class TVKSDKHecrPLUItem : public TVKSDKHecrStreamItem {
 public:
  static constexpr int32_t kRecordSize = 512;
  // The name a row gets when Minus2Delete retires it ("---" names).
  static constexpr std::u16string_view kRetiredName = u"\u6B64\u5355\u54C1\u5DF2\u505C\u552E";

  explicit TVKSDKHecrPLUItem(TVKSDKHecrProtocol* HecrProtocol);

  void Create() override;
  void DefineFields() override;
  bool isHandled(TVKSDKUDPClientClass* UDPClient) override;
  bool GetUpSendData(int32_t Index, TVKBytes& Data) override;

  // The layouts: [LFCodeLen is 8][ExpandName1].
  static const TVKSDKRAMDefineInfo& Layout(bool LFCodeLen8, bool ExpandName1);

  // Weight divisor of a unit: grams-style units 1000, tenth units 10.
  static int32_t WeightRatioOfUnit(int32_t UnitID);
  // The weight divisor of a row with this UnitID text: a named weight
  // multiple for every row, else the unit's (1 with WeightUseg).
  static int32_t RowWeightRatio(const TVKCodecContext& Ctx, std::u16string_view UnitText);

 protected:
  bool CheckDownloadFile() override;
  int32_t RowOfIndex(int32_t Index) const override { return FPluIdList[static_cast<size_t>(Index)].Row; }
  void BeforeImport() override;
  TVKSDKHecrRecvCheck ShortUpReply(int32_t Index) override;
  uint16_t UpCmd() const override;

 private:
  // One row of the download order: the PLU number and its data row.
  struct PluRow {
    uint32_t Id;
    int32_t Row;
  };

  bool ReadIdList();

  std::vector<PluRow> FPluIdList;           // download order
  std::vector<std::u16string> FUploadIds;   // upload by list
  uint32_t FMaxId = 999999;
  // "Key=value" of the first Force INI value a byte cannot hold (empty: none).
  std::u16string FBadForce;
};

}  // namespace vk
