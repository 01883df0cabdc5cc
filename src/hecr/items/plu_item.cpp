#include "hecr/items/plu_item.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "runtime/codepage.h"
#include "data/numbers.h"
#include "data/sysdata.h"
#include "hecr/hecr_protocol.h"
#include "hecr/items/pinyin_initials.h"
#include "runtime/sync.h"
#include "runtime/sysparams.h"

namespace vk {

namespace {

using Item = TVKSDKHecrPLUItem;

// Places in the field table of the columns the item looks at itself.
constexpr int32_t kIdField = 0, kName1Field = 4, kUnitField = 11, kPriceField = 12;

Item& ItemOf(const TVKCodecContext& Ctx) { return *static_cast<Item*>(Ctx.Item); }

std::u16string_view Trimmed(std::u16string_view s) {
  while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
  return s;
}

std::u16string IntText(int64_t v) { return Widen(std::to_string(v)); }

// ---- ID: the PLU number as BCD (its range was checked with the file) ----
bool ImportId(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (ParseInt64(s, v) != TVKIntParse::ipOk || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}

// ---- Prices and weights: exact decimal scaling, BCD or big-endian BIN ----
bool ImportScaledBCD(std::u16string_view s, int64_t multiple, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!ScaleDecimal(s, multiple, v) || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}
std::u16string ExportScaledBCD(const uint8_t* p, int32_t n, int64_t multiple) {
  int64_t v = 0;
  if (!TVKSysData::ReadBCDValue(p, n, v)) v = 0;
  return FormatScaled(v, multiple);
}

bool ImportPrice(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  return ImportScaledBCD(s, ItemOf(c).FUnitPriceMultiple, p, n);
}
std::u16string ExportPrice(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  return ExportScaledBCD(p, n, ItemOf(c).FUnitPriceMultiple);
}
bool ImportBinPrice(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!ScaleDecimal(s, ItemOf(c).FUnitPriceMultiple, v)) return false;
  return TVKSysData::WriteBINValue(v, p, n);
}
std::u16string ExportBinPrice(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!TVKSysData::ReadBINValue(p, n, v)) return {};
  return FormatScaled(v, ItemOf(c).FUnitPriceMultiple);
}
bool ImportWeight(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  return ImportScaledBCD(s, ItemOf(c).FWeightRatio, p, n);
}
std::u16string ExportWeight(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  return ExportScaledBCD(p, n, ItemOf(c).FWeightRatio);
}
bool ImportTax(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  return ImportScaledBCD(s, 100, p, n);
}
std::u16string ExportTax(const TVKCodecContext&, const uint8_t* p, int32_t n) { return ExportScaledBCD(p, n, 100); }

// ---- UnitID: on upload its value sets the divisor of the weights after it ----
std::u16string ExportUnit(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  std::u16string s = TVKSysData::GetBIN(c, p, n);
  Item& item = ItemOf(c);
  item.FWeightRatio = item.RowWeightRatio(s);
  return s;
}

// ---- Dates: BCD yyyyMMddhhmm; all-zero bytes stand for "no date" ----
bool ImportDate(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  s = Trimmed(s);
  if (s.empty()) {
    std::memset(p, 0, static_cast<size_t>(n));
    return true;
  }
  const TDateTime invalid = std::numeric_limits<double>::quiet_NaN();
  TDateTime dt = MyStrToDateTimeDef(s, invalid);
  if (std::isnan(dt)) return false;
  int y, mo, d, h, mi, sec, ms;
  DecodeDateTime(dt, y, mo, d, h, mi, sec, ms);
  if (y < 0 || y > 9999) return false;
  uint64_t v = static_cast<uint64_t>(y) * 100000000ull + static_cast<uint64_t>(mo) * 1000000ull +
               static_cast<uint64_t>(d) * 10000ull + static_cast<uint64_t>(h) * 100ull + static_cast<uint64_t>(mi);
  return TVKSysData::WriteBCDValue(v, p, n);
}
std::u16string ExportDate(const TVKCodecContext&, const uint8_t* p, int32_t n) {
  bool zero = true;
  for (int32_t i = 0; i < n; ++i) zero = zero && p[i] == 0;
  if (zero) return {};
  int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0;
  TDateTime dt = 0;
  bool ok = n >= 6 && TVKSysData::ReadBCDValue(p, 2, y) && TVKSysData::ReadBCDValue(p + 2, 1, mo) &&
            TVKSysData::ReadBCDValue(p + 3, 1, d) && TVKSysData::ReadBCDValue(p + 4, 1, h) &&
            TVKSysData::ReadBCDValue(p + 5, 1, mi) &&
            TryEncodeDateTime(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h),
                              static_cast<int>(mi), 0, 0, dt);
  if (!ok) {
    // Bytes that are no date read as the first day of the calendar.
    y = 1899, mo = 12, d = 30, h = 0, mi = 0;
  }
  char buf[48];
  std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%02d:00", static_cast<int>(y), static_cast<int>(mo),
                static_cast<int>(d), static_cast<int>(h), static_cast<int>(mi));
  return Widen(buf);
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
  return IntText(v);
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
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X", p1[0], p[0]);
  return IntText(StrToIntDef(Widen(buf), 0));
}

