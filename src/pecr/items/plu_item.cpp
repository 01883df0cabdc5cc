#include "pecr/items/plu_item.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "data/numbers.h"
#include "data/sysdata.h"
#include "data/text_file.h"
#include "pecr/pecr_protocol.h"
#include "runtime/codepage.h"
#include "runtime/sync.h"
#include "runtime/sysparams.h"

namespace vk {

namespace {

using Item = TVKSDKPecrPLUItem;

// A cell as an integer; text that is no number counts as 0, as the scale's
// own tools treat it.
int64_t CellInt(std::u16string_view s) {
  int64_t v = 0;
  return ParseInt64(s, v) == TVKIntParse::ipOk ? v : 0;
}

// ---- Text in the KM40ACP code page: read up to the first zero byte ----
bool ImportText(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  if (s.find(u"{$") == std::u16string_view::npos) return TVKSysData::SetASC(c, s, p, n);
  return TVKSysData::SetASC(c, DecodeCellEscapes(s), p, n);
}
std::u16string ExportText(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(p, 0, static_cast<size_t>(n)));
  return TVKSysData::GetASC(c, p, static_cast<int32_t>(end ? end - p : n));
}

// ---- Label1ID: the label format as one bit ----
constexpr uint8_t kLabelBits[8] = {64, 128, 1, 2, 4, 8, 16, 32};
bool ImportLabel(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t) {
  const int64_t v = CellInt(s);
  p[0] = v >= 1 && v <= 8 ? kLabelBits[v - 1] : 0;
  return true;
}
std::u16string ExportLabel(const TVKCodecContext&, const uint8_t* p, int32_t) {
  for (int i = 0; i < 8; ++i)
    if (p[0] == kLabelBits[i]) return IntToText(i + 1);
  return u"0";
}

// ---- DiscountID: 0 stays 0, n is stored as n + 138 ----
constexpr int kDiscountOffset = 138;
bool ImportDiscount(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t) {
  const int64_t v = CellInt(s);
  if (v < 0 || v > 255 - kDiscountOffset) return false;
  p[0] = static_cast<uint8_t>(v == 0 ? 0 : v + kDiscountOffset);
  return true;
}
std::u16string ExportDiscount(const TVKCodecContext&, const uint8_t* p, int32_t) {
  return IntToText(p[0] > kDiscountOffset ? p[0] - kDiscountOffset : 0);
}

// ---- BarcodeType1: empty is 255; ForceBarcode1 replaces the file ----
bool ImportBarcode(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  const std::u16string& forced = SysParams().ForceBarcode1;
  if (!forced.empty()) return TVKSysData::SetPecrBIN(c, forced, p, n);
  if (s.empty()) {
    p[0] = 255;
    return true;
  }
  return TVKSysData::SetPecrBIN(c, s, p, n);
}

// ---- Price: round(price × multiple), half to even, as 8 BCD digits ----
bool ImportPrice(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!ScaleDecimal(s, c.PriceMultiple, v) || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}
std::u16string ExportPrice(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!TVKSysData::ReadBCDValue(p, n, v)) v = 0;
  return FormatScaled(v, c.PriceMultiple);
}

// ---- UnitID (low nibble) and PCSType (high nibble) of one byte ----
template <int Shift>
bool ImportNibble(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t) {
  const int64_t v = CellInt(s);
  if (v < 0 || v > 15) return false;
  p[0] = static_cast<uint8_t>((p[0] & ~(0x0F << Shift)) | (v << Shift));
  return true;
}
template <int Shift>
std::u16string ExportNibble(const TVKCodecContext&, const uint8_t* p, int32_t) {
  return IntToText((p[0] >> Shift) & 0x0F);
}

constexpr auto LE = &TVKSysData::SetPecrBIN;
constexpr auto GLE = &TVKSysData::GetPecrBIN;
constexpr auto BCD = &TVKSysData::SetBCD;
constexpr auto GBCD = &TVKSysData::GetBCD;

constexpr size_t kMaxFields = 23;
struct PluFields {
  std::array<TVKSDKRAMFieldInfo, kMaxFields> f{};
  size_t n = 0;
  constexpr void Add(const TVKSDKRAMFieldInfo& x) { f[n++] = x; }
};

