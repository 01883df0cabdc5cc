// The SQL of TSecr table transfers, built from the table definitions.
#include "tsecr/tsecr_sql.h"

#include <algorithm>

#include "data/numbers.h"
#include "data/text_file.h"

namespace vk {

namespace {

// Data type 105 is the hotkey table under its second number.
int32_t TableDataType(const TVKTSecrSQLContext& Ctx) { return Ctx.DataType == 105 ? 3 : Ctx.DataType; }

bool IsPickingType(int32_t DataType) { return DataType == 55 || DataType == 56 || DataType == 57; }

// Text in single quotes with inner quotes doubled. The scale runs the
// statements of a request line by line, so a line end (or a NUL, which
// would end the text early) inside the value is written as a char() term
// joined to the quoted pieces: the value arrives whole and cannot start a
// statement of its own.
std::u16string QuoteText(std::u16string_view Value) {
  std::u16string out;
  out.reserve(Value.size() + 2);
  out += u'\'';
  for (char16_t c : Value) {
    if (c == u'\'') {
      out += u"''";
    } else if (c == u'\r' || c == u'\n' || c == u'\0') {
      out += u"'||char(";
      out += Widen(std::to_string(static_cast<int>(c)));
      out += u")||'";
    } else {
      out += c;
    }
  }
  out += u'\'';
  return out;
}

// Spaces and control characters off both ends.
std::u16string_view TrimBlanks(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return s.substr(b, e - b);
}

std::u16string_view TrimSpaces(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == u' ') ++b;
  while (e > b && s[e - 1] == u' ') --e;
  return s.substr(b, e - b);
}

// The cell at Column; a row cut short reads its missing cells as empty.
std::u16string_view Cell(const TVKStrings& Row, int32_t Column) {
  if (Column < 0 || static_cast<size_t>(Column) >= Row.size()) return {};
  return Row[static_cast<size_t>(Column)];
}

// The first field of a table whose ImportName is Name and that the file
// has, as an index into the row; -1 when there is none.
int32_t MappedColumn(const TVKSDKSQLDefineInfo& Table, const TVKIntegers& Map, std::u16string_view Name) {
  for (size_t i = 0; i < Table.Fields().size() && i < Map.size(); ++i)
    if (Table.Fields()[i].ImportName == Name && Map[i] >= 0) return Map[i];
  return -1;
}

// Writes Value at Column, growing a row that was cut short.
void SetCell(TVKStrings& Row, int32_t Column, std::u16string_view Value) {
  if (Row.size() <= static_cast<size_t>(Column)) Row.resize(static_cast<size_t>(Column) + 1);
  Row[static_cast<size_t>(Column)] = Value;
}

// The PLU name that marks a PLU as withdrawn when Minus2Delete is on.
constexpr std::u16string_view kWithdrawnPluName = u"\u6B64\u5355\u54C1\u5DF2\u505C\u552E";

std::u16string Decimal(int64_t v) { return Widen(std::to_string(v)); }

}  // namespace

std::u16string SQLLiteral(uint16_t FieldFmt, std::u16string_view Value) {
  if (Value == u"<null>") return u"'<null>'";
  switch (FieldFmt) {
    case SQLFmtText:
      return QuoteText(Value);
    case SQLFmtInteger:
    case SQLFmtFlag:
      return Decimal(StrToIntDef(Value, 0));
    case SQLFmtDateTime: {
      int y, mo, d, h, mi, s, ms;
      DecodeDateTime(MyStrToDateTimeDef(Value, 0.0), y, mo, d, h, mi, s, ms);
      return Widen(StrFormat("'%04d-%02d-%02d %02d:%02d:%02d'", y, mo, d, h, mi, s));
    }
    case SQLFmtDecimal:
      return MyFloatToStr(MyStrToFloatDef(Value, 0.0));
    default:
      return u"0";
  }
}

std::u16string ForcedValue(const TVKTSecrSQLContext& Ctx, int32_t Mode, std::u16string_view ImportName,
                           int32_t TableIndex) {
  if (TableDataType(Ctx) != 0 || Mode != kSQLModeInsert || TableIndex != 1) return {};
  const TVKSDKSysParams& p = Ctx.Sys();
  const struct {
    std::u16string_view ImportName;
    const std::u16string& Value;
  } forced[] = {
      {u"BarcodeType1", p.ForceBarcode1},
      {u"Flag1", p.ForceFlag1},
      {u"Flag2", p.ForceFlag2},
      {u"Flag3", p.ForceFlag3},
      {u"ProducedDateRule", p.ForceProducedDateRule},
      {u"FreshnessDateFrom", p.ForceFreshnessDateFrom},
      {u"ValidDateFrom", p.ForceValidDateFrom},
      {u"PackageDateFrom", p.ForcePackageDateFrom},
  };
  for (const auto& f : forced)
    if (f.ImportName == ImportName) return f.Value;
  return {};
}

