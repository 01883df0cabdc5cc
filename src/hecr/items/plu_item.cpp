#include "hecr/items/plu_item.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "runtime/codepage.h"
#include "data/numbers.h"
#include "data/sysdata.h"
#include "hecr/hecr_protocol.h"
#include "hecr/items/hecr_codecs.h"
#include "hecr/items/pinyin_initials.h"
#include "runtime/sync.h"
#include "runtime/sysparams.h"

namespace vk {

namespace {

using Item = TVKSDKHecrPLUItem;

// Places in the field table of the columns the item looks at itself.
constexpr int32_t kIdField = 0, kName1Field = 4, kUnitField = 11, kPriceField = 12;

std::u16string_view Trimmed(std::u16string_view s) {
  while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
  return s;
}

// ---- ID: the PLU number as BCD (its range was checked with the file) ----
bool ImportId(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (ParseInt64(s, v) != TVKIntParse::ipOk || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}

// ---- Prices and weights: exact decimal scaling, BCD or big-endian BIN ----
bool ImportBinPrice(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!ScaleDecimal(s, c.PriceMultiple, v)) return false;
  return TVKSysData::WriteBINValue(v, p, n);
}
std::u16string ExportBinPrice(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!TVKSysData::ReadBINValue(p, n, v)) return {};
  return FormatScaled(v, c.PriceMultiple);
}
bool ImportWeight(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  return ImportScaledBCD(s, c.RowWeightMultiple, p, n);
}
std::u16string ExportWeight(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  return ExportScaledBCD(p, n, c.RowWeightMultiple);
}
bool ImportTax(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  return ImportScaledBCD(s, 100, p, n);
}
std::u16string ExportTax(const TVKCodecContext&, const uint8_t* p, int32_t n) { return ExportScaledBCD(p, n, 100); }

// ---- UnitID: on upload its value sets the divisor of the weights after it ----
std::u16string ExportUnit(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  std::u16string s = TVKSysData::GetBIN(c, p, n);
  c.RowWeightMultiple = Item::RowWeightRatio(c, s);
  return s;
}

// ---- DiscountRate: an integer 0..99 as the BCD digits 00dd ----
bool ImportDiscountRate(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  int32_t v = StrToIntDef(s, 0);
  if (v < 0 || v > 99) v = 0;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}
std::u16string ExportBCDInt(const TVKCodecContext&, const uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!TVKSysData::ReadBCDValue(p, n, v)) v = 0;
  return IntToText(v);
}

// ---- GroupID: four decimal digits, the last two at 4, the first two at 243 ----
bool ImportGroup(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n, uint8_t* p1, int32_t n1) {
  uint64_t v = 0;
  switch (ParseUInt64(s, v)) {
    case TVKIntParse::ipOk: break;
    case TVKIntParse::ipInvalid: v = 0; break;
    case TVKIntParse::ipOverflow: return false;
  }
  if (v > 9999 || n < 1 || n1 < 1) return false;
  return TVKSysData::WriteBCDValue(v % 100, p, 1) && TVKSysData::WriteBCDValue(v / 100, p1, 1);
}
std::u16string ExportGroup(const TVKCodecContext&, const uint8_t* p, int32_t n, const uint8_t* p1, int32_t n1) {
  if (n < 1 || n1 < 1) return {};
  // Four BCD digits read as a decimal number; other nibbles take the text
  // route below, where they make the whole value 0.
  if ((p1[0] >> 4) <= 9 && (p1[0] & 0xF) <= 9 && (p[0] >> 4) <= 9 && (p[0] & 0xF) <= 9)
    return IntToText(((p1[0] >> 4) * 10 + (p1[0] & 0xF)) * 100 + (p[0] >> 4) * 10 + (p[0] & 0xF));
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X", p1[0], p[0]);
  return IntToText(StrToIntDef(Widen(buf), 0));
}

// ---- Plain text: upload files carry CR, LF and TAB as "{$0D}", "{$0A}" and
// "{$09}", so these fields undo the three escapes and an upload downloads
// back unchanged ----
bool ImportPlainText(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  if (s.find(u"{$") == std::u16string_view::npos) return TVKSysData::SetASC(c, s, p, n);
  return TVKSysData::SetASC(c, DecodeCellEscapes(s), p, n);
}

