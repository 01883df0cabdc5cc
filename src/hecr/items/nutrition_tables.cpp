// Nutrition elements (data type 26): the names, daily values and units of up
// to 20 nutrients, a whole table in 1024-byte packages. Nutrition
// information (data type 27): per PLU a description, serving facts and up to
// 20 nutrient entries, one 512-byte record per row, cleared as a whole.
#include <array>

#include "data/numbers.h"
#include "data/sysdata.h"
#include "hecr/hecr_table_item.h"
#include "hecr/items/tables.h"

namespace vk {

namespace {

constexpr auto ASC = &TVKSysData::SetASC;
constexpr auto GASC = &TVKSysData::GetASC;
constexpr auto BIN = &TVKSysData::SetBIN;
constexpr auto GBIN = &TVKSysData::GetBIN;
constexpr auto BCD = &TVKSysData::SetBCD;
constexpr auto GBCD = &TVKSysData::GetBCD;

constexpr TVKSDKRAMFieldInfo kElementFields[] = {
    FieldInfo(u"ID", 0, nullptr, &ExportRowId, 0),
    FieldInfo(u"Name", 0, ASC, GASC, 40),
    FieldInfo(u"DailyValue", 40, BIN, GBIN, 4),
    FieldInfo(u"Unit", 44, ASC, GASC, 6),
    FieldInfo(u"Flag", 50, BIN, GBIN, 1),
};

// An element's amount: the decimal text times the device's weight multiple
// (rounded half to even), a signed 32-bit big-endian number.
bool ImportContent(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!ScaleDecimal(s, c.WeightMultiple, v)) return false;
  return TVKSysData::WriteBINValue(v, p, n);
}
std::u16string ExportContent(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!TVKSysData::ReadBINValue(p, n, v)) return {};
  return FormatScaled(v, c.WeightMultiple);
}

// A percentage of the daily value in hundredths as BCD: two bytes hold
// 0 .. 99.99. A value outside that cannot be stored (the row is refused),
// rather than losing its leading digit.
bool ImportPercent(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!ScaleDecimal(s, 100, v) || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}
std::u16string ExportPercent(const TVKCodecContext&, const uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!TVKSysData::ReadBCDValue(p, n, v)) v = 0;
  return FormatScaled(v, 100);
}

// Twenty 16-byte nutrient entries from byte 84: ID at 0, flag at 5, amount
// at 7, percentage at 11; bytes 1..4, 6 and 13..15 of an entry are unused.
constexpr int32_t kElementCount = 20, kFirstElement = 84, kElementStride = 16;
constexpr size_t kInfoFieldCount = 5 + kElementCount * 6 + 3 + 1;
using InfoFields = std::array<TVKSDKRAMFieldInfo, kInfoFieldCount>;

// "Element<n><what>" for n = 1..20, as constant names the field table can
// point at.
struct ElementNames {
  std::array<std::array<char16_t, 20>, kElementCount * 4> text{};
  std::array<size_t, kElementCount * 4> len{};
  constexpr ElementNames() {
    constexpr std::u16string_view what[4] = {u"ID", u"Content", u"Flag", u"Per"};
    for (int32_t n = 1; n <= kElementCount; ++n)
      for (int32_t k = 0; k < 4; ++k) {
        auto& t = text[static_cast<size_t>((n - 1) * 4 + k)];
        size_t at = 0;
        for (char16_t ch : std::u16string_view(u"Element")) t[at++] = ch;
        if (n >= 10) t[at++] = static_cast<char16_t>(u'0' + n / 10);
        t[at++] = static_cast<char16_t>(u'0' + n % 10);
        for (char16_t ch : what[k]) t[at++] = ch;
        len[static_cast<size_t>((n - 1) * 4 + k)] = at;
      }
  }
  constexpr std::u16string_view Name(int32_t n, int32_t k) const {
    const size_t i = static_cast<size_t>((n - 1) * 4 + k);
    return {text[i].data(), len[i]};
  }
};
constexpr ElementNames kElementNames{};

constexpr InfoFields MakeInfoFields() {
  InfoFields f{};
  size_t i = 0;
  f[i++] = FieldInfo(u"PLUID", 0, BCD, GBCD, 3);
  f[i++] = FieldInfo(u"Depict", 3, ASC, GASC, 40);
  f[i++] = FieldInfo(u"SizeInfo", 43, ASC, GASC, 20);
  f[i++] = FieldInfo(u"PerInfo", 63, ASC, GASC, 20);
  f[i++] = FieldInfo(u"UseCount", 83, BIN, GBIN, 1);
  for (int32_t n = 1; n <= kElementCount; ++n) {
    const int32_t at = kFirstElement + kElementStride * (n - 1);
    f[i++] = FieldInfo(kElementNames.Name(n, 0), at, BIN, GBIN, 1);
    f[i++] = FieldInfo(kElementNames.Name(n, 1), at + 7, &ImportContent, &ExportContent, 4);
    f[i++] = FieldInfo(kElementNames.Name(n, 2), at + 5, BIN, GBIN, 1);
    f[i++] = FieldInfo(kNilFieldName, at + 1, nullptr, nullptr, 4, nullptr, nullptr, at + 6, 1);
    f[i++] = FieldInfo(kElementNames.Name(n, 3), at + 11, &ImportPercent, &ExportPercent, 2);
    f[i++] = FieldInfo(kNilFieldName, at + 13, nullptr, nullptr, 3);
  }
  f[i++] = FieldInfo(u"PerWeight", 404, BIN, GBIN, 4);
  f[i++] = FieldInfo(u"PerCount", 408, BIN, GBIN, 2);
  f[i++] = FieldInfo(u"PerUnit", 410, BIN, GBIN, 1);
  // The rest of the record is zero.
  f[i++] = FieldInfo(kNilFieldName, 411, nullptr, nullptr, 512 - 411);
  return f;
}
constexpr InfoFields kInfoFields = MakeInfoFields();

constexpr bool InfoFieldsAreSound() {
  // Every entry filled, the last nutrient's percentage is at 399, and no
  // two named places share a byte.
  if (kInfoFields.back().ImportName != kNilFieldName) return false;
  std::array<bool, 512> used{};
  for (const auto& f : kInfoFields) {
    if (f.ImportName.empty() || IsNilField(f)) continue;
    for (int32_t b = f.Offset; b < f.Offset + f.Size; ++b) {
      if (used[static_cast<size_t>(b)]) return false;
      used[static_cast<size_t>(b)] = true;
    }
  }
  return kInfoFields[5 + 19 * 6 + 4].ImportName == u"Element20Per" && kInfoFields[5 + 19 * 6 + 4].Offset == 399;
}
static_assert(InfoFieldsAreSound(), "the nutrition information layout overlaps or lost an entry");

constexpr TVKSDKRAMDefineInfo MakeInfoTable() {
  TVKSDKRAMDefineInfo d{};
  d.FieldInfoDynArray = kInfoFields.data();
  d.FieldCount = static_cast<int32_t>(kInfoFields.size());
  d.SingleDataLen = 512;
  d.PackageLen = 512;
  d.OrderFieldName = u"PLUID";
  return d;
}

}  // namespace

extern constexpr TVKSDKRAMDefineInfo kNutritionElementTable = TableDefine(kElementFields, 64, 1024, u"ID", 1, 20);
extern constexpr TVKSDKRAMDefineInfo kNutritionInfoTable = MakeInfoTable();
static_assert(DefineFits(kNutritionElementTable) && DefineFits(kNutritionInfoTable));

}  // namespace vk