// ---- Plain text: upload files carry CR, LF and TAB as "{$0D}", "{$0A}" and
// "{$09}", so these fields undo the three escapes and an upload downloads
// back unchanged ----
bool ImportPlainText(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  if (s.find(u"{$") == std::u16string_view::npos) return TVKSysData::SetASC(c, s, p, n);
  return TVKSysData::SetASC(c, DecodeCellEscapes(s), p, n);
}

// ---- Name1, and the speed code taken from it on Chinese-market scales ----
bool ImportName1(const TVKCodecContext& c, std::u16string_view cell, uint8_t* p, int32_t n, uint8_t* p1,
                 int32_t n1) {
  std::u16string decoded;
  std::u16string_view s = cell;
  if (cell.find(u"{$") != std::u16string_view::npos) s = decoded = DecodeCellEscapes(cell);
  if (!TVKSysData::SetASC(c, s, p, n)) return false;
  if (!ItemOf(c).FSpeedCodeFromName) return true;
  for (int32_t i = 0; i < n1; ++i)
    if (p1[i] != 0) return true;
  return TVKSysData::SetASC(c, PinyinInitials(s), p1, n1);
}
bool ImportName1Text(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n, uint8_t* p1,
                     int32_t n1) {
  if (!TVKSysData::SetText(c, s, p, n)) return false;
  if (!ItemOf(c).FSpeedCodeFromName) return true;
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

template <std::u16string TVKSDKSysParams::*Param>
bool ImportForced(const TVKCodecContext& c, std::u16string_view, uint8_t* p, int32_t n) {
  return TVKSysData::SetBIN(c, SysParams().*Param, p, n);
}

constexpr auto BIN = &TVKSysData::SetBIN;
constexpr auto GBIN = &TVKSysData::GetBIN;
constexpr auto BCD = &TVKSysData::SetBCD;
constexpr auto GBCD = &TVKSysData::GetBCD;

// A flag column: the plain codec, or the forced value when the INI sets one.
template <std::u16string TVKSDKSysParams::*Param>
TVKSDKRAMFieldInfo FlagField(std::u16string_view name, int32_t offset) {
  bool forced = !(SysParams().*Param).empty();
  return FieldInfo(name, offset, forced ? &ImportForced<Param> : BIN, GBIN, 1);
}

}  // namespace

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

int32_t TVKSDKHecrPLUItem::RowWeightRatio(std::u16string_view UnitText) const {
  if (FWeightMultiple != 1) return FWeightMultiple;
  return FWeightUseg ? 1 : WeightRatioOfUnit(StrToIntDef(UnitText, 0));
}

