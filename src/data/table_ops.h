// Whole-table work: placing rows by ID, building binary records from a text
// table with a field table, cutting records into packages, and turning one
// record back into a text line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/field_info.h"
#include "runtime/types.h"

namespace vk::TVKSDKUtils {

// Count + 1 rows: the header, then the row whose OrderField value is
// Start + p - 1 at row p (the first of duplicated IDs wins; IDs outside the
// range are dropped). Without an OrderField column rows are copied in order.
TVKStringsDynArray FullStringDataItems(const TVKStringsDynArray& StringDataItems, std::u16string_view OrderField,
                                       int32_t Start, int32_t Count);

// One record per data row. The record is as long as the furthest end of any
// place of any field; "%Nil%" fields write their fixed content first, then
// every header column with a field writes its cell (missing cells read as
// empty text). When a cell cannot be encoded the result is empty and
// FailedRow is that row's number (1 = first data row); otherwise FailedRow
// is 0.
TVKBytesDynArray GenerateDataDynArray(const TVKStringsDynArray& StringDataItems,
                                      const TVKSDKRAMFieldInfo* FieldDefine, int32_t FieldCount,
                                      const TVKCodecContext& Ctx, int32_t& FailedRow);

// Builds one record of RecordLen bytes (or the table's own length when
// RecordLen is 0) into Record from one row, with the header already mapped
// (FieldIndexs from GetFieldLineIndexs). Returns false when a cell cannot be
// encoded. Record keeps whatever it held outside the written fields, so a
// prepared template can be passed in.
bool EncodeRow(const TVKStrings& Row, const TVKIntegers& FieldIndexs, const TVKSDKRAMFieldInfo* FieldDefine,
               int32_t FieldCount, const TVKCodecContext& Ctx, uint8_t* Record, int32_t RecordLen);

// Writes the fixed content of the "%Nil%" fields into a record.
bool EncodeNilFields(const TVKSDKRAMFieldInfo* FieldDefine, int32_t FieldCount, const TVKCodecContext& Ctx,
                     uint8_t* Record, int32_t RecordLen);

// Packages of PackageLen div SingleDataLen records (at most MaxCount records
// when MaxCount > 0). Short last package: full PackageLen with ClearTail,
// else only its records. Throws std::invalid_argument when a record does not
// fit a package (an item definition error).
TVKBytesDynArray TrimPackage(const TVKBytesDynArray& ImportDatas, int32_t PackageLen, int32_t SingleDataLen,
                             int32_t MaxCount, bool ClearTail);

// Count div Interval, plus 1 for a remainder; 0 for Count <= 0 or Interval <= 0.
int32_t CalcPackageCount(int32_t Count, int32_t Interval);

// One text line from the record at BaseOffset inside Data: every field except
// "%Nil%" in definition order, TAB-joined; a field beyond the data gives an
// empty cell, one cut by the end of the data is read as far as it goes; TABs
// inside exported values are removed.
std::u16string RecordToText(const uint8_t* Data, size_t DataSize, const TVKSDKRAMFieldInfo* FieldDefine,
                            int32_t FieldCount, const TVKCodecContext& Ctx, int32_t BaseOffset = 0);
// Appends one cell to a text line so that it never breaks the line.
void AppendCell(std::u16string& Line, std::u16string_view Cell);

inline std::u16string RecordToText(const TVKBytes& Data, const TVKSDKRAMFieldInfo* FieldDefine, int32_t FieldCount,
                                   const TVKCodecContext& Ctx, int32_t BaseOffset = 0) {
  return RecordToText(Data.data(), Data.size(), FieldDefine, FieldCount, Ctx, BaseOffset);
}

}  // namespace vk::TVKSDKUtils

namespace vk {
using namespace TVKSDKUtils;
}  // namespace vk