// Layout A: Name1 in 36 bytes. Layout B: Name1 in 29 bytes, bytes 30..35
// six places without a column. 128-byte records add Name2.
constexpr PluFields MakeFields(bool record128, bool layoutB) {
  PluFields t;
  if (layoutB) {
    t.Add(FieldInfo(u"Name1", 0, &ImportText, &ExportText, 29));
    for (int32_t i = 0; i < 6; ++i) t.Add(FieldInfo(kNilFieldName, 30 + i, nullptr, nullptr, 1));
  } else {
    t.Add(FieldInfo(u"Name1", 0, &ImportText, &ExportText, 36));
  }
  t.Add(FieldInfo(u"ID", 36, BCD, GBCD, 3));
  t.Add(FieldInfo(u"Label1ID", 39, &ImportLabel, &ExportLabel, 1));
  t.Add(FieldInfo(u"DiscountID", 40, &ImportDiscount, &ExportDiscount, 1));
  t.Add(FieldInfo(u"DepartmentID", 41, BCD, GBCD, 1));
  t.Add(FieldInfo(u"BarcodeType1", 42, &ImportBarcode, GLE, 1));
  t.Add(FieldInfo(u"Price", 43, &ImportPrice, &ExportPrice, 4));
  t.Add(FieldInfo(u"UnitID", 47, &ImportNibble<0>, &ExportNibble<0>, 1));
  t.Add(FieldInfo(u"PCSType", 47, &ImportNibble<4>, &ExportNibble<4>, 1));
  t.Add(FieldInfo(u"ValidDate", 48, LE, GLE, 2));
  t.Add(FieldInfo(u"Message1", 50, LE, GLE, 1));
  t.Add(FieldInfo(u"Message2", 51, LE, GLE, 1));
  t.Add(FieldInfo(u"PackageWeight", 52, BCD, GBCD, 3));
  t.Add(FieldInfo(u"PackageType", 55, LE, GLE, 1));
  t.Add(FieldInfo(u"TareValue", 56, BCD, GBCD, 3));
  t.Add(FieldInfo(u"ItemCode", 59, BCD, GBCD, 5));
  if (record128) t.Add(FieldInfo(u"Name2", 64, &ImportText, &ExportText, 28));
  return t;
}

constexpr PluFields kFields[2][2] = {{MakeFields(false, false), MakeFields(false, true)},
                                     {MakeFields(true, false), MakeFields(true, true)}};

constexpr TVKSDKRAMDefineInfo Define(const PluFields& t, int32_t recordSize) {
  TVKSDKRAMDefineInfo d{};
  d.FieldInfoDynArray = t.f.data();
  d.FieldCount = static_cast<int32_t>(t.n);
  d.SingleDataLen = recordSize;
  d.PackageLen = static_cast<int32_t>(kPecrDataSize);
  d.OrderFieldName = u"ID";
  return d;
}
constexpr TVKSDKRAMDefineInfo kDefs[2][2] = {{Define(kFields[0][0], 64), Define(kFields[0][1], 64)},
                                             {Define(kFields[1][0], 128), Define(kFields[1][1], 128)}};

constexpr int32_t kIdField = 1, kBarcodeField = 5;  // in layout A
static_assert(DefineFits(kDefs[0][0]) && DefineFits(kDefs[0][1]) && DefineFits(kDefs[1][0]) &&
                  DefineFits(kDefs[1][1]),
              "a PLU layout does not fit its record");
static_assert(kFields[0][0].n == 16 && kFields[0][1].n == 22 && kFields[1][0].n == 17 && kFields[1][1].n == 23 &&
                  kFields[0][0].f[kIdField].ImportName == u"ID" && kFields[1][0].f[kIdField].ImportName == u"ID" &&
                  kFields[0][0].f[kBarcodeField].ImportName == u"BarcodeType1" &&
                  kFields[1][0].f[kBarcodeField].ImportName == u"BarcodeType1",
              "the PLU layouts lost a field");

constexpr uint16_t kReadAddr = 3;      // DataType 14: read a table block
constexpr uint8_t kRequestType = 14;
constexpr uint8_t kEndMarker[4] = {0xFF, 0xFF, 0xFF, 0xFF};

bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

}  // namespace

const TVKSDKRAMDefineInfo& TVKSDKPecrPLUItem::Layout(bool Record128, bool LayoutB) {
  return kDefs[Record128 ? 1 : 0][LayoutB ? 1 : 0];
}

