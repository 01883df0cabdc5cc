// The SQL that moves one TSecr table: text rows to insert, update and
// delete statements, the clearing and marking statements around a task,
// and the select, count and page queries of an upload. Pure functions over
// the table definitions (tsecr_tables.h); the task sends what they build.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/sysparams.h"
#include "runtime/types.h"
#include "tsecr/tsecr_tables.h"

namespace vk {

// What the statements depend on besides the definitions and the row.
struct TVKTSecrSQLContext {
  int32_t DataType = 0;     // 105 counts as 3
  int32_t ProcType = 0;     // the task's: 0 download, 1/4 upload, 2 update, 3/6 delete
  uint32_t Ver = 0;         // the scale's version number (StrVer2IntVer)
  int32_t DataID = 0;
  std::u16string FileName;  // the barcode of a picking finish (data type 56)
  const TVKSDKSysParams* Params = nullptr;  // null: the loaded system parameters

  const TVKSDKSysParams& Sys() const { return Params != nullptr ? *Params : SysParams(); }
};

// Statement modes of BuildRowSQL.
inline constexpr int32_t kSQLModeInsert = 0;
inline constexpr int32_t kSQLModeUpdate = 2;
inline constexpr int32_t kSQLModeDelete = 3;

// Rows per download request and per upload page.
inline constexpr int32_t kSQLRowsPerRequest = 100;

// A value as an SQL literal of the given format: text quoted with inner
// quotes doubled (line ends and NUL as char() terms, so a value never ends
// a statement line); integers and flags as 32-bit decimals (0 when not a
// number); dates as 'YYYY-MM-DD HH:mm:SS'; decimals with '.'; "<null>"
// always as the text '<null>'; an unknown format as 0.
std::u16string SQLLiteral(uint16_t FieldFmt, std::u16string_view Value);

// The system parameter that replaces a PLU column of CurCommTb_SC on a
// download (ForceBarcode1, ForceFlag1, ...), empty when none applies.
std::u16string ForcedValue(const TVKTSecrSQLContext& Ctx, int32_t Mode, std::u16string_view ImportName,
                           int32_t TableIndex);

// PLU numbers and item codes taken from a file on download or update are
// normalised when the system parameters ask for it: "0012" becomes "12".
std::u16string TrimIDValue(const TVKTSecrSQLContext& Ctx, int32_t Mode, std::u16string_view ImportName,
                           std::u16string_view Value);

// The picking data types (55, 56, 57) add the light status and operation
// to every row; RowNumber 0 is the header. Other data types keep the row.
TVKStrings PickingColumns(const TVKTSecrSQLContext& Ctx, const TVKStrings& Row, int32_t RowNumber);

// The header a download works with: the file's, or for data type 56 the
// fixed one (no file is read), with the picking columns added.
TVKStrings ImportHeader(const TVKTSecrSQLContext& Ctx, const TVKStrings& FileHeader);

// For each table, for each field: the first header column whose name
// equals the field's ImportName (letter case ignored), else -1.
using TVKSQLColumnMaps = std::vector<TVKIntegers>;
TVKSQLColumnMaps BuildColumnMaps(TVKSDKSQLDefines Defines, const TVKStrings& Header);

// The statements of one row as UTF-8 text, one per line ending in CR LF.
// A delete (mode 3) with an empty row clears every table. A row shorter
// than the header reads its missing cells as empty.
std::string BuildRowSQL(const TVKTSecrSQLContext& Ctx, int32_t Mode, TVKStrings Row, const TVKSQLColumnMaps& Maps,
                        TVKSDKSQLDefines Defines);

// The block one file row contributes to a download, update or delete
// request (RowNumber counts from 1): the picking columns added, and for a
// PLU download of the customer "ZAR" the update before the insert.
std::string BuildRowBlock(const TVKTSecrSQLContext& Ctx, const TVKStrings& FileRow, int32_t RowNumber,
                          const TVKSQLColumnMaps& Maps, TVKSDKSQLDefines Defines);

// One request's share of the rows: Count rows from Index; after it the
// task reports (Index + Count, total).
struct TVKSQLBatch {
  int32_t Index = 0;
  int32_t Count = 0;
  int32_t Done() const { return Index + Count; }
  bool operator==(const TVKSQLBatch&) const = default;
};
std::vector<TVKSQLBatch> RowBatches(int32_t Total);

// The statement sent before a download, delete or upload (clearing or
// marking rows), and the one after a completed upload; empty when the data
// type has none.
std::u16string BeforeProcSQL(const TVKTSecrSQLContext& Ctx);
std::u16string AfterUploadSQL(const TVKTSecrSQLContext& Ctx);

// The select over the data type's tables (the main one as Table0, the
// others left-joined on their first key column); empty when a joined table
// has no key or nothing would be selected.
std::u16string BuildSelectSQL(const TVKTSecrSQLContext& Ctx, TVKSDKSQLDefines Defines);
// "Select Count(*) as TotalLine from (select)".
std::u16string CountSQL(std::u16string_view Select);
// One page of at most Count rows from Index.
std::u16string PageSQL(std::u16string_view Select, int32_t Index, int32_t Count);
// A page of PLUs by list: the select restricted to the given PLU numbers.
std::u16string ListPageSQL(std::u16string_view Select, std::span<const std::u16string> PluIds);

}  // namespace vk