void TVKSDKHecrPLUItem::DefineFields() {
  const TVKSDKSysParams& sp = SysParams();
  const TVKSDKDeviceRawData& raw = Params().DeviceRawData;
  const bool lf8 = raw.LFCodeLen() == 8;
  const bool expand = sp.ExpandName1;
  using S = TVKSDKSysParams;
  FFields = {
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
      FlagField<&S::ForceFlag1>(u"Flag1", 157),
      FlagField<&S::ForceFlag2>(u"Flag2", 158),
      FieldInfo(u"TareID", 159, BIN, GBIN, 1),
      FieldInfo(u"ICEValue", 160, BIN, GBIN, 1),
      FieldInfo(u"ProducedDate", 161, &ImportDate, &ExportDate, 6),
      FieldInfo(u"PackageDays", 167, BIN, GBIN, 2),
      FieldInfo(u"PackageHours", 169, BIN, GBIN, 1),
      FlagField<&S::ForceFlag3>(u"Flag3", 170),
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
      FlagField<&S::ForceProducedDateRule>(u"ProducedDateRule", 208),
      FlagField<&S::ForcePackageDateFrom>(u"PackageDateFrom", 209),
      FlagField<&S::ForceFreshnessDateFrom>(u"FreshnessDateFrom", 210),
      FlagField<&S::ForceValidDateFrom>(u"ValidDateFrom", 211),
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
  };
  assert(FFields.size() == 65 && FFields[kName1Field].ImportName == u"Name1" &&
         FFields[kUnitField].ImportName == u"UnitID" && FFields[kPriceField].ImportName == u"Price" &&
         FieldsFit(FFields.data(), static_cast<int32_t>(FFields.size()), kRecordSize));
}