// ---- Name1, and the speed code taken from it on Chinese-market scales ----
bool SpeedCodeFromName(const TVKCodecContext& c) { return c.Country == 10; }

bool ImportName1(const TVKCodecContext& c, std::u16string_view cell, uint8_t* p, int32_t n, uint8_t* p1,
                 int32_t n1) {
  std::u16string decoded;
  std::u16string_view s = cell;
  if (cell.find(u"{$") != std::u16string_view::npos) s = decoded = DecodeCellEscapes(cell);
  if (!TVKSysData::SetASC(c, s, p, n)) return false;
  if (!SpeedCodeFromName(c)) return true;
  for (int32_t i = 0; i < n1; ++i)
    if (p1[i] != 0) return true;
  return TVKSysData::SetASC(c, PinyinInitials(s), p1, n1);
}
bool ImportName1Text(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n, uint8_t* p1,
                     int32_t n1) {
  if (!TVKSysData::SetText(c, s, p, n)) return false;
  if (!SpeedCodeFromName(c)) return true;
  for (int32_t i = 0; i < n1; ++i)
    if (p1[i] != 0) return true;
  return TVKSysData::SetASC(c, PinyinInitials(s), p1, n1);
}
std::u16string ExportName1(const TVKCodecContext& c, const uint8_t* p, int32_t n, const uint8_t*, int32_t) {
  return TVKSysData::GetText(c, p, n);
}
// With the long Name1, Name2's bytes belong to Name1.
bool ImportIgnored(const TVKCodecContext&, std::u16string_view, uint8_t*, int32_t) { return true; }
std::u16string ExportEmpty(const TVKCodecContext&, const uint8_t*, int32_t) { return {}; }

bool ImportSpeedCode(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  if (Trimmed(s).empty()) return true;
  return ImportPlainText(c, s, p, n);
}

// ---- Values the INI can force into every record ----
bool ImportBarcode1(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  const std::u16string& forced = SysParams().ForceBarcode1;
  if (!forced.empty()) return TVKSysData::SetBIN(c, forced, p, n);
  if (Trimmed(s).empty()) {
    p[0] = 255;
    return true;
  }
  return TVKSysData::SetBIN(c, s, p, n);
}

// A flag column: the cell, or the value the INI forces into every record.
template <std::u16string TVKSDKSysParams::*Param>
bool ImportFlag(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  const std::u16string& forced = SysParams().*Param;
  return TVKSysData::SetBIN(c, forced.empty() ? s : std::u16string_view(forced), p, n);
}

constexpr auto BIN = &TVKSysData::SetBIN;
constexpr auto GBIN = &TVKSysData::GetBIN;
constexpr auto BCD = &TVKSysData::SetBCD;
constexpr auto GBCD = &TVKSysData::GetBCD;
using S = TVKSDKSysParams;

constexpr size_t kPluFieldCount = 65;
using PluFields = std::array<TVKSDKRAMFieldInfo, kPluFieldCount>;

