// How a binary record is described: one row per field with its column name,
// its place (or two places) in the record and the codec pair that converts
// between the cell text and the bytes. Field tables are plain constant data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vk {

// What a codec may need beyond the bytes: the device's facts and the task's
// decimal multiples. The mutable part is state a record's codecs share
// while one record is encoded or decoded (the weight divisor a PLU's unit
// sets for the weights after it, the next hotkey event number).
struct TVKCodecContext {
  uint32_t CodePage = 0;       // the device's character code page
  int32_t PriceMultiple = 1;   // a price v travels as v x PriceMultiple
  int32_t WeightMultiple = 1;  // the device's weight multiple (10 ^ its weight decimals)
  // A weight multiple a conversion's parameters name for every row (1: none
  // named; a PLU's unit then decides), and whether weights are grams.
  int32_t NamedWeightMultiple = 1;
  bool WeightUseg = false;
  uint8_t Country = 0;
  uint8_t LFCodeLen = 0;

  mutable int32_t RowWeightMultiple = 1;
  mutable int32_t EventIndex = 0;
  mutable int32_t RowId = 0;  // the ID of a record numbered by its position
};

// Import (text to bytes) returns false when the cell cannot be encoded (a
// number too large for its field); the row is then refused with 267.
// Imports never write outside [lpData, lpData + nSize).
using TVKSDKImportFun = bool (*)(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData,
                                 int32_t nSize);
using TVKSDKExportFun = std::u16string (*)(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize);
// Two-place forms, for a field stored in two parts of the record.
using TVKSDKImportFun1 = bool (*)(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData,
                                  int32_t nSize, uint8_t* lpData1, int32_t nSize1);
using TVKSDKExportFun1 = std::u16string (*)(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize,
                                            const uint8_t* lpData1, int32_t nSize1);

// The column name of a field that has no column: never exported, never in a
// header, never matched.
inline constexpr std::u16string_view kNilFieldName = u"%Nil%";

struct TVKSDKRAMFieldInfo {
  std::u16string_view ImportName;
  TVKSDKImportFun ImportFun = nullptr;
  TVKSDKExportFun ExportFun = nullptr;
  TVKSDKImportFun1 ImportFun1 = nullptr;  // when set, takes precedence over the one-place pair
  TVKSDKExportFun1 ExportFun1 = nullptr;
  int32_t Offset = 0, Size = 0;
  int32_t Offset1 = 0, Size1 = 0;
};

constexpr bool IsNilField(const TVKSDKRAMFieldInfo& f) { return f.ImportName == kNilFieldName; }

// Fills one element in a single call (argument order as everywhere in the SDK).
constexpr void SetFieldInfo(TVKSDKRAMFieldInfo& Field, std::u16string_view ImportName, int32_t Offset,
                            TVKSDKImportFun ImportFun, TVKSDKExportFun ExportFun, int32_t Size,
                            TVKSDKImportFun1 ImportFun1 = nullptr, TVKSDKExportFun1 ExportFun1 = nullptr,
                            int32_t Offset1 = 0, int32_t Size1 = 0) {
  Field.ImportName = ImportName;
  Field.Offset = Offset;
  Field.ImportFun = ImportFun;
  Field.ExportFun = ExportFun;
  Field.Size = Size;
  Field.ImportFun1 = ImportFun1;
  Field.ExportFun1 = ExportFun1;
  Field.Offset1 = Offset1;
  Field.Size1 = Size1;
}

// The same as a value, for constexpr tables.
constexpr TVKSDKRAMFieldInfo FieldInfo(std::u16string_view ImportName, int32_t Offset, TVKSDKImportFun ImportFun,
                                       TVKSDKExportFun ExportFun, int32_t Size,
                                       TVKSDKImportFun1 ImportFun1 = nullptr,
                                       TVKSDKExportFun1 ExportFun1 = nullptr, int32_t Offset1 = 0,
                                       int32_t Size1 = 0) {
  TVKSDKRAMFieldInfo f{};
  SetFieldInfo(f, ImportName, Offset, ImportFun, ExportFun, Size, ImportFun1, ExportFun1, Offset1, Size1);
  return f;
}

// Bytes a record needs to hold every place of every field.
constexpr int32_t RecordLength(const TVKSDKRAMFieldInfo* Fields, int32_t Count) {
  int32_t len = 0;
  for (int32_t i = 0; i < Count; ++i) {
    if (Fields[i].Size > 0 && Fields[i].Offset + Fields[i].Size > len) len = Fields[i].Offset + Fields[i].Size;
    if (Fields[i].Size1 > 0 && Fields[i].Offset1 + Fields[i].Size1 > len) len = Fields[i].Offset1 + Fields[i].Size1;
  }
  return len;
}

// True when every place lies inside a record of RecordLen bytes (for
// static_assert on field tables).
constexpr bool FieldsFit(const TVKSDKRAMFieldInfo* Fields, int32_t Count, int32_t RecordLen) {
  for (int32_t i = 0; i < Count; ++i) {
    const auto& f = Fields[i];
    if (f.Offset < 0 || f.Size < 0 || f.Offset + f.Size > RecordLen) return false;
    if (f.Offset1 < 0 || f.Size1 < 0 || f.Offset1 + f.Size1 > RecordLen) return false;
  }
  return true;
}

// A table definition: the field table and how records are laid out and
// grouped. Definitions are constant data; one generic item serves every
// whole table and one every streamed table (the commands are the data
// type's).
struct TVKSDKRAMDefineInfo {
  const TVKSDKRAMFieldInfo* FieldInfoDynArray = nullptr;
  int32_t FieldCount = 0;
  int32_t SingleDataLen = 0;  // record length
  int32_t PackageLen = 0;     // bytes per package
  // The column rows are placed by. With MaxCount > 0 the table holds the
  // records FirstId .. FirstId + MaxCount - 1 by position; an order field
  // without a place in the record is written from the position on upload.
  std::u16string_view OrderFieldName;
  int32_t MaxCount = 0;
  int32_t FirstId = 1;
  bool ClearTail = false;     // a short last package is sent at full length

  constexpr std::span<const TVKSDKRAMFieldInfo> Fields() const { return {FieldInfoDynArray, static_cast<size_t>(FieldCount)}; }
};

// A definition from a constant field array, checked to fit its record.
template <size_t N>
constexpr TVKSDKRAMDefineInfo TableDefine(const TVKSDKRAMFieldInfo (&Fields)[N], int32_t RecordLen,
                                          int32_t PackageLen, std::u16string_view OrderField = {},
                                          int32_t FirstId = 1, int32_t MaxCount = 0) {
  TVKSDKRAMDefineInfo d{};
  d.FieldInfoDynArray = Fields;
  d.FieldCount = static_cast<int32_t>(N);
  d.SingleDataLen = RecordLen;
  d.PackageLen = PackageLen;
  d.OrderFieldName = OrderField;
  d.FirstId = FirstId;
  d.MaxCount = MaxCount;
  return d;
}

constexpr bool DefineFits(const TVKSDKRAMDefineInfo& d) {
  return FieldsFit(d.FieldInfoDynArray, d.FieldCount, d.SingleDataLen) && d.SingleDataLen > 0 &&
         d.PackageLen >= d.SingleDataLen;
}

// Ten to the power of the device's decimals for each kind of value: a value
// v in a file travels as v × multiple.
struct TVKSDKDecimalMultipleInfo {
  int32_t UnitPriceMultiple = 1;
  int32_t AmountMultiple = 1;
  int32_t WeightMultiple = 1;
  int32_t DiscountMultiple = 1;
};

}  // namespace vk