void TVKSDKHecrPLUItem::Create() {
  TVKSDKHecrCustomItem::Create();
  TVKSDKExecParams& p = Params();
  const TVKSDKSysParams& sp = SysParams();
  const TVKSDKDeviceRawData& raw = p.DeviceRawData;
  FCodePage = DeviceCodePage();
  FSpeedCodeFromName = raw.Country() == 10;
  FWeightUseg = sp.WeightUseg;
  FMaxId = raw.LFCodeLen() == 8 ? 99999999u : 999999u;
  if (p.ProcType == 0 || p.ProcType == 1) {
    int exponent = raw.PriceExponent();
    FUnitPriceMultiple = 1;
    for (int i = 0; i < exponent; ++i) FUnitPriceMultiple *= 10;
    // A conversion's parameters may name how the binary file holds weights
    // (raw byte 32); a scale's own value of that byte is not used for PLUs.
    if (p.isConvert) {
      FWeightMultiple = 1;
      for (int i = 0; i < raw.WeightExponent(); ++i) FWeightMultiple *= 10;
    }
    FWeightRatio = RowWeightRatio(u"");
  }
  switch (p.ProcType) {
    case 0: {
      n_CMD = kDownCmd;
      IndexStreamingFile();
      // The template every record starts from.
      FDefData.assign(kRecordSize, 0);
      TVKCodecContext ctx{FCodePage, this};
      // A Force value the byte cannot hold fails the whole task before
      // anything is sent (isHandled reports it), whether or not the file
      // has the column: the first such key is remembered.
      auto put = [&](const char* key, const std::u16string& forced, int32_t offset, uint8_t fallback,
                     bool hasFallback) {
        if (!forced.empty()) {
          if (!TVKSysData::SetBIN(ctx, forced, &FDefData[static_cast<size_t>(offset)], 1) && FBadForce.empty())
            FBadForce = Widen(key) + u"=" + forced;
        } else if (hasFallback) {
          FDefData[static_cast<size_t>(offset)] = fallback;
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
      FRecord.resize(kRecordSize);
      break;
    }
    case 1: {
      n_CMD = p.DataID == 1 ? kUpByIdCmd : kUpCmd;
      WriteUploadHeader();
      if (!p.isConvert) {
        TVKBytes counts;
        FCountsAnswered = ReadTableCounts(counts);
        FTotal = counts[0] << 8 | counts[1];
      }
      break;
    }
    case 3:
      n_CMD = kDelCmd;
      FTotal = 1;
      break;
    default:
      break;
  }
}

int32_t TVKSDKHecrPLUItem::LastColumnOf(int32_t field) const {
  for (size_t c = FImportFieldIndexs.size(); c-- > 0;)
    if (FImportFieldIndexs[c] == field) return static_cast<int32_t>(c);
  return -1;
}

int32_t TVKSDKHecrPLUItem::FirstColumnOf(int32_t field) const {
  for (size_t c = 0; c < FImportFieldIndexs.size(); ++c)
    if (FImportFieldIndexs[c] == field) return static_cast<int32_t>(c);
  return -1;
}

bool TVKSDKHecrPLUItem::isHandled(TVKSDKUDPClientClass*) {
  const TVKSDKExecParams& p = Params();
  switch (p.ProcType) {
    case 0:
      return CheckDownloadFile();
    case 1:
      if (p.DataID == 1) return ReadIdList();
      if (!FCountsAnswered) {
        WriteDebugAndLog("No answer to the table count request.");
        DoProgress(VKSDK_ERR_NO_REPLY, 0, 0);
        return true;
      }
      return false;
    case 3:
      if (p.FileName != u"*") {
        // The scale can only clear the whole table; a list must not wipe it.
        WriteDebugAndLog("PLUs can only be deleted as a whole table (file name \"*\").");
        DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
        return true;
      }
      return false;
    default:
      return false;
  }
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
  const int32_t idColumn = LastColumnOf(kIdField);
  if (idColumn < 0) {
    WriteDebugAndLog("Id field not found!");
    DoProgress(VKSDK_ERR_FILE_FORMAT, 0, static_cast<uint32_t>(FTotal));
    return true;
  }
  FPluIdList.clear();
  FPluIdList.reserve(static_cast<size_t>(FTotal));
  char buf[160];
  for (int32_t r = 0; r < FTotal; ++r) {
    ReadLine(static_cast<size_t>(r) + 1);
    SplitLine();
    if (FCells.size() != FHeaderCells) {
      std::snprintf(buf, sizeof buf, "Mismatch Row 1:%d   Column Count %d:%d", r + 2,
                    static_cast<int>(FHeaderCells), static_cast<int>(FCells.size()));
      WriteDebugAndLog(buf);
      DoProgress(VKSDK_ERR_FILE_FORMAT, static_cast<uint32_t>(r) + 1, static_cast<uint32_t>(FTotal));
      return true;
    }
    std::u16string_view cell = FCells[static_cast<size_t>(idColumn)];
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
    WriteDebugAndLog("List file not found: " + list.string());
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

bool TVKSDKHecrPLUItem::GetDownSendData(int32_t Index, TVKBytes& Data) {
  if (Index >= FTotal || static_cast<size_t>(Index) >= FPluIdList.size()) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(Index), static_cast<uint32_t>(FTotal));
    return false;
  }
  if (Index == FPrefetchIndex) {
    FPrefetchIndex = -1;
    Data.swap(FPrefetchFrame);
    ++FDataIndex;
    return true;
  }
  size_t failed = 0;
  switch (BuildDownFrame(Index, Data, failed)) {
    case DownBuild::Ok:
      ++FDataIndex;
      return true;
    case DownBuild::BadCells:
      return Fail(VKSDK_ERR_FILE_FORMAT, static_cast<uint32_t>(Index) + 1);
    case DownBuild::CannotEncode:
      break;
  }
  const TVKSDKRAMFieldInfo& f = FFields[static_cast<size_t>(FImportFieldIndexs[failed])];
  char buf[96];
  std::snprintf(buf, sizeof buf, " cannot be encoded at row %d", FPluIdList[static_cast<size_t>(Index)].Row + 2);
  WriteDebug(std::u16string(f.ImportName) + u" value " + std::u16string(FCells[failed]) + Widen(buf));
  return Fail(VKSDK_ERR_ENCODE, static_cast<uint32_t>(Index) + 1);
}

void TVKSDKHecrPLUItem::Prefetch(int32_t Index) {
  if (Params().ProcType != 0 || Index == FPrefetchIndex || Index < 0 || Index >= FTotal ||
      static_cast<size_t>(Index) >= FPluIdList.size())
    return;
  size_t failed = 0;
  // A row that fails is left to GetDownSendData, which reports it in turn.
  FPrefetchIndex = BuildDownFrame(Index, FPrefetchFrame, failed) == DownBuild::Ok ? Index : -1;
}

TVKSDKHecrPLUItem::DownBuild TVKSDKHecrPLUItem::BuildDownFrame(int32_t Index, TVKBytes& Data, size_t& FailedCell) {
  const int32_t row = FPluIdList[static_cast<size_t>(Index)].Row;
  ReadLine(static_cast<size_t>(row) + 1);
  SplitLine();
  if (FCells.size() != FHeaderCells) return DownBuild::BadCells;

  const TVKSDKSysParams& sp = SysParams();
  if (sp.Minus2Delete) {
    const int32_t nameColumn = LastColumnOf(kName1Field);
    if (nameColumn >= 0 && FCells[static_cast<size_t>(nameColumn)].starts_with(u"---")) {
      FCells[static_cast<size_t>(nameColumn)] = kRetiredName;
      const int32_t priceColumn = LastColumnOf(kPriceField);
      if (priceColumn >= 0) FCells[static_cast<size_t>(priceColumn)] = u"0";
    }
  }
  const int32_t unitColumn = FirstColumnOf(kUnitField);
  FWeightRatio = RowWeightRatio(unitColumn >= 0 ? std::u16string_view(FCells[static_cast<size_t>(unitColumn)]) : u"");

  std::memcpy(FRecord.data(), FDefData.data(), kRecordSize);
  uint8_t* rec = FRecord.data();
  TVKCodecContext ctx{FCodePage, this};
  if (!ImportCells(rec, ctx, FailedCell)) return DownBuild::CannotEncode;
  BuildFrame(Data, kDownCmd, ParamOf(Index), rec, kRecordSize);
  return DownBuild::Ok;
}

TVKSDKHecrRecvCheck TVKSDKHecrPLUItem::SetDownRecvData(int32_t Index, const TVKBytes& Data) {
  return StreamingDownRecv(Index, Data);
}

bool TVKSDKHecrPLUItem::GetUpSendData(int32_t Index, TVKBytes& Data) {
  if (Index >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(Index), static_cast<uint32_t>(FTotal));
    return false;
  }
  if (Params().DataID == 1) {
    uint8_t id[4] = {};
    TVKCodecContext ctx{FCodePage, this};
    const std::u16string& text = FUploadIds[static_cast<size_t>(Index)];
    if (!TVKSysData::SetBCD(ctx, text, id, 4)) {
      WriteDebug(u"PLU number too large: " + text);
      return Fail(VKSDK_ERR_ENCODE, static_cast<uint32_t>(Index) + 1);
    }
    BuildFrame(Data, kUpByIdCmd, ParamOf(Index), id, sizeof id);
  } else {
    BuildFrame(Data, kUpCmd, ParamOf(Index), nullptr, 0);
  }
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrPLUItem::SetUpRecvData(int32_t Index, const TVKBytes& Data) {
  TVKSDKExecParams& p = Params();
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (!p.isConvert && head.CMD != n_CMD) {
    if (!Data.empty()) return rcRetry;
    return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
  }
  if (!ParamMatches(head.Param, Index)) return rcRetry;
  // Only the bytes that arrived count, whatever DataLen says.
  if (ReplyDataSize(Data) < static_cast<size_t>(kRecordSize)) {
    if (p.DataID == 1 && !p.isConvert) {
      // The scale has no PLU of that number: skip it, count it.
      DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
      ++FDataIndex;
      return rcContinue;
    }
    return FailNoRecord(Index);
  }
  WriteTextLine(RecordToText(Data.data() + TVKHecrProtocol::kHeadSize, kRecordSize, FCodePage));
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
  ++FDataIndex;
  return rcContinue;
}

bool TVKSDKHecrPLUItem::GetDelSendData(int32_t Index, TVKBytes& Data) { return DeleteSend(Index, Data, kDelCmd); }

TVKSDKHecrRecvCheck TVKSDKHecrPLUItem::SetDelRecvData(int32_t Index, const TVKBytes& Data) {
  return DeleteRecv(Index, Data, true);
}

}  // namespace vk