// The record layout; lf8: 4-byte IDs at 239, expand: an 80-byte Name1 that
// takes Name2's bytes.
constexpr PluFields MakePluFields(bool lf8, bool expand) {
  return {{
      lf8 ? FieldInfo(u"ID", 239, &ImportId, GBCD, 4) : FieldInfo(u"ID", 0, &ImportId, GBCD, 3),
      FieldInfo(u"DepartmentID", 3, BCD, GBCD, 1),
      FieldInfo(u"GroupID", 4, nullptr, nullptr, 1, &ImportGroup, &ExportGroup, 243, 1),
      FieldInfo(u"ItemCode", 5, BCD, GBCD, 8),
      expand ? FieldInfo(u"Name1", 13, nullptr, nullptr, 80, &ImportName1Text, &ExportName1, 250, 20)
             : FieldInfo(u"Name1", 13, nullptr, nullptr, 40, &ImportName1, &ExportName1, 250, 20),
      expand ? FieldInfo(u"Name2", 53, &ImportIgnored, &ExportEmpty, 40)
             : FieldInfo(u"Name2", 53, &TVKSysData::SetText, &TVKSysData::GetText, 40),
      FieldInfo(u"Name3", 93, &TVKSysData::SetText, &TVKSysData::GetText, 40),
      FieldInfo(u"Label1ID", 133, BIN, GBIN, 1),
      FieldInfo(u"Label2ID", 134, BIN, GBIN, 1),
      FieldInfo(u"BarcodeType1", 135, &ImportBarcode1, GBIN, 1),
      FieldInfo(u"BarcodeType2", 136, BIN, GBIN, 1),
      FieldInfo(u"UnitID", 137, BIN, &ExportUnit, 1),
      FieldInfo(u"Price", 138, &ImportPrice, &ExportPrice, 6),
      FieldInfo(u"FreshnessDate", 144, BIN, GBIN, 2),
      FieldInfo(u"PackageRange", 146, BIN, GBIN, 1),
      FieldInfo(u"PackageType", 147, BIN, GBIN, 1),
      FieldInfo(u"PackageWeight", 148, &ImportWeight, &ExportWeight, 4),
      FieldInfo(u"Text1ID", 152, BIN, GBIN, 1),
      FieldInfo(u"Text2ID", 153, BIN, GBIN, 1),
      FieldInfo(u"Text3ID", 154, BIN, GBIN, 1),
      FieldInfo(u"Text4ID", 155, BIN, GBIN, 1),
      FieldInfo(u"DiscountID", 156, BIN, GBIN, 1),
      FieldInfo(u"Flag1", 157, &ImportFlag<&S::ForceFlag1>, GBIN, 1),
      FieldInfo(u"Flag2", 158, &ImportFlag<&S::ForceFlag2>, GBIN, 1),
      FieldInfo(u"TareID", 159, BIN, GBIN, 1),
      FieldInfo(u"ICEValue", 160, BIN, GBIN, 1),
      FieldInfo(u"ProducedDate", 161, &ImportDate, &ExportDate, 6),
      FieldInfo(u"PackageDays", 167, BIN, GBIN, 2),
      FieldInfo(u"PackageHours", 169, BIN, GBIN, 1),
      FieldInfo(u"Flag3", 170, &ImportFlag<&S::ForceFlag3>, GBIN, 1),
      FieldInfo(kNilFieldName, 171, nullptr, nullptr, 2),
      FieldInfo(kNilFieldName, 173, nullptr, nullptr, 2),
      FieldInfo(u"OriginID", 175, BIN, GBIN, 2),
      FieldInfo(u"DiscountRate", 177, &ImportDiscountRate, &ExportBCDInt, 2),
      FieldInfo(u"TareValue", 179, &ImportWeight, &ExportWeight, 4),
      FieldInfo(u"HalfDiscount", 183, BIN, GBIN, 2),
      FieldInfo(u"QuarterDiscount", 185, BIN, GBIN, 2),
      FieldInfo(u"Tax1", 187, &ImportTax, &ExportTax, 2),
      FieldInfo(u"Tax2", 189, &ImportTax, &ExportTax, 2),
      FieldInfo(kNilFieldName, 0, nullptr, nullptr, 0),
      FieldInfo(kNilFieldName, 0, nullptr, nullptr, 0),
      FieldInfo(u"ValidDate", 191, BIN, GBIN, 2),
      FieldInfo(u"Text5ID", 193, BIN, GBIN, 1),
      FieldInfo(u"Text6ID", 194, BIN, GBIN, 1),
      FieldInfo(u"Text7ID", 195, BIN, GBIN, 1),
      FieldInfo(u"Text8ID", 196, BIN, GBIN, 1),
      FieldInfo(u"LimitPrice", 197, &ImportBinPrice, &ExportBinPrice, 4),
      FieldInfo(u"TraceabilityCode", 201, BCD, GBCD, 3),
      FieldInfo(u"PackagePrice", 204, &ImportPrice, &ExportPrice, 4),
      FieldInfo(u"ProducedDateRule", 208, &ImportFlag<&S::ForceProducedDateRule>, GBIN, 1),
      FieldInfo(u"PackageDateFrom", 209, &ImportFlag<&S::ForcePackageDateFrom>, GBIN, 1),
      FieldInfo(u"FreshnessDateFrom", 210, &ImportFlag<&S::ForceFreshnessDateFrom>, GBIN, 1),
      FieldInfo(u"ValidDateFrom", 211, &ImportFlag<&S::ForceValidDateFrom>, GBIN, 1),
      FieldInfo(u"DiscountBeginTime", 212, &ImportDate, &ExportDate, 6),
      FieldInfo(u"DiscountEndTime", 218, &ImportDate, &ExportDate, 6),
      FieldInfo(u"DiscountPrice", 224, &ImportPrice, &ExportPrice, 6),
      FieldInfo(u"DiscountFlag", 230, BIN, GBIN, 1),
      FieldInfo(u"Message1", 231, &TVKSysData::SetBINLE, &TVKSysData::GetBINLE, 2),
      FieldInfo(u"UnitPrintName", 233, &ImportPlainText, &TVKSysData::GetASC, 6),
      FieldInfo(u"Message2", 244, BIN, GBIN, 2),
      FieldInfo(u"LimitMinPrice", 246, &ImportBinPrice, &ExportBinPrice, 4),
      FieldInfo(u"SpeedCode", 250, &ImportSpeedCode, &TVKSysData::GetASC, 20),
      FieldInfo(u"MemberPrice", 270, &ImportPrice, &ExportPrice, 6),
      FieldInfo(u"minPackageWeight", 283, &ImportWeight, &ExportWeight, 4),
      FieldInfo(u"maxPackageWeight", 287, &ImportWeight, &ExportWeight, 4),
  }};
}