std::u16string TrimIDValue(const TVKTSecrSQLContext& Ctx, int32_t Mode, std::u16string_view ImportName,
                           std::u16string_view Value) {
  if (Mode != kSQLModeInsert && Mode != kSQLModeUpdate) return std::u16string(Value);
  const TVKSDKSysParams& p = Ctx.Sys();
  const int32_t dt = TableDataType(Ctx);
  const bool pluNumber =
      p.TrimPLUID4TS && ((dt == 0 && ImportName == u"ID") ||
                         ((dt == 3 || dt == 12 || dt == 13 || dt == 14 || dt == 28) && ImportName == u"PLUID"));
  if (pluNumber) return Decimal(StrToIntDef(TrimBlanks(Value), 0));
  if (p.TrimPLUCode4TS && dt == 0 && ImportName == u"ItemCode") return Decimal(StrToInt64Def(TrimBlanks(Value), 0));
  return std::u16string(Value);
}

TVKStrings PickingColumns(const TVKTSecrSQLContext& Ctx, const TVKStrings& Row, int32_t RowNumber) {
  const int32_t dt = TableDataType(Ctx);
  if (!IsPickingType(dt)) return Row;
  if (dt == 56) {
    if (RowNumber == 0) return {u"barcode", u"LightStatus", u"OperateType"};
    return {Ctx.FileName, Decimal(Ctx.DataID), u"1"};
  }
  TVKStrings out = Row;
  if (RowNumber == 0) {
    out.push_back(u"LightStatus");
    out.push_back(u"OperateType");
  } else {
    out.push_back(Decimal(Ctx.DataID));
    out.push_back(dt == 55 ? u"0" : u"2");
  }
  return out;
}

TVKStrings ImportHeader(const TVKTSecrSQLContext& Ctx, const TVKStrings& FileHeader) {
  return PickingColumns(Ctx, FileHeader, 0);
}

TVKSQLColumnMaps BuildColumnMaps(TVKSDKSQLDefines Defines, const TVKStrings& Header) {
  TVKSQLColumnMaps maps;
  maps.reserve(Defines.size());
  for (const TVKSDKSQLDefineInfo& t : Defines) {
    TVKStrings names;
    for (const TVKSDKSQLFieldInfo& f : t.Fields()) names.emplace_back(f.ImportName);
    TVKIntegers map = GetFieldLineIndexs(Header, names);
    // An empty ImportName is no column, even beside an empty header cell.
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i].empty()) map[i] = -1;
    maps.push_back(std::move(map));
  }
  return maps;
}