void TVKSDKPecrPLUItem::Create() {
  TVKSDKPecrCustomItem::Create();
  TVKSDKExecParams& p = Params();
  const TVKSDKSysParams& sp = SysParams();
  FLegacy = p.DeviceRawData.PecrLegacyBoard();
  FRecordSize = p.DeviceRawData.PecrRecordSize();
  FFields = Layout(FRecordSize == 128, false).Fields();
  FCtx = TVKCodecContext{};
  FCtx.CodePage = static_cast<uint32_t>(sp.KM40ACP);
  FCtx.PriceMultiple = 100;
  if ((p.ProcType == VKSDK_PROC_DOWNLOAD || p.ProcType == VKSDK_PROC_UPLOAD) && !FLegacy) {
    // The price decimals come from the scale; without them prices would be
    // stored ten or a hundred times off, so a failed read fails the task.
    TVKBytes block;
    FParamRead = ReadParamBlock(block);
    FCtx.PriceMultiple = PriceMultipleOf(block);
  }
  switch (p.ProcType) {
    case VKSDK_PROC_DOWNLOAD: {
      {
        TVKLockGuard guard(FPecrProtocol->GetLock());
        FReader.Open(p.FileStream.get(), p.FileCodePage, FFields);
      }
      FTotal = FReader.RowCount();
      // The record every row starts from: zero, with the barcode type 255
      // or the forced one.
      FDefData.assign(static_cast<size_t>(FRecordSize), 0);
      const TVKSDKRAMFieldInfo& barcode = FFields[kBarcodeField];
      FBadForce = !ImportBarcode(FCtx, u"", FDefData.data() + barcode.Offset, barcode.Size);
      break;
    }
    case VKSDK_PROC_UPLOAD:
      WriteTextLine(FieldsHeaderLine(FFields));
      FTotal = kMaxSlots;
      break;
    case VKSDK_PROC_DELETE:
      FTotal = 1;
      break;
    default:
      break;
  }
}