constexpr PluFields kPlu[2][2] = {{MakePluFields(false, false), MakePluFields(false, true)},
                                  {MakePluFields(true, false), MakePluFields(true, true)}};

constexpr TVKSDKRAMDefineInfo PluDefine(const PluFields& f) {
  TVKSDKRAMDefineInfo d{};
  d.FieldInfoDynArray = f.data();
  d.FieldCount = static_cast<int32_t>(f.size());
  d.SingleDataLen = Item::kRecordSize;
  d.PackageLen = Item::kRecordSize;
  d.OrderFieldName = u"ID";
  return d;
}
constexpr TVKSDKRAMDefineInfo kPluDefs[2][2] = {{PluDefine(kPlu[0][0]), PluDefine(kPlu[0][1])},
                                                {PluDefine(kPlu[1][0]), PluDefine(kPlu[1][1])}};

constexpr bool PluLayoutsFit() {
  for (const auto& row : kPluDefs)
    for (const auto& d : row) {
      if (!DefineFits(d)) return false;
      const auto f = d.Fields();
      if (f[kIdField].ImportName != u"ID" || f[kName1Field].ImportName != u"Name1" ||
          f[kUnitField].ImportName != u"UnitID" || f[kPriceField].ImportName != u"Price")
        return false;
    }
  return true;
}
static_assert(PluLayoutsFit(), "a PLU layout does not fit its record or moved a column the item reads");

}  // namespace

TVKSDKHecrPLUItem::TVKSDKHecrPLUItem(TVKSDKHecrProtocol* HecrProtocol)
    : TVKSDKHecrStreamItem(HecrProtocol, kPluDefs[0][0]) {}

const TVKSDKRAMDefineInfo& TVKSDKHecrPLUItem::Layout(bool LFCodeLen8, bool ExpandName1) {
  return kPluDefs[LFCodeLen8 ? 1 : 0][ExpandName1 ? 1 : 0];
}

int32_t TVKSDKHecrPLUItem::WeightRatioOfUnit(int32_t UnitID) {
  switch (UnitID) {
    case 4: case 6: case 10: case 12:
      return 1000;
    case 5: case 11:
      return 10;
    default:
      return 1;
  }
}

int32_t TVKSDKHecrPLUItem::RowWeightRatio(const TVKCodecContext& Ctx, std::u16string_view UnitText) {
  if (Ctx.NamedWeightMultiple != 1) return Ctx.NamedWeightMultiple;
  return Ctx.WeightUseg ? 1 : WeightRatioOfUnit(StrToIntDef(UnitText, 0));
}

void TVKSDKHecrPLUItem::DefineFields() {
  const TVKSDKDeviceRawData& raw = Params().DeviceRawData;
  FDef = &Layout(raw.LFCodeLen() == 8, SysParams().ExpandName1);
  FFields = FDef->Fields();
}

