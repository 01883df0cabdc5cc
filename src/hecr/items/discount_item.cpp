#include "hecr/items/discount_item.h"

#include <string>

#include "data/numbers.h"
#include "data/sysdata.h"
#include "data/text_file.h"
#include "hecr/hecr_protocol.h"
#include "hecr/items/hecr_codecs.h"

namespace vk {

namespace {

using Item = TVKSDKHecrDiscountItem;

// A record's place in the table is (ID - 1) × 3 + ItemIndex; on upload both
// columns are written from it (RowId is the place, counted from 1).
std::u16string ExportDiscountId(const TVKCodecContext& c, const uint8_t*, int32_t) {
  return Widen(std::to_string((c.RowId - 1) / Item::kSteps + 1));
}
std::u16string ExportDiscountStep(const TVKCodecContext& c, const uint8_t*, int32_t) {
  return Widen(std::to_string((c.RowId - 1) % Item::kSteps + 1));
}

constexpr auto BIN = &TVKSysData::SetBIN;
constexpr auto GBIN = &TVKSysData::GetBIN;

constexpr TVKSDKRAMFieldInfo kDiscountFields[] = {
    FieldInfo(u"ID", 0, nullptr, &ExportDiscountId, 0),
    FieldInfo(u"ItemIndex", 0, nullptr, &ExportDiscountStep, 0),
    FieldInfo(u"Mode", 0, BIN, GBIN, 1),
    FieldInfo(u"BeginDateTime", 1, &ImportDate, &ExportDate, 6),
    FieldInfo(u"EndDateTime", 7, &ImportDate, &ExportDate, 6),
    FieldInfo(u"MinWeight", 13, &ImportDeviceWeight, &ExportDeviceWeight, 4),
    FieldInfo(u"MaxWeight", 17, &ImportDeviceWeight, &ExportDeviceWeight, 4),
    FieldInfo(u"MinTotalPrice", 21, &ImportPrice, &ExportPrice, 6),
    FieldInfo(u"MaxTotalPrice", 27, &ImportPrice, &ExportPrice, 6),
    FieldInfo(u"DiscountRate", 33, BIN, GBIN, 1),
    FieldInfo(u"DiscountAmt", 34, &ImportPrice, &ExportPrice, 6),
    FieldInfo(u"Flag1", 40, BIN, GBIN, 1),
};

constexpr TVKSDKRAMDefineInfo kDiscountTable =
    TableDefine(kDiscountFields, Item::kRecordSize, Item::kPackageSize, u"ID", 1, Item::kDiscounts * Item::kSteps);
static_assert(DefineFits(kDiscountTable) && RecordLength(kDiscountFields, 12) == Item::kRecordSize - 1 &&
              Item::kPackageSize / Item::kRecordSize == Item::kSteps);

}  // namespace

TVKSDKHecrDiscountItem::TVKSDKHecrDiscountItem(TVKSDKHecrProtocol* HecrProtocol)
    : TVKSDKHecrTableItem(HecrProtocol, kDiscountTable) {}

const TVKSDKRAMDefineInfo& TVKSDKHecrDiscountItem::Table() { return kDiscountTable; }

// A conversion counts its input in packages; the table counts records.
bool TVKSDKHecrDiscountItem::isHandled(TVKSDKUDPClientClass* UDPClient) {
  const TVKSDKExecParams& p = Params();
  if (p.isConvert && p.ProcType == VKSDK_PROC_UPLOAD) FTotal = std::min(FDef->MaxCount, FTotal * kSteps);
  return TVKSDKHecrTableItem::isHandled(UDPClient);
}

// With both an ID and an ItemIndex column, each row goes to its place
// (ID - 1) × 3 + ItemIndex. A row whose step is not 1..3 or whose discount
// is not 1..99 has no place and is dropped, as rows with IDs outside a table
// are, instead of landing on another discount's step.
TVKStringsDynArray TVKSDKHecrDiscountItem::PlaceRows(const TVKStringsDynArray& Rows) {
  if (Rows.empty()) return TVKSDKHecrTableItem::PlaceRows(Rows);
  const int32_t idCol = GetFieldIndex(Rows[0], u"ID"), stepCol = GetFieldIndex(Rows[0], u"ItemIndex");
  if (idCol < 0 || stepCol < 0) return TVKSDKHecrTableItem::PlaceRows(Rows);
  TVKStringsDynArray placed;
  placed.reserve(Rows.size());
  placed.push_back(Rows[0]);
  for (size_t r = 1; r < Rows.size(); ++r) {
    const TVKStrings& row = Rows[r];
    const size_t need = static_cast<size_t>(std::max(idCol, stepCol));
    if (row.size() <= need) continue;
    const int64_t id = StrToInt64Def(row[static_cast<size_t>(idCol)], 0);
    const int64_t step = StrToInt64Def(row[static_cast<size_t>(stepCol)], 0);
    if (id < 1 || id > kDiscounts || step < 1 || step > kSteps) continue;
    TVKStrings moved = row;
    moved[static_cast<size_t>(idCol)] = Widen(std::to_string((id - 1) * kSteps + step));
    placed.push_back(std::move(moved));
  }
  return TVKSDKHecrTableItem::PlaceRows(placed);
}

// Each 128-byte package holds three records at 0, 42 and 84 and two bytes
// of padding; the scale's first reply starts with its head block, which is
// skipped (a conversion's file has none). A record is written only when it
// lies wholly inside the bytes that arrived, and is numbered by its place:
// a package that arrived in part still takes its three places.
bool TVKSDKHecrDiscountItem::DecodeUpReply(int32_t Index, const uint8_t* Data, size_t Size) {
  const size_t record = static_cast<size_t>(kRecordSize), package = static_cast<size_t>(kPackageSize);
  size_t at = (Index == 0 && !Params().isConvert) ? static_cast<size_t>(kUploadHead) : 0;
  bool any = false;
  for (; at < Size && FDataIndex < FTotal; at += package) {
    const int32_t first = FDataIndex;
    bool wrote = false;
    for (int32_t k = 0; k < kSteps && first + k < FTotal; ++k) {
      const size_t start = at + static_cast<size_t>(k) * record;
      if (start + record > Size) break;
      FDataIndex = first + k;
      WriteRecordLine(Data + start, record);
      wrote = true;
    }
    if (!wrote) break;
    any = true;
    FDataIndex = std::min(FTotal, first + kSteps);
  }
  return any;
}

}  // namespace vk