std::string BuildRowSQL(const TVKTSecrSQLContext& Ctx, int32_t Mode, TVKStrings Row, const TVKSQLColumnMaps& Maps,
                        TVKSDKSQLDefines Defines) {
  const int32_t dt = TableDataType(Ctx);
  const TVKSDKSysParams& p = Ctx.Sys();
  std::u16string sql;
  if (Mode == kSQLModeDelete && Row.empty()) {
    for (const TVKSDKSQLDefineInfo& t : Defines) sql += u"Delete From " + std::u16string(t.TableName) + u"\r\n";
    return Utf16ToUtf8(sql);
  }
  if (Row.empty()) return {};
  if (Mode != kSQLModeInsert && Mode != kSQLModeUpdate && Mode != kSQLModeDelete) return {};

  static const TVKIntegers kNoMap;
  for (size_t k = 0; k < Defines.size(); ++k) {
    const TVKSDKSQLDefineInfo& table = Defines[k];
    const TVKIntegers& map = k < Maps.size() ? Maps[k] : kNoMap;

    // A group needs a group number: a row whose ID is negative or not a
    // number gives no statements at all.
    if (dt == 4 && Mode == kSQLModeInsert && k == 0) {
      const int32_t id = MappedColumn(table, map, u"ID");
      if (id >= 0 && StrToIntDef(Cell(Row, id), -1) < 0) return {};
    }
    // With Minus2Delete a PLU named "---..." is withdrawn: the name says so
    // and the price is 0, in every table of the row.
    if (p.Minus2Delete && dt == 0 && Mode == kSQLModeInsert && k == 0) {
      const int32_t name = MappedColumn(table, map, u"Name1");
      if (name >= 0 && Cell(Row, name).starts_with(u"---")) {
        SetCell(Row, name, kWithdrawnPluName);
        const int32_t price = MappedColumn(table, map, u"Price");
        if (price >= 0) SetCell(Row, price, u"0");
      }
    }

    std::u16string keys, columns, values, sets;
    for (size_t i = 0; i < table.Fields().size(); ++i) {
      const TVKSDKSQLFieldInfo& f = table.Fields()[i];
      if (f.VerCtrl > Ctx.Ver) continue;
      const int32_t column = i < map.size() ? map[i] : -1;
      std::u16string value;
      if (!f.ConstVal.empty()) {
        value = f.ConstVal;
      } else if (std::u16string forced = ForcedValue(Ctx, Mode, f.ImportName, static_cast<int32_t>(k));
                 !forced.empty()) {
        value = std::move(forced);
      } else if (column < 0) {
        if (!f.AlwaysInSql && (f.DefaultVal.empty() || Mode == kSQLModeUpdate)) continue;
        value = f.DefaultVal;
      } else {
        value = TrimIDValue(Ctx, Mode, f.ImportName, Cell(Row, column));
      }
      const std::u16string literal = SQLLiteral(f.FieldFmt, value);
      if (f.IsPrimary) keys.append(u" And ").append(f.FieldName).append(u"=").append(literal);
      if (Mode == kSQLModeUpdate) {
        sets.append(u",").append(f.FieldName).append(u"=").append(literal);
      } else {
        columns.append(u",").append(f.FieldName);
        values.append(u",").append(literal);
      }
    }
    if (!keys.empty()) keys.erase(0, 5);
    if (!columns.empty()) columns.erase(0, 1);
    if (!values.empty()) values.erase(0, 1);
    if (!sets.empty()) sets.erase(0, 1);

    const std::u16string name(table.TableName);
    if (Mode == kSQLModeInsert) {
      const bool keepExisting = Ctx.ProcType == 0 && dt == 0 && p.Customer == u"ZAR";
      if (keepExisting) {
        sql += u"INSERT OR IGNORE INTO " + name + u"(" + columns + u") VALUES(" + values + u")\r\n";
      } else {
        if (!keys.empty()) sql += u"DELETE FROM " + name + u" WHERE " + keys + u"\r\n";
        sql += u"INSERT INTO " + name + u"(" + columns + u") VALUES(" + values + u")\r\n";
      }
    } else if (Mode == kSQLModeUpdate) {
      if (!sets.empty() && !keys.empty()) sql += u"Update OR IGNORE " + name + u" set " + sets + u" WHERE " + keys + u"\r\n";
    } else {
      sql += u"DELETE FROM " + name + u" WHERE " + keys + u"\r\n";
    }
  }
  return Utf16ToUtf8(sql);
}

std::string BuildRowBlock(const TVKTSecrSQLContext& Ctx, const TVKStrings& FileRow, int32_t RowNumber,
                          const TVKSQLColumnMaps& Maps, TVKSDKSQLDefines Defines) {
  const TVKStrings row = PickingColumns(Ctx, FileRow, RowNumber);
  // A PLU download for "ZAR" updates the PLUs the scale has and inserts the
  // others; each statement starts from the row as read, so a withdrawn
  // PLU's new name reaches only the insert.
  if (Ctx.ProcType == 0 && TableDataType(Ctx) == 0 && Ctx.Sys().Customer == u"ZAR")
    return BuildRowSQL(Ctx, kSQLModeUpdate, row, Maps, Defines) + BuildRowSQL(Ctx, kSQLModeInsert, row, Maps, Defines);
  return BuildRowSQL(Ctx, Ctx.ProcType, row, Maps, Defines);
}

std::vector<TVKSQLBatch> RowBatches(int32_t Total) {
  std::vector<TVKSQLBatch> batches;
  for (int32_t index = 0; index < Total; index += kSQLRowsPerRequest)
    batches.push_back({index, std::min(Total - index, kSQLRowsPerRequest)});
  return batches;
}

std::u16string BeforeProcSQL(const TVKTSecrSQLContext& Ctx) {
  const int32_t dt = TableDataType(Ctx);
  const TVKSDKSysParams& p = Ctx.Sys();
  if (Ctx.ProcType == 1) {
    switch (dt) {
      case 263: return u"update LabelPrintRecordTb set uploadstatus=1 where uploadstatus=0 or uploadstatus is null ";
      case 67: return u"update ESLInfoTbl set uploadstatus=1 where uploadstatus=0 or uploadstatus is null ";
      case 69:
        return Ctx.DataID == 0 ? u"update ESLPairTbl set uploadstatus=1 where uploadstatus=0 or uploadstatus is null "
                               : u"update ESLPairTbl set uploadstatus=1";
      default: return {};
    }
  }
  if (Ctx.ProcType == 0) {
    switch (dt) {
      case 2: return u"delete from TypeGroupTb ";
      case 3: return p.ClearHotkey4TS ? u"delete from CurCommTb_Relation " : u"";
      case 4: return p.ClearGroup4TS ? u"delete from CommTypeTb " : u"";
      case 17: return u"delete from WeightBarcodeFormatTb where FormatID>=150 ";
      case 52: return u"delete from EventTbl ";
      case 288: return u"delete from TraceStatusTb ";
      case 289: return u"delete from TraceMapTb ";
      case 290: return u"delete from TraceDataTb ";
      default: return {};
    }
  }
  return {};
}