void TVKSDKHecrPLUItem::Create() {
  TVKSDKHecrStreamItem::Create();
  TVKSDKExecParams& p = Params();
  const TVKSDKSysParams& sp = SysParams();
  FCtx.WeightUseg = sp.WeightUseg;
  FMaxId = FCtx.LFCodeLen == 8 ? 99999999u : 999999u;
  // A conversion's parameters may name how the binary file holds weights; a
  // scale's own weight decimals are not used for PLUs.
  FCtx.NamedWeightMultiple = p.isConvert ? FCtx.WeightMultiple : 1;
  FCtx.RowWeightMultiple = RowWeightRatio(FCtx, u"");
  if (p.ProcType != VKSDK_PROC_DOWNLOAD) return;
  // The template every record starts from. A Force value the byte cannot
  // hold fails the whole task before anything is sent (isHandled reports
  // it), whether or not the file has the column: the first such key is
  // remembered.
  auto put = [&](const char* key, const std::u16string& forced, int32_t offset, uint8_t fallback, bool hasFallback) {
    if (!forced.empty()) {
      if (!TVKSysData::SetBIN(FCtx, forced, &FTemplate[static_cast<size_t>(offset)], 1) && FBadForce.empty())
        FBadForce = Widen(key) + u"=" + forced;
    } else if (hasFallback) {
      FTemplate[static_cast<size_t>(offset)] = fallback;
    }
  };
  put("ForceBarcode1", sp.ForceBarcode1, 135, 255, true);
  put("ForceFlag1", sp.ForceFlag1, 157, 60, true);
  put("ForceFlag2", sp.ForceFlag2, 158, 240, true);
  put("ForceFlag3", sp.ForceFlag3, 170, 0, false);
  put("ForceProducedDateRule", sp.ForceProducedDateRule, 208, 0, false);
  put("ForcePackageDateFrom", sp.ForcePackageDateFrom, 209, 0, false);
  put("ForceFreshnessDateFrom", sp.ForceFreshnessDateFrom, 210, 0, false);
  put("ForceValidDateFrom", sp.ForceValidDateFrom, 211, 0, false);
}

uint16_t TVKSDKHecrPLUItem::UpCmd() const { return Params().DataID == 1 ? Cmd().UpAlt : Cmd().Up; }

bool TVKSDKHecrPLUItem::isHandled(TVKSDKUDPClientClass* UDPClient) {
  const TVKSDKExecParams& p = Params();
  if (p.ProcType == VKSDK_PROC_UPLOAD && p.DataID == 1) return ReadIdList();
  return TVKSDKHecrStreamItem::isHandled(UDPClient);
}

// Checks every row before anything is sent, and sorts the rows by ID.
bool TVKSDKHecrPLUItem::CheckDownloadFile() {
  TVKSDKExecParams& p = Params();
  if (!FBadForce.empty()) {
    const std::u16string text = u"INI value out of range (one byte, -128..255): " + FBadForce;
    WriteDebug(text);
    if (p.LogList) p.LogList->Add(text);
    DoProgress(VKSDK_ERR_ENCODE, 0, static_cast<uint32_t>(FTotal));
    return true;
  }
  const int32_t idColumn = FReader.ColumnOf(kIdField);
  if (idColumn < 0) {
    WriteDebugAndLog("Id field not found!");
    DoProgress(VKSDK_ERR_FILE_FORMAT, 0, static_cast<uint32_t>(FTotal));
    return true;
  }
  FPluIdList.clear();
  FPluIdList.reserve(static_cast<size_t>(FTotal));
  char buf[160];
  for (int32_t r = 0; r < FTotal; ++r) {
    // Most rows are proven sound from their bytes alone; only the others
    // are decoded, and every report comes from the decoded row.
    char16_t raw[24];
    size_t rawLen = 0;
    if (FReader.PeekAsciiCell(r, static_cast<size_t>(idColumn), raw, std::size(raw), rawLen)) {
      int64_t id = 0;
      if (ParseInt64(std::u16string_view(raw, rawLen), id) == TVKIntParse::ipOk && static_cast<uint32_t>(id) != 0 &&
          id > 0 && id <= static_cast<int64_t>(FMaxId)) {
        FPluIdList.push_back({static_cast<uint32_t>(id), r});
        continue;
      }
    }
    if (!FReader.ReadRow(r)) {
      std::snprintf(buf, sizeof buf, "Mismatch Row 1:%d   Column Count %d:%d", r + 2,
                    static_cast<int>(FReader.HeaderCells()), static_cast<int>(FReader.Cells().size()));
      WriteDebugAndLog(buf);
      DoProgress(VKSDK_ERR_FILE_FORMAT, static_cast<uint32_t>(r) + 1, static_cast<uint32_t>(FTotal));
      return true;
    }
    std::u16string_view cell = FReader.Cells()[static_cast<size_t>(idColumn)];
    int64_t id = 0;
    if (ParseInt64(cell, id) != TVKIntParse::ipOk) id = 0;
    // A number the ID field cannot hold would land on another PLU.
    if (static_cast<uint32_t>(id) == 0 || id < 0 || id > static_cast<int64_t>(FMaxId)) {
      std::snprintf(buf, sizeof buf, " at row %d", r + 2);
      std::u16string text = u"Invalid Id:" + std::u16string(cell) + Widen(buf);
      WriteDebug(text);
      if (p.LogList) p.LogList->Add(text);
      DoProgress(VKSDK_ERR_FILE_FORMAT, static_cast<uint32_t>(r) + 1, static_cast<uint32_t>(FTotal));
      return true;
    }
    FPluIdList.push_back({static_cast<uint32_t>(id), r});
  }
  std::stable_sort(FPluIdList.begin(), FPluIdList.end(), [](const PluRow& a, const PluRow& b) { return a.Id < b.Id; });
  return false;
}

