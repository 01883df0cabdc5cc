// The TSecr table definitions: for each data type, which tables of the
// scale's SQLite database it touches (the first is the main table, the
// others are joined to it on their first key column) and, for each column,
// its name on the scale, its text-file column, how its values are written
// as SQL literals, whether it is a key, its default and constant value and
// from which scale version on it exists. The SQL of tsecr_sql.h is driven
// entirely by these rows.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vk {

// How a column's values are written as SQL literals.
enum TVKSDKSQLFmt : uint16_t {
  SQLFmtText = 0x2001,      // quoted text
  SQLFmtInteger = 0x2002,   // 32-bit signed decimal
  SQLFmtDateTime = 0x2003,  // quoted 'YYYY-MM-DD HH:mm:SS'
  SQLFmtDecimal = 0x2004,   // decimal number, '.' as separator
  SQLFmtFlag = 0x2005,      // written as an integer
};

constexpr bool IsSQLFmt(uint16_t Fmt) { return Fmt >= SQLFmtText && Fmt <= SQLFmtFlag; }

// A scale version as a number: "a.b.c.d" packs to a·2^24 + b·2^16 + c·2^8
// + d (the value StrVer2IntVer gives for the text).
constexpr uint32_t TSecrVersion(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return (a << 24) + (b << 16) + (c << 8) + d;
}

struct TVKSDKSQLFieldInfo {
  std::u16string_view FieldName;  // the column in the scale's table
  uint16_t FieldFmt = SQLFmtText;
  bool IsPrimary = false;          // part of the row key (conditions, join key)
  std::u16string_view ConstVal;    // when set: always written, and restricts the select
  std::u16string_view DefaultVal;  // written when the file lacks the column; shown for null on upload
  std::u16string_view ImportName;  // the text-file column; empty: none
  bool AlwaysInSql = false;        // written even without a file column or default
  uint32_t VerCtrl = 0;            // lowest scale version that has the column; 0: all
};

struct TVKSDKSQLDefineInfo {
  std::u16string_view TableName;
  const TVKSDKSQLFieldInfo* FieldInfoDynArray = nullptr;
  int32_t FieldCount = 0;
  // Columns of the scale's table that take no part in any statement (no
  // text column, default, constant or key); named so that a definition
  // accounts for every column of the table.
  std::span<const std::u16string_view> InertColumns;

  constexpr std::span<const TVKSDKSQLFieldInfo> Fields() const {
    return {FieldInfoDynArray, static_cast<size_t>(FieldCount)};
  }
  // Every column of the scale's table, inert ones included.
  constexpr int32_t ColumnCount() const { return FieldCount + static_cast<int32_t>(InertColumns.size()); }
};

using TVKSDKSQLDefines = std::span<const TVKSDKSQLDefineInfo>;

// The tables of a data type, in order. Data type 0 has one table on a
// shelf-label (ESL) base and four otherwise; 105 is 3's. Data types the
// family does not move as tables (and the nutrition types 26 and 27, which
// have no table on the scale) give no tables.
TVKSDKSQLDefines GetSQLDefines(int32_t DataType, bool EslBase = false);

// Whether a data type belongs to the family's data item (26 and 27
// included, although they have no tables).
bool IsTSecrTableDataType(int32_t DataType);

// Every data type of the data item, ascending (105 included).
std::span<const int32_t> TSecrTableDataTypes();

}  // namespace vk