bool TVKSDKPecrPLUItem::isHandled(TVKSDKUDPClientClass*) {
  const TVKSDKExecParams& p = Params();
  if (!FParamRead) {
    WriteDebugAndLog(u"No answer to the parameter block request.");
    DoProgress(VKSDK_ERR_NO_REPLY, 0, 0);
    return true;
  }
  switch (p.ProcType) {
    case VKSDK_PROC_DOWNLOAD:
      return CheckDownloadFile();
    case VKSDK_PROC_DELETE:
      if (p.FileName != u"*") {
        // The scale can only clear the whole table; a list must not wipe it.
        WriteDebugAndLog(u"PLUs can only be deleted as a whole table (file name \"*\").");
        DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool TVKSDKPecrPLUItem::BuildRecord(uint8_t* Record, size_t& FailedColumn) {
  std::memcpy(Record, FDefData.data(), FDefData.size());
  return FReader.ImportCells(Record, FCtx, FailedColumn);
}

bool TVKSDKPecrPLUItem::CheckDownloadFile() {
  if (FBadForce) {
    WriteDebugAndLog(u"INI value out of range (one byte): ForceBarcode1=" + SysParams().ForceBarcode1);
    DoProgress(VKSDK_ERR_ENCODE, 0, static_cast<uint32_t>(FTotal));
    return true;
  }
  const int32_t idColumn = FReader.ColumnOf(kIdField);
  if (idColumn < 0) {
    WriteDebugAndLog(u"Id field not found!");
    DoProgress(VKSDK_ERR_FILE_FORMAT, 0, static_cast<uint32_t>(FTotal));
    return true;
  }
  TVKBytes scratch(static_cast<size_t>(FRecordSize));
  char buf[96];
  for (int32_t r = 0; r < FTotal; ++r) {
    std::snprintf(buf, sizeof buf, " at row %d", r + 2);
    if (!FReader.ReadRow(r)) {
      WriteDebugAndLog(u"Column count differs from the header" + Widen(buf));
      DoProgress(VKSDK_ERR_FILE_FORMAT, static_cast<uint32_t>(r) + 1, static_cast<uint32_t>(FTotal));
      return true;
    }
    // A number the ID field cannot hold (or no number) would land on
    // another PLU.
    const std::u16string_view cell = FReader.Cells()[static_cast<size_t>(idColumn)];
    int64_t id = 0;
    if (ParseInt64(cell, id) != TVKIntParse::ipOk || id <= 0 || id > 999999) {
      WriteDebugAndLog(u"Invalid Id:" + std::u16string(cell) + Widen(buf));
      DoProgress(VKSDK_ERR_FILE_FORMAT, static_cast<uint32_t>(r) + 1, static_cast<uint32_t>(FTotal));
      return true;
    }
    size_t failed = 0;
    if (!BuildRecord(scratch.data(), failed)) {
      const TVKSDKRAMFieldInfo& f = FFields[static_cast<size_t>(FReader.ColumnFields()[failed])];
      WriteDebugAndLog(std::u16string(f.ImportName) + u" value " + std::u16string(FReader.Cells()[failed]) +
                       u" cannot be encoded" + Widen(buf));
      DoProgress(VKSDK_ERR_ENCODE, static_cast<uint32_t>(r) + 1, static_cast<uint32_t>(FTotal));
      return true;
    }
  }
  return false;
}

bool TVKSDKPecrPLUItem::GetDownSendData(int32_t Index, TVKBytes& Data) {
  if (FDataIndex >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FTotal), static_cast<uint32_t>(FTotal));
    return false;
  }
  uint8_t area[kPecrDataSize] = {};
  for (size_t at = 0; at + static_cast<size_t>(FRecordSize) <= sizeof area && FDataIndex < FTotal;
       at += static_cast<size_t>(FRecordSize)) {
    size_t failed = 0;
    // Every row passed the check before anything was sent.
    if (!FReader.ReadRow(FDataIndex) || !BuildRecord(area + at, failed))
      return Fail(VKSDK_ERR_FILE_FORMAT, static_cast<uint32_t>(FDataIndex));
    ++FDataIndex;
  }
  const bool record128 = FRecordSize == 128;
  const uint16_t addr = record128 && !FLegacy ? static_cast<uint16_t>(Index) : 0;
  Data = TVKPecrProtocol::Package(static_cast<uint8_t>(record128 ? Cmd().DownAlt : Cmd().Down), addr, area,
                                  sizeof area);
  return true;
}

bool TVKSDKPecrPLUItem::SetDownRecvData(int32_t, const TVKBytes& Data) {
  if (!IsAck(Data)) return Fail(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(FDataIndex));
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  return true;
}

bool TVKSDKPecrPLUItem::GetUpSendData(int32_t Index, TVKBytes& Data) {
  if (FDataIndex >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
    return false;
  }
  const uint16_t target = FRecordSize == 128 ? Cmd().UpAlt : Cmd().Up;
  const uint8_t request[4] = {static_cast<uint8_t>(Index), static_cast<uint8_t>(Index >> 8),
                              static_cast<uint8_t>(target), static_cast<uint8_t>(target >> 8)};
  Data = TVKPecrProtocol::Package(kRequestType, kReadAddr, request, sizeof request);
  return true;
}

bool TVKSDKPecrPLUItem::SetUpRecvData(int32_t Index, const TVKBytes& Data) {
  const TVKPecrHeadInfo head = TVKPecrProtocol::GetHeadInfo(Data);
  if (!TVKPecrProtocol::CheckPackage(Data) || head.DataType != kRequestType || head.Addr != kReadAddr)
    return Fail(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
  const uint8_t* area = Data.data() + 3;
  const size_t size = static_cast<size_t>(FRecordSize);
  for (size_t at = 0; at + size <= kPecrDataSize && FDataIndex < FTotal; at += size) {
    const uint8_t* rec = area + at;
    if (std::memcmp(rec, kEndMarker, sizeof kEndMarker) == 0) {
      DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FDataIndex));
      return false;
    }
    if (!AllZero(rec, size)) {
      const bool layoutB = rec[kLayoutBMark] == 0xFF;
      WriteTextLine(RecordToText(rec, size, Layout(size == 128, layoutB).Fields()));
    }
    ++FDataIndex;
    DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  }
  return true;
}

bool TVKSDKPecrPLUItem::GetDelSendData(int32_t, TVKBytes& Data) {
  const uint8_t request[2] = {0x00, 0x04};
  Data = TVKPecrProtocol::Package(kRequestType, Cmd().Del, request, sizeof request);
  return true;
}

bool TVKSDKPecrPLUItem::SetDelRecvData(int32_t Index, const TVKBytes& Data) {
  if (!IsAck(Data)) return Fail(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
  DoProgress(VKSDK_OK, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
  return false;
}

}  // namespace vk