bool TVKSDKHecrPLUItem::ReadIdList() {
  TVKSDKExecParams& p = Params();
  std::filesystem::path list = std::filesystem::path(p.FileName).replace_extension(".lst");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(list, ec)) {
    WriteDebugAndLog("List file not found: " + Utf16ToUtf8(list.u16string()));
    DoProgress(VKSDK_ERR_OPEN_FILE, 0, 0);
    return true;
  }
  uint32_t cp = GetFileEncodingType(list);
  std::unique_ptr<TVKFileStream> stream = TVKFileStream::OpenRead(list);
  if (!stream) {
    DoProgress(VKSDK_ERR_OPEN_FILE, 0, 0);
    return true;
  }
  TVKStringsDynArray rows = GetImportStringsDynArray(*stream, cp);
  FUploadIds.clear();
  for (const TVKStrings& row : rows) {
    if (row.empty()) continue;
    std::u16string_view id = Trimmed(row[0]);
    if (!id.empty()) FUploadIds.emplace_back(id);
  }
  FTotal = static_cast<int32_t>(FUploadIds.size());
  return false;
}

void TVKSDKHecrPLUItem::BeforeImport() {
  std::vector<std::u16string_view>& cells = FReader.Cells();
  if (SysParams().Minus2Delete) {
    const int32_t nameColumn = FReader.ColumnOf(kName1Field);
    if (nameColumn >= 0 && cells[static_cast<size_t>(nameColumn)].starts_with(u"---")) {
      cells[static_cast<size_t>(nameColumn)] = kRetiredName;
      const int32_t priceColumn = FReader.ColumnOf(kPriceField);
      if (priceColumn >= 0) cells[static_cast<size_t>(priceColumn)] = u"0";
    }
  }
  const int32_t unitColumn = FReader.ColumnOf(kUnitField, true);
  FCtx.RowWeightMultiple =
      RowWeightRatio(FCtx, unitColumn >= 0 ? cells[static_cast<size_t>(unitColumn)] : std::u16string_view());
}

bool TVKSDKHecrPLUItem::GetUpSendData(int32_t Index, TVKBytes& Data) {
  if (Params().DataID != 1 || Index >= FTotal) return TVKSDKHecrStreamItem::GetUpSendData(Index, Data);
  uint8_t id[4] = {};
  const std::u16string& text = FUploadIds[static_cast<size_t>(Index)];
  if (!TVKSysData::SetBCD(FCtx, text, id, 4)) {
    WriteDebug(u"PLU number too large: " + text);
    return Fail(VKSDK_ERR_ENCODE, static_cast<uint32_t>(Index) + 1);
  }
  BuildFrame(Data, UpCmd(), ParamOf(Index), id, sizeof id);
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrPLUItem::ShortUpReply(int32_t Index) {
  const TVKSDKExecParams& p = Params();
  if (p.DataID != 1 || p.isConvert) return FailNoRecord(Index);
  // The scale has no PLU of that number: skip it, count it.
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
  ++FDataIndex;
  return rcContinue;
}

}  // namespace vk
