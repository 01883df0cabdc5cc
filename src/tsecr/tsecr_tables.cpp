// The TSecr table definitions as constant data: one row per column of the
// scale's table, in the order the statements and selects name them. Every
// table is built by a consteval function that refuses, at compile time, a
// definition whose rows and inert columns do not add up to the table's
// column count, a column named twice, an unknown format, or a table whose
// key presence differs from what it is declared with.
#include "tsecr/tsecr_tables.h"

#include <algorithm>
#include <array>

namespace vk {

namespace {

constexpr uint16_t T = SQLFmtText;
constexpr uint16_t I = SQLFmtInteger;
constexpr uint16_t D = SQLFmtDateTime;
constexpr uint16_t N = SQLFmtDecimal;
constexpr bool kKey = true;
constexpr bool kNoKey = false;

// Columns that newer firmware added.
constexpr uint32_t kV2_0_21_4 = TSecrVersion(2, 0, 21, 4);  // PLU discount times
constexpr uint32_t kV3_0_2_16 = TSecrVersion(3, 0, 2, 16);  // hotkey colours and font

// A column filled from the text column ImportName (or from its default).
constexpr TVKSDKSQLFieldInfo Col(std::u16string_view FieldName, std::u16string_view ImportName, uint16_t Fmt,
                                 bool Key = kNoKey, std::u16string_view DefaultVal = {}) {
  TVKSDKSQLFieldInfo f;
  f.FieldName = FieldName;
  f.ImportName = ImportName;
  f.FieldFmt = Fmt;
  f.IsPrimary = Key;
  f.DefaultVal = DefaultVal;
  return f;
}
// A column that always holds one value and has no text column.
constexpr TVKSDKSQLFieldInfo Const(std::u16string_view FieldName, uint16_t Fmt, bool Key,
                                   std::u16string_view ConstVal) {
  TVKSDKSQLFieldInfo f;
  f.FieldName = FieldName;
  f.FieldFmt = Fmt;
  f.IsPrimary = Key;
  f.ConstVal = ConstVal;
  return f;
}
constexpr TVKSDKSQLFieldInfo AlwaysInSql(TVKSDKSQLFieldInfo f) {
  f.AlwaysInSql = true;
  return f;
}
constexpr TVKSDKSQLFieldInfo Since(uint32_t Version, TVKSDKSQLFieldInfo f) {
  f.VerCtrl = Version;
  return f;
}

consteval TVKSDKSQLDefineInfo CheckedTable(std::u16string_view Name, int32_t Columns, bool Keyed,
                                           std::span<const TVKSDKSQLFieldInfo> Fields,
                                           std::span<const std::u16string_view> Inert) {
  if (Name.empty()) throw "a table needs its name";
  if (static_cast<size_t>(Columns) != Fields.size() + Inert.size())
    throw "rows and inert columns must add up to the table's column count";
  bool hasKey = false;
  for (size_t i = 0; i < Fields.size(); ++i) {
    const TVKSDKSQLFieldInfo& f = Fields[i];
    if (f.FieldName.empty()) throw "a column needs its name";
    if (!IsSQLFmt(f.FieldFmt)) throw "unknown literal format";
    hasKey = hasKey || f.IsPrimary;
    for (size_t j = 0; j < i; ++j)
      if (Fields[j].FieldName == f.FieldName) throw "a column is named twice";
    for (std::u16string_view inert : Inert)
      if (inert == f.FieldName) throw "a column is both active and inert";
  }
  for (size_t i = 0; i < Inert.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (Inert[i] == Inert[j]) throw "an inert column is named twice";
  if (hasKey != Keyed) throw "key columns differ from the table's declaration";
  TVKSDKSQLDefineInfo d;
  d.TableName = Name;
  d.FieldInfoDynArray = Fields.data();
  d.FieldCount = static_cast<int32_t>(Fields.size());
  d.InertColumns = Inert;
  return d;
}

// A table with at least one key column; Columns is the scale table's
// column count.
template <size_t NF, size_t NI>
consteval TVKSDKSQLDefineInfo Table(std::u16string_view Name, int32_t Columns,
                                    const TVKSDKSQLFieldInfo (&Fields)[NF],
                                    const std::u16string_view (&Inert)[NI]) {
  return CheckedTable(Name, Columns, true, Fields, Inert);
}
template <size_t NF>
consteval TVKSDKSQLDefineInfo Table(std::u16string_view Name, int32_t Columns,
                                    const TVKSDKSQLFieldInfo (&Fields)[NF]) {
  return CheckedTable(Name, Columns, true, Fields, {});
}
// A log-like table without a key: its rows can be inserted and cleared,
// not addressed one by one.
template <size_t NF>
consteval TVKSDKSQLDefineInfo KeylessTable(std::u16string_view Name, int32_t Columns,
                                           const TVKSDKSQLFieldInfo (&Fields)[NF]) {
  return CheckedTable(Name, Columns, false, Fields, {});
}

// PLU, scale not an ESL base (data type 0).
constexpr TVKSDKSQLFieldInfo kCurCommTbFields[] = {
    Col(u"BCode", u"ID", T, kKey, u"0"),
    Col(u"CommID", u"ItemCode", T, kNoKey, u"0"),
    Col(u"CommName1", u"Name1", T),
    Col(u"CommName2", u"Name2", T),
    AlwaysInSql(Col(u"SpeedCode", u"SpeedCode", T)),
    Col(u"CommTypeId", u"GroupID", T, kNoKey, u"0"),
    Col(u"PMemberSale", u"MemberPrice", N, kNoKey, u"0"),
    Col(u"ConvRate", u"", N, kNoKey, u"1"),
    Col(u"SaleTaxRate", u"Tax1", N),
    Col(u"Sale1", u"Price", N, kNoKey, u"0"),
    Col(u"FlgCalMemberScore", u"", I, kNoKey, u"0"),
    Col(u"DisCountRate", u"DiscountRate", N, kNoKey, u"100"),
    Col(u"PTRefPur", u"", N, kNoKey, u"0"),
    Col(u"QFine", u"QFine", N),
    Col(u"CommStatus", u"CommStatus", I, kNoKey, u"0"),
    Col(u"IsShowTouch1", u"IsShowTouch1", I, kNoKey, u"1"),
    Col(u"Position1", u"Position1", I),
    Col(u"Measure", u"Measure", N),
    Col(u"ButtonColor", u"ButtonColor", I),
    Col(u"FontColor", u"FontColor", I),
    Col(u"FontName", u"FontName", T),
    Col(u"FontSize", u"FontSize", I),
    Col(u"FontBold", u"FontBold", I),
    Col(u"FontItalic", u"FontItalic", I),
    Col(u"FontUnderline", u"FontUnderline", I),
    Col(u"FontStrikeout", u"FontStrikeout", I),
    Col(u"SalesCategory", u"SalesCategory", T),
};
constexpr std::u16string_view kCurCommTbInert[] = {
    u"Notes", u"CommDesc", u"IgID", u"CUnit", u"FlgTb", u"FlgLink", u"Sale2", u"Sale3", u"Sale4", u"MPrice",
    u"AllowDsc", u"SNAME1", u"SNAME2", u"SNAME3", u"SNAME4", u"TaxMode", u"TaxMode2", u"TaxMode3",
    u"TaxMode4", u"MemberRate", u"QRUDisCount", u"FlgCalMemberRateToType", u"FlgBatch", u"FlgSaleRtn",
    u"FlgCounteract", u"CounteractRate", u"GiftUnit", u"OpenPrice", u"IsShowTouch2", u"Position2", u"Time",
    u"SupID", u"PStock", u"QPurPoint", u"QSafeInv", u"QDQuality", u"PurTaxRate", u"IsStockUnit", u"MPrefPur",
    u"ProfitMargin", u"ProfitMarginS", u"GrossProfit", u"MaxDiscountRate", u"PWholeSale", u"ProfitShareRate",
    u"ProfitShareAmt", u"VehicleDetailShow", u"InputTotalWhenSale", u"TempPlu", u"ShowOnKS",
    u"KitchenScreenFontColor", u"Printer", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kCurCommTb = Table(u"CurCommTb", 83, kCurCommTbFields, kCurCommTbInert);

// PLU, scale not an ESL base (data type 0).
constexpr TVKSDKSQLFieldInfo kCurCommTb_SCFields[] = {
    Col(u"BCode", u"ID", T, kKey, u"0"),
    Col(u"LFCode", u"ItemCode", I),
    Col(u"DepartmentNo", u"DepartmentID", I),
    Col(u"Name3", u"Name3", T),
    Col(u"LabelNo", u"Label1ID", I, kNoKey, u"1"),
    Col(u"AuxLabeNo", u"Label2ID", I, kNoKey, u"0"),
    AlwaysInSql(Col(u"BarCodeType1", u"BarcodeType1", I, kNoKey, u"255")),
    Col(u"BarCodeType2", u"BarcodeType2", I),
    Col(u"FreshDays", u"FreshnessDate", I),
    Col(u"StockQtyDays", u"ValidDate", I),
    Col(u"PackageRange", u"PackageRange", N),
    Col(u"PackageType", u"PackageType", I),
    Col(u"PackageWeight", u"PackageWeight", N),
    Col(u"Flag1", u"Flag1", I),
    Col(u"Flag2", u"Flag2", I),
    Col(u"Flag3", u"Flag3", I),
    Col(u"TareID", u"TareID", I),
    Col(u"TareWeight", u"TareValue", N),
    Col(u"IceID", u"ICEValue", I),
    Col(u"ProducedDate", u"ProducedDate", D),
    Col(u"ProducedTime", u"ProducedDate", D),
    Col(u"PackedDate", u"PackageDays", I),
    Col(u"PackedTime", u"PackageHours", I),
    Col(u"OriginalID", u"OriginID", I),
    Col(u"UnitID", u"UnitID", T, kNoKey, u"4"),
    Col(u"LimitPrice", u"LimitPrice", N),
    Col(u"ProductDateF", u"ProducedDateRule", I),
    Col(u"PackageDateF", u"PackageDateFrom", I),
    Col(u"ShelfDateF", u"FreshnessDateFrom", I),
    Col(u"ValidDateF", u"ValidDateFrom", I),
    Col(u"DiscountGroupID", u"DiscountID", I),
    Col(u"Text1", u"Text1ID", I),
    Col(u"Text2", u"Text2ID", I),
    Col(u"Text3", u"Text3ID", I),
    Col(u"Text4", u"Text4ID", I),
    Col(u"Text5", u"Text5ID", I),
    Col(u"Text6", u"Text6ID", I),
    Col(u"Text7", u"Text7ID", I),
    Col(u"Text8", u"Text8ID", I),
    Col(u"VantorText1", u"Message1", I),
    Col(u"VantorText2", u"Message2", I),
    Since(kV2_0_21_4, Col(u"DiscountBeginTime", u"DiscountBeginTime", D)),
    Since(kV2_0_21_4, Col(u"DiscountEndTime", u"DiscountEndTime", D)),
    Since(kV2_0_21_4, Col(u"DiscountPrice", u"DiscountPrice", N)),
    Since(kV2_0_21_4, Col(u"DiscountFlag", u"DiscountFlag", I, kNoKey, u"0")),
};
constexpr std::u16string_view kCurCommTb_SCInert[] = {
    u"BatchCode", u"BarCodeType3", u"SaleDays", u"LostWeightPercent", u"IngredientMsg", u"MemberRate",
    u"MetrictMode", u"MultiLabel", u"IsDiscountMode", u"DiscountType", u"PrintType", u"LimitPriceType",
    u"Link1Discount", u"Link2Discount", u"LabelNo2",
};
constexpr TVKSDKSQLDefineInfo kCurCommTb_SC = Table(u"CurCommTb_SC", 60, kCurCommTb_SCFields, kCurCommTb_SCInert);

// PLU, scale not an ESL base (data type 0).
constexpr TVKSDKSQLFieldInfo kCurCommTb_RizadozFields[] = {
    Col(u"BCode", u"ID", T, kKey, u"0"),
    Col(u"HotKeyName1", u"HotKeyName1", T),
    Col(u"HotKeyName2", u"HotKeyName2", T),
    Col(u"HotKeyName3", u"HotKeyName3", T),
};
constexpr TVKSDKSQLDefineInfo kCurCommTb_Rizadoz = Table(u"CurCommTb_Rizadoz", 4, kCurCommTb_RizadozFields);

// PLU, scale not an ESL base (data type 0).
constexpr TVKSDKSQLFieldInfo kPluStorageRackTbFields[] = {
    Col(u"StockNo", u"SalesCategory", I, kKey, u"0"),
    Col(u"BgColor", u"BgColor", I, kNoKey, u"0"),
};
constexpr TVKSDKSQLDefineInfo kPluStorageRackTb = Table(u"PluStorageRackTb", 2, kPluStorageRackTbFields);

// PLU, ESL base (data type 0).
constexpr TVKSDKSQLFieldInfo kEslPlutblFields[] = {
    Col(u"id", u"id", T, kKey, u"0"),
    Col(u"ItemCode", u"ItemCode", T, kNoKey, u"0"),
    Col(u"Name1", u"name1", T),
    Col(u"Name2", u"name2", T),
    Col(u"OutofStockLabel", u"outofstocklabel", I),
    Col(u"MemLabel", u"memlabel", I),
    Col(u"SaleLabel", u"salelabel", I),
    Col(u"Label", u"label", I),
    Col(u"Price", u"Price", N),
    Col(u"MemberPrice", u"MemberPrice", N),
    Col(u"DiscountPrice", u"DiscountPrice", N),
    Col(u"SaleFlag", u"saleflag", I),
    Col(u"Place", u"place", T),
    Col(u"Standard", u"standard", T),
    Col(u"Unit", u"unit", T),
    Col(u"Grade", u"grade", T),
    Col(u"DiscountBeginTime", u"DiscountBeginTime", D),
    Col(u"DiscountEndTime", u"DiscountEndTime", D),
    Col(u"QrCode", u"qrcode", T),
    Col(u"all_change_flag", u"all_change_flag", I),
    Col(u"Price_last", u"Price_last", N),
    Col(u"MemberPrice_last", u"MemberPrice_last", N),
    Col(u"DiscountPrice_last", u"DiscountPrice_last", N),
    Col(u"DiscountBeginTime_last", u"DiscountBeginTime_last", D),
    Col(u"DiscountEndTime_last", u"DiscountEndTime_last", D),
};
constexpr std::u16string_view kEslPlutblInert[] = {
    u"ShelfPosition", u"ESLID", u"MModify", u"DModify",
};
constexpr TVKSDKSQLDefineInfo kEslPlutbl = Table(u"EslPlutbl", 29, kEslPlutblFields, kEslPlutblInert);

// Units (data type 1).
constexpr TVKSDKSQLFieldInfo kUnitTbFields[] = {
    Col(u"UnitId", u"ID", I, kKey),
    Col(u"CUnit", u"Name", T),
    Col(u"Description", u"Description", T),
};
constexpr std::u16string_view kUnitTbInert[] = {
    u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kUnitTb = Table(u"UnitTb", 7, kUnitTbFields, kUnitTbInert);

// Departments (data type 2).
constexpr TVKSDKSQLFieldInfo kTypeGroupTbFields[] = {
    Col(u"TypeGroupID", u"ID", T, kKey),
    Col(u"TypeGroupName1", u"Name", T),
};
constexpr std::u16string_view kTypeGroupTbInert[] = {
    u"TypeGroupName2", u"SpeedCode", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kTypeGroupTb = Table(u"TypeGroupTb", 8, kTypeGroupTbFields, kTypeGroupTbInert);

// Hotkeys (data type 3 and 105).
constexpr TVKSDKSQLFieldInfo kCurCommTb_RelationFields[] = {
    Col(u"BCode", u"PLUID", T, kKey),
    Col(u"CommTypeId", u"GroupID", T),
    Col(u"IsShowTouch1", u"IsShowTouch1", I),
    Col(u"IsShowTouch2", u"IsShowTouch2", I),
    Col(u"Position1", u"Position1", I),
    Col(u"Position2", u"Position2", I),
    Since(kV3_0_2_16, Col(u"BackgroundColor", u"BackgroundColor", I)),
    Since(kV3_0_2_16, Col(u"FontColor", u"FontColor", I)),
    Since(kV3_0_2_16, Col(u"FontName", u"FontName", T)),
    Since(kV3_0_2_16, Col(u"FontSize", u"FontSize", I)),
    Since(kV3_0_2_16, Col(u"FontStyle", u"FontStyle", I)),
};
constexpr std::u16string_view kCurCommTb_RelationInert[] = {
    u"StockNo",
};
constexpr TVKSDKSQLDefineInfo kCurCommTb_Relation = Table(u"CurCommTb_Relation", 12, kCurCommTb_RelationFields, kCurCommTb_RelationInert);

// Groups (data type 4).
constexpr TVKSDKSQLFieldInfo kCommTypeTbFields[] = {
    Col(u"TypeID", u"ID", T, kKey),
    Col(u"TypeName1", u"Name", T),
    Col(u"SpeedCode", u"SpeedCode", T),
    Col(u"DiscountRate", u"", N, kNoKey, u"100"),
    Col(u"ShowPosition", u"ShowPosition", I),
    Col(u"IsShowTouch1", u"IsShowTouch1", I, kNoKey, u"1"),
    Col(u"TypeGroupID", u"DepartmentID", T, kNoKey, u"0"),
    Col(u"ButtonColor", u"ButtonColor", I),
    Col(u"FontName", u"FontName", T),
    Col(u"FontColor", u"FontColor", I),
    Col(u"FontSize", u"FontSize", I),
    Col(u"FontBold", u"FontBold", I),
    Col(u"FontItalic", u"FontItalic", I),
    Col(u"FontUnderline", u"FontUnderline", I),
    Col(u"FontStrikeout", u"FontStrikeout", I),
    Col(u"ParentID", u"ParentID", T),
};
constexpr std::u16string_view kCommTypeTbInert[] = {
    u"TypeName2", u"FTypeID", u"DiscountKind", u"ProfitShareRate", u"IsStop", u"IsShowTouch2", u"DModify",
    u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kCommTypeTb = Table(u"CommTypeTb", 26, kCommTypeTbFields, kCommTypeTbInert);

// Discounts (data type 5).
constexpr TVKSDKSQLFieldInfo kDiscountGroupTbFields[] = {
    Col(u"DiscGroupID", u"ID", I, kKey),
    Col(u"DiscGroupName", u"ID", T),
};
constexpr std::u16string_view kDiscountGroupTbInert[] = {
    u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kDiscountGroupTb = Table(u"DiscountGroupTb", 6, kDiscountGroupTbFields, kDiscountGroupTbInert);

// Discounts (data type 5).
constexpr TVKSDKSQLFieldInfo kDiscountScheduleTbFields[] = {
    Col(u"DiscGroupID", u"ID", I, kKey),
    Col(u"ItemIndex", u"ItemIndex", I, kKey),
    Col(u"DiscName", u"ID", T),
    Col(u"StartDateTime", u"BeginDateTime", D),
    Col(u"EndDateTime", u"EndDateTime", D),
    Col(u"DiscType", u"Mode", I),
    Col(u"DiscRate", u"DiscountRate", N),
    Col(u"DiscAmt", u"DiscountAmt", N),
    Col(u"MinWeight", u"MinWeight", N),
    Col(u"MaxWeight", u"MaxWeight", N),
    Col(u"MinAmt", u"MinTotalPrice", N),
    Col(u"MaxAmt", u"MaxTotalPrice", N),
    Col(u"Flag", u"Flag1", I),
};
constexpr std::u16string_view kDiscountScheduleTbInert[] = {
    u"WeightPercent", u"Notes", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kDiscountScheduleTb = Table(u"DiscountScheduleTb", 19, kDiscountScheduleTbFields, kDiscountScheduleTbInert);

// Tares (data type 10).
constexpr TVKSDKSQLFieldInfo kTareSettingTbFields[] = {
    Col(u"TareID", u"ID", I, kKey),
    Col(u"TareName", u"Name", T),
    Col(u"SettingType", u"Type", I),
    Col(u"Weight", u"Value", N),
    Col(u"WeightPrecent", u"Value", N),
};
constexpr std::u16string_view kTareSettingTbInert[] = {
    u"Notes", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kTareSettingTb = Table(u"TareSettingTb", 10, kTareSettingTbFields, kTareSettingTbInert);

// Sale messages (data type 12).
constexpr TVKSDKSQLFieldInfo kSaleMessageTbFields[] = {
    Col(u"BCode", u"PLUID", T, kKey),
    Col(u"Msg", u"Value", T),
};
constexpr std::u16string_view kSaleMessageTbInert[] = {
    u"SaleMessageID", u"LineNumber", u"TotalLength", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kSaleMessageTb = Table(u"SaleMessageTb", 9, kSaleMessageTbFields, kSaleMessageTbInert);

// Ingredients (data type 13).
constexpr TVKSDKSQLFieldInfo kIngredientTbFields[] = {
    Col(u"BCode", u"PLUID", T, kKey),
    Col(u"Msg", u"Value", T),
};
constexpr std::u16string_view kIngredientTbInert[] = {
    u"IngredientID", u"LineNumber", u"TotalLength", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kIngredientTb = Table(u"IngredientTb", 9, kIngredientTbFields, kIngredientTbInert);

// Note messages (data type 14).
constexpr TVKSDKSQLFieldInfo kNoteMessageTbFields[] = {
    Col(u"BCode", u"PLUID", T, kKey),
    Col(u"Msg", u"Value", T),
};
constexpr std::u16string_view kNoteMessageTbInert[] = {
    u"NoteMessageID", u"LineNumber", u"TotalLength", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kNoteMessageTb = Table(u"NoteMessageTb", 9, kNoteMessageTbFields, kNoteMessageTbInert);

// Options (data type 16).
constexpr TVKSDKSQLFieldInfo kSysParamTbOptionsFields[] = {
    Col(u"SysParamID", u"Name", T, kKey),
    Col(u"SysParamValue", u"Value", T),
    Const(u"SysParamType", I, kNoKey, u"2"),
};
constexpr std::u16string_view kSysParamTbOptionsInert[] = {
    u"SysParamDesc",
};
constexpr TVKSDKSQLDefineInfo kSysParamTbOptions = Table(u"SysParamTb", 4, kSysParamTbOptionsFields, kSysParamTbOptionsInert);

// Custom barcode formats (data type 17).
constexpr TVKSDKSQLFieldInfo kWeightBarcodeFormatTbFields[] = {
    Col(u"FormatID", u"ID", I, kKey),
    Col(u"CustomType1", u"Type1", I),
    Col(u"CustomValue1", u"Value1", I),
    Col(u"CustomType2", u"Type2", I),
    Col(u"CustomValue2", u"Value2", I),
    Col(u"CustomType3", u"Type3", I),
    Col(u"CustomValue3", u"Value3", I),
    Col(u"CustomType4", u"Type4", I),
    Col(u"CustomValue4", u"Value4", I),
    Col(u"CustomType5", u"Type5", I),
    Col(u"CustomValue5", u"Value5", I),
    Col(u"CustomType6", u"Type6", I),
    Col(u"CustomValue6", u"Value6", I),
    Col(u"CustomType7", u"Type7", I),
    Col(u"CustomValue7", u"Value7", I),
    Col(u"CustomType8", u"Type8", I),
    Col(u"CustomValue8", u"Value8", I),
};
constexpr std::u16string_view kWeightBarcodeFormatTbInert[] = {
    u"TitleName", u"IsDefined", u"IsEven", u"CustomShift1", u"CustomShift2", u"CustomShift3", u"CustomShift4",
    u"CustomShift5", u"CustomShift6", u"CustomShift7", u"CustomShift8", u"Length", u"Notes", u"DModify",
    u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kWeightBarcodeFormatTb = Table(u"WeightBarcodeFormatTb", 34, kWeightBarcodeFormatTbFields, kWeightBarcodeFormatTbInert);

// Header text (data type 19).
constexpr TVKSDKSQLFieldInfo kSysParamTbHeaderFields[] = {
    Const(u"SysParamID", T, kKey, u"headmsg"),
    Col(u"SysParamValue", u"Value", T),
    Const(u"SysParamType", I, kNoKey, u"2"),
};
constexpr std::u16string_view kSysParamTbHeaderInert[] = {
    u"SysParamDesc",
};
constexpr TVKSDKSQLDefineInfo kSysParamTbHeader = Table(u"SysParamTb", 4, kSysParamTbHeaderFields, kSysParamTbHeaderInert);

// Footer text (data type 20).
constexpr TVKSDKSQLFieldInfo kSysParamTbFooterFields[] = {
    Const(u"SysParamID", T, kKey, u"footmsg"),
    Col(u"SysParamValue", u"Value", T),
    Const(u"SysParamType", I, kNoKey, u"2"),
};
constexpr std::u16string_view kSysParamTbFooterInert[] = {
    u"SysParamDesc",
};
constexpr TVKSDKSQLDefineInfo kSysParamTbFooter = Table(u"SysParamTb", 4, kSysParamTbFooterFields, kSysParamTbFooterInert);

// Advertisement text (data type 21).
constexpr TVKSDKSQLFieldInfo kSysParamTbCaptionFields[] = {
    Const(u"SysParamID", T, kKey, u"caption"),
    Col(u"SysParamValue", u"Value", T),
    Const(u"SysParamType", I, kNoKey, u"2"),
};
constexpr std::u16string_view kSysParamTbCaptionInert[] = {
    u"SysParamDesc",
};
constexpr TVKSDKSQLDefineInfo kSysParamTbCaption = Table(u"SysParamTb", 4, kSysParamTbCaptionFields, kSysParamTbCaptionInert);

// Notes 4 (data type 28).
constexpr TVKSDKSQLFieldInfo kNote4TbFields[] = {
    Col(u"BCode", u"PLUID", T, kKey),
    Col(u"Msg", u"Value", T),
};
constexpr std::u16string_view kNote4TbInert[] = {
    u"NoteMessageID", u"LineNumber", u"TotalLength", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kNote4Tb = Table(u"Note4Tb", 9, kNote4TbFields, kNote4TbInert);

// Label definitions (data type 35).
constexpr TVKSDKSQLFieldInfo kLabelDefineTbFields[] = {
    Col(u"LabelDefineId", u"ID", I, kKey),
    Col(u"LabelTypeId", u"LabelID", I),
};
constexpr std::u16string_view kLabelDefineTbInert[] = {
    u"LabelName", u"LabelPath", u"DModify", u"DCreate", u"EmpId", u"EmpName",
};
constexpr TVKSDKSQLDefineInfo kLabelDefineTb = Table(u"LabelDefineTb", 8, kLabelDefineTbFields, kLabelDefineTbInert);

// Untied shelf labels (data type 38).
constexpr TVKSDKSQLFieldInfo kUntiedInfoTblFields[] = {
    Col(u"MachineId", u"MachineId", T, kKey, u"0"),
    Col(u"ShowPosition", u"ShowPosition", I),
};
constexpr TVKSDKSQLDefineInfo kUntiedInfoTbl = Table(u"UntiedInfoTbl", 2, kUntiedInfoTblFields);

// Shelf-to-PLU map (data type 40).
constexpr TVKSDKSQLFieldInfo kShelfLayoutTbl_BindFields[] = {
    Col(u"MachineId", u"MachineId", T, kKey, u"0"),
    Col(u"Barcode", u"Barcode", T),
    Col(u"kuwei", u"KuWei", T),
    Col(u"EslType", u"ESLType", T),
    Col(u"ShowPosition", u"ShowPosition", I),
};
constexpr TVKSDKSQLDefineInfo kShelfLayoutTbl_Bind = Table(u"ShelfLayoutTbl_Bind", 5, kShelfLayoutTbl_BindFields);

// Events (data type 52).
constexpr TVKSDKSQLFieldInfo kEventTblFields[] = {
    Col(u"EslType", u"ESLType", T, kKey, u"0"),
    Col(u"LabelNo", u"LabelNo", I),
    Col(u"SaleFlag", u"SaleFlag", I, kKey),
};
constexpr TVKSDKSQLDefineInfo kEventTbl = Table(u"EventTbl", 3, kEventTblFields);

// Picking (data type 55, 56, 57).
constexpr TVKSDKSQLFieldInfo kPickPluTbFields[] = {
    Col(u"Barcode", u"barcode", T, kKey, u"0"),
    Col(u"LightStatus", u"LightStatus", I),
    Col(u"OperateType", u"OperateType", I),
};
constexpr TVKSDKSQLDefineInfo kPickPluTb = Table(u"PickPluTb", 3, kPickPluTbFields);

// ESL information (data type 67).
constexpr TVKSDKSQLFieldInfo kESLInfoTblFields[] = {
    Col(u"ID", u"ID", I),
    Col(u"SerialNumber", u"SerialNumber", T, kKey),
    Col(u"ResultTime", u"ResultTime", D),
    Col(u"WordMode", u"WordMode", T),
    Col(u"GWPort", u"GWPort", T),
    Col(u"GWName", u"GWName", T),
    Col(u"GWChannel", u"GWChannel", I),
    Col(u"GateRSSI", u"GateRSSI", I),
    Col(u"NodeRSSI", u"NodeRSSI", I),
    Col(u"BATVoltage", u"BATVoltage", I),
    Col(u"Fault", u"Fault", I),
    Col(u"Status", u"Status", T),
};
constexpr TVKSDKSQLDefineInfo kESLInfoTbl = Table(u"ESLInfoTbl", 12, kESLInfoTblFields);

// ESL retry synchronisation (data type 68).
constexpr TVKSDKSQLFieldInfo kRetrySyncTblFields[] = {
    Col(u"MachineId", u"MachineId", T, kKey, u"0"),
    Col(u"EslType", u"ESLType", T),
};
constexpr TVKSDKSQLDefineInfo kRetrySyncTbl = Table(u"RetrySyncTbl", 2, kRetrySyncTblFields);

// ESL pairing (data type 69).
constexpr TVKSDKSQLFieldInfo kESLPairTblFields[] = {
    Col(u"SerialNumber", u"SerialNumber", T, kKey),
    Col(u"EslType", u"ESLType", T),
    Col(u"MachineId", u"MachineId", T),
    Col(u"WorkMode", u"WorkMode", T),
    Col(u"Status", u"Status", T),
    Col(u"IsExist", u"IsExist", T),
};
constexpr TVKSDKSQLDefineInfo kESLPairTbl = Table(u"ESLPairTbl", 6, kESLPairTblFields);

// ESL deletion (data type 71).
constexpr TVKSDKSQLFieldInfo kDeleteESLTblFields[] = {
    Col(u"MachineId", u"MachineId", T, kKey, u"0"),
    Col(u"EslType", u"ESLType", T),
};
constexpr TVKSDKSQLDefineInfo kDeleteESLTbl = Table(u"DeleteESLTbl", 2, kDeleteESLTblFields);

// ESL video (data type 72).
constexpr TVKSDKSQLFieldInfo kESLVideoTblFields[] = {
    Col(u"MachineId", u"MachineId", T, kKey, u"0"),
    Col(u"EslType", u"ESLType", T),
    Col(u"FileName", u"FileName", T),
};
constexpr TVKSDKSQLDefineInfo kESLVideoTbl = Table(u"ESLVideoTbl", 3, kESLVideoTblFields);

// Message 1 (data type 261).
constexpr TVKSDKSQLFieldInfo kVantor_TextMessageTbFields[] = {
    Col(u"ID", u"ID", I, kKey),
    Col(u"Text", u"Val", T),
};
constexpr TVKSDKSQLDefineInfo kVantor_TextMessageTb = Table(u"Vantor_TextMessageTb", 2, kVantor_TextMessageTbFields);

// Sale records (data type 263).
constexpr TVKSDKSQLFieldInfo kLabelPrintRecordTbFields[] = {
    Col(u"MarkD", u"TypeID", I),
    Col(u"IP", u"IP", T, kKey),
    Col(u"ReceiptNo", u"ReceiptNo", T, kKey),
    Col(u"Lfcode", u"PLUID", T),
    Col(u"UnitPrice", u"UnitPrice", N, kNoKey, u"0"),
    Col(u"TotalPrice", u"TotalPrice", N, kNoKey, u"0"),
    Col(u"DiscountAmt", u"DiscountAmt", N, kNoKey, u"0"),
    Col(u"UnitID", u"UnitID", T),
    Col(u"Weight", u"Weight", N, kNoKey, u"0"),
    Col(u"SaleTime", u"SaleTime", D),
    Col(u"OnlineTime", u"OnlineTime", D),
    Col(u"EmpId", u"Clerk", T),
    Col(u"Tracecode", u"Tracecode", T),
    Col(u"PCode", u"PCode", T),
    Col(u"LinkF", u"LinkF", I),
};
constexpr TVKSDKSQLDefineInfo kLabelPrintRecordTb = Table(u"LabelPrintRecordTb", 15, kLabelPrintRecordTbFields);

// Trace status (data type 288).
constexpr TVKSDKSQLFieldInfo kTraceStatusTbFields[] = {
    Col(u"MapCount", u"MapCount", I),
    Col(u"DataCount", u"DataCount", I),
    Col(u"Http", u"Http", T),
};
constexpr TVKSDKSQLDefineInfo kTraceStatusTb = KeylessTable(u"TraceStatusTb", 3, kTraceStatusTbFields);

// Trace map (data type 289).
constexpr TVKSDKSQLFieldInfo kTraceMapTbFields[] = {
    Col(u"PLUID", u"PLUID", T, kKey),
    Col(u"[Index]", u"Index", I),
};
constexpr TVKSDKSQLDefineInfo kTraceMapTb = Table(u"TraceMapTb", 2, kTraceMapTbFields);

// Trace data (data type 290).
constexpr TVKSDKSQLFieldInfo kTraceDataTbFields[] = {
    Col(u"GroupID", u"GroupID", I),
    Col(u"TraceCode", u"TraceCode", T),
};
constexpr TVKSDKSQLDefineInfo kTraceDataTb = KeylessTable(u"TraceDataTb", 2, kTraceDataTbFields);
// The tables of each data type, main table first.
constexpr TVKSDKSQLDefineInfo kPluTables[] = {kCurCommTb, kCurCommTb_SC, kCurCommTb_Rizadoz, kPluStorageRackTb};
constexpr TVKSDKSQLDefineInfo kEslPluTables[] = {kEslPlutbl};
constexpr TVKSDKSQLDefineInfo kUnitTables[] = {kUnitTb};
constexpr TVKSDKSQLDefineInfo kDepartmentTables[] = {kTypeGroupTb};
constexpr TVKSDKSQLDefineInfo kHotkeyTables[] = {kCurCommTb_Relation};
constexpr TVKSDKSQLDefineInfo kGroupTables[] = {kCommTypeTb};
constexpr TVKSDKSQLDefineInfo kDiscountTables[] = {kDiscountGroupTb, kDiscountScheduleTb};
constexpr TVKSDKSQLDefineInfo kTareTables[] = {kTareSettingTb};
constexpr TVKSDKSQLDefineInfo kSaleMessageTables[] = {kSaleMessageTb};
constexpr TVKSDKSQLDefineInfo kIngredientTables[] = {kIngredientTb};
constexpr TVKSDKSQLDefineInfo kNoteMessageTables[] = {kNoteMessageTb};
constexpr TVKSDKSQLDefineInfo kOptionTables[] = {kSysParamTbOptions};
constexpr TVKSDKSQLDefineInfo kBarcodeFormatTables[] = {kWeightBarcodeFormatTb};
constexpr TVKSDKSQLDefineInfo kHeaderTables[] = {kSysParamTbHeader};
constexpr TVKSDKSQLDefineInfo kFooterTables[] = {kSysParamTbFooter};
constexpr TVKSDKSQLDefineInfo kCaptionTables[] = {kSysParamTbCaption};
constexpr TVKSDKSQLDefineInfo kNote4Tables[] = {kNote4Tb};
constexpr TVKSDKSQLDefineInfo kLabelDefineTables[] = {kLabelDefineTb};
constexpr TVKSDKSQLDefineInfo kUntiedTables[] = {kUntiedInfoTbl};
constexpr TVKSDKSQLDefineInfo kShelfLayoutTables[] = {kShelfLayoutTbl_Bind};
constexpr TVKSDKSQLDefineInfo kEventTables[] = {kEventTbl};
constexpr TVKSDKSQLDefineInfo kPickingTables[] = {kPickPluTb};
constexpr TVKSDKSQLDefineInfo kEslInfoTables[] = {kESLInfoTbl};
constexpr TVKSDKSQLDefineInfo kRetrySyncTables[] = {kRetrySyncTbl};
constexpr TVKSDKSQLDefineInfo kEslPairTables[] = {kESLPairTbl};
constexpr TVKSDKSQLDefineInfo kDeleteEslTables[] = {kDeleteESLTbl};
constexpr TVKSDKSQLDefineInfo kEslVideoTables[] = {kESLVideoTbl};
constexpr TVKSDKSQLDefineInfo kTextMessageTables[] = {kVantor_TextMessageTb};
constexpr TVKSDKSQLDefineInfo kSaleRecordTables[] = {kLabelPrintRecordTb};
constexpr TVKSDKSQLDefineInfo kTraceStatusTables[] = {kTraceStatusTb};
constexpr TVKSDKSQLDefineInfo kTraceMapTables[] = {kTraceMapTb};
constexpr TVKSDKSQLDefineInfo kTraceDataTables[] = {kTraceDataTb};

struct TVKSQLDataTypeRow {
  int32_t DataType;
  TVKSDKSQLDefines Tables;  // 0 on a scale that is not an ESL base
};

// Ascending by data type. 26 and 27 (nutrition) are the family's but have
// no table on the scale.
constexpr TVKSQLDataTypeRow kDataTypeRows[] = {
    {0, kPluTables},           {1, kUnitTables},          {2, kDepartmentTables},  {3, kHotkeyTables},
    {4, kGroupTables},         {5, kDiscountTables},      {10, kTareTables},       {12, kSaleMessageTables},
    {13, kIngredientTables},   {14, kNoteMessageTables},  {16, kOptionTables},     {17, kBarcodeFormatTables},
    {19, kHeaderTables},       {20, kFooterTables},       {21, kCaptionTables},    {26, {}},
    {27, {}},                  {28, kNote4Tables},        {35, kLabelDefineTables}, {38, kUntiedTables},
    {40, kShelfLayoutTables},  {52, kEventTables},        {55, kPickingTables},    {56, kPickingTables},
    {57, kPickingTables},      {67, kEslInfoTables},      {68, kRetrySyncTables},  {69, kEslPairTables},
    {71, kDeleteEslTables},    {72, kEslVideoTables},     {105, kHotkeyTables},    {261, kTextMessageTables},
    {263, kSaleRecordTables},  {288, kTraceStatusTables}, {289, kTraceMapTables},  {290, kTraceDataTables},
};

constexpr std::array<int32_t, std::size(kDataTypeRows)> kDataTypes = [] {
  std::array<int32_t, std::size(kDataTypeRows)> types{};
  for (size_t i = 0; i < types.size(); ++i) types[i] = kDataTypeRows[i].DataType;
  return types;
}();
static_assert(std::is_sorted(kDataTypes.begin(), kDataTypes.end()) &&
                  std::adjacent_find(kDataTypes.begin(), kDataTypes.end()) == kDataTypes.end(),
              "data types ascend, each once");

// The tables after the first are joined to the main table on their first
// key column: a data type of several tables needs a key in every one.
constexpr bool JoinsHaveKeys(TVKSDKSQLDefines Tables) {
  if (Tables.size() < 2) return true;
  for (const TVKSDKSQLDefineInfo& t : Tables)
    if (std::none_of(t.Fields().begin(), t.Fields().end(), [](const auto& f) { return f.IsPrimary; })) return false;
  return true;
}
static_assert(std::all_of(std::begin(kDataTypeRows), std::end(kDataTypeRows),
                          [](const TVKSQLDataTypeRow& r) { return JoinsHaveKeys(r.Tables); }),
              "every joined table has a key");

}  // namespace

TVKSDKSQLDefines GetSQLDefines(int32_t DataType, bool EslBase) {
  if (DataType == 0 && EslBase) return kEslPluTables;
  for (const TVKSQLDataTypeRow& r : kDataTypeRows)
    if (r.DataType == DataType) return r.Tables;
  return {};
}

bool IsTSecrTableDataType(int32_t DataType) {
  return std::binary_search(kDataTypes.begin(), kDataTypes.end(), DataType);
}

std::span<const int32_t> TSecrTableDataTypes() { return kDataTypes; }

}  // namespace vk