std::u16string AfterUploadSQL(const TVKTSecrSQLContext& Ctx) {
  if (Ctx.ProcType != 1) return {};
  switch (TableDataType(Ctx)) {
    case 263: return u"update LabelPrintRecordTb set uploadstatus=2 where uploadstatus=1";
    case 67: return u"update ESLInfoTbl set uploadstatus=2 where uploadstatus=1";
    case 69: return u"update ESLPairTbl set uploadstatus=2 where uploadstatus=1";
    default: return {};
  }
}

std::u16string BuildSelectSQL(const TVKTSecrSQLContext& Ctx, TVKSDKSQLDefines Defines) {
  const int32_t dt = TableDataType(Ctx);
  const bool marked = dt == 263 || dt == 67 || dt == 69;
  std::u16string columns, conditions = marked ? u" AND uploadstatus=1" : u"";
  std::u16string from, joinKey;
  for (size_t k = 0; k < Defines.size(); ++k) {
    const TVKSDKSQLDefineInfo& table = Defines[k];
    const std::u16string alias = u"Table" + Decimal(static_cast<int64_t>(k));
    std::u16string key;
    for (const TVKSDKSQLFieldInfo& f : table.Fields()) {
      if (f.VerCtrl > Ctx.Ver) continue;
      const std::u16string c = alias + u"." + std::u16string(f.FieldName);
      const std::u16string as(f.ImportName);
      if (!as.empty()) {
        const bool plain = TrimSpaces(f.DefaultVal).empty() || (dt == 0 && k == 0 && as == u"Price");
        const bool amount = as == u"UnitPrice" || as == u"TotalPrice" || as == u"DiscountAmt" || as == u"Weight";
        const std::u16string empty = u"Case When ((" + c + u" is null) or (" + c + u" is \"\")) then " +
                                     QuoteText(f.DefaultVal) + u" else ";
        if (plain)
          columns += u"," + c + u" as " + as;
        else if (dt == 263 && as == u"Weight" && Ctx.Sys().SaleRecordUseg)
          columns += u"," + empty + u"cast(" + c + u"*1000 as varchar) end as " + as;
        else if (dt == 263 && amount)
          columns += u"," + empty + u"cast(" + c + u" as varchar) end as " + as;
        else
          columns += u"," + empty + c + u" end as " + as;
      }
      if (!f.ConstVal.empty()) conditions += u" AND " + c + u"=" + SQLLiteral(f.FieldFmt, f.ConstVal);
      if (f.IsPrimary && key.empty()) key = c;
    }
    if (Defines.size() > 1 && key.empty()) return {};
    if (k == 0) {
      from = std::u16string(table.TableName) + u" " + alias;
      joinKey = key;
    } else {
      from += u" Left Join " + std::u16string(table.TableName) + u" " + alias + u" On " + joinKey + u"=" + key;
    }
  }
  // Nothing to select (no tables, or no column with a text name) is no
  // query at all.
  if (columns.empty()) return {};
  columns.erase(0, 1);
  if (!conditions.empty()) conditions = u" Where " + conditions.substr(5);
  if (dt == 17) conditions = u" where FormatID>=150 ";
  return u"select " + columns + u" from " + from + u" " + conditions;
}

std::u16string CountSQL(std::u16string_view Select) {
  return u"Select Count(*) as TotalLine from (" + std::u16string(Select) + u")";
}

std::u16string PageSQL(std::u16string_view Select, int32_t Index, int32_t Count) {
  return std::u16string(Select) + Widen(StrFormat(" Limit %d,%d", Index, Count));
}

// The numbers go in double quotes, as the scale's firmware expects them;
// a double quote inside one is doubled so that it stays one value.
std::u16string ListPageSQL(std::u16string_view Select, std::span<const std::u16string> PluIds) {
  std::u16string sql = std::u16string(Select) + u" where Table0.BCode in (";
  for (size_t i = 0; i < PluIds.size(); ++i) {
    if (i > 0) sql += u",";
    sql += u"\"";
    for (char16_t c : PluIds[i]) {
      if (c == u'"') sql += u'"';
      sql += c;
    }
    sql += u"\"";
  }
  return sql + u")";
}

}  // namespace vk
