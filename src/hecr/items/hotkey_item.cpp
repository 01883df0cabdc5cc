#include "hecr/items/hotkey_item.h"

#include <algorithm>
#include <cstring>

#include "data/numbers.h"
#include "data/sysdata.h"
#include "data/table_ops.h"
#include "hecr/hecr_protocol.h"
#include "hecr/hecr_table_item.h"

namespace vk {

namespace {

constexpr uint8_t kEventMarker = 0xAA;  // byte 3 of an event button
constexpr std::u16string_view kIndexColumn = u"ButtonIndex";
constexpr std::u16string_view kValueColumn = u"ButtonValue";

// A cell that names an event: a negative integer -e.
bool EventOfCell(std::u16string_view s, int64_t& e) {
  int64_t v = 0;
  if (ParseInt64(s, v) != TVKIntParse::ipOk || v >= 0) return false;
  e = -v;
  return true;
}

// ButtonValue: a PLU number as BCD in the value bytes, or for an event the
// next event sequence number in byte 1 and the marker in byte 3 (the second
// place), every other value byte zero. At most 256 events can be numbered.
bool ImportButtonValue(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n, uint8_t* p1,
                       int32_t n1) {
  if (n < 2 || n1 < 1) return false;
  int64_t e = 0;
  if (EventOfCell(s, e)) {
    if (c.EventIndex > 255) return false;
    std::memset(p, 0, static_cast<size_t>(n));
    p[1] = static_cast<uint8_t>(c.EventIndex++);
    p1[0] = kEventMarker;
    return true;
  }
  return TVKSysData::SetBCD(c, s, p, n);
}
// An event button exports an empty cell; the item puts the event in it.
std::u16string ExportButtonValue(const TVKCodecContext& c, const uint8_t* p, int32_t n, const uint8_t* p1,
                                 int32_t n1) {
  if (n1 >= 1 && p1[0] == kEventMarker) return {};
  return TVKSysData::GetBCD(c, p, n);
}

constexpr TVKSDKRAMFieldInfo ValueField(int32_t size) {
  return FieldInfo(kValueColumn, 0, nullptr, nullptr, size, &ImportButtonValue, &ExportButtonValue, 3, 1);
}

constexpr TVKSDKRAMFieldInfo kPlainFields[] = {
    FieldInfo(kIndexColumn, 0, nullptr, &ExportRowId, 0),
    ValueField(3),
};
constexpr TVKSDKRAMFieldInfo kPlainFields8[] = {
    FieldInfo(kIndexColumn, 0, nullptr, &ExportRowId, 0),
    ValueField(4),
};
constexpr TVKSDKRAMFieldInfo kTouchFields[] = {
    FieldInfo(kIndexColumn, 0, nullptr, &ExportRowId, 0),
    ValueField(4),
    FieldInfo(u"PLUName", 4, &TVKSysData::SetText, &TVKSysData::GetText, 30),
    FieldInfo(u"BackgroundColor", 34, &TVKSysData::SetBIN, &TVKSysData::GetBIN, 4),
    FieldInfo(u"FontColor", 38, &TVKSysData::SetBIN, &TVKSysData::GetBIN, 4),
};

constexpr TVKSDKRAMDefineInfo kPlain = TableDefine(kPlainFields, 4, 256, kIndexColumn);
constexpr TVKSDKRAMDefineInfo kPlain8 = TableDefine(kPlainFields8, 4, 256, kIndexColumn);
constexpr TVKSDKRAMDefineInfo kTouch = TableDefine(kTouchFields, 64, 1024, kIndexColumn);
static_assert(DefineFits(kPlain) && DefineFits(kPlain8) && DefineFits(kTouch));

}  // namespace

const TVKSDKRAMDefineInfo& TVKSDKHecrHotKeyItem::Layout(bool Touch, bool LFCodeLen8) {
  if (Touch) return kTouch;
  return LFCodeLen8 ? kPlain8 : kPlain;
}

// The button count and the layout, from the device's information block:
// HotKeyCount (bytes 112..113, big-endian), TouchFlag (210, 2: touch
// layout), LFCodeLen (147).
TVKSDKHecrHotKeyItem::DeviceFacts TVKSDKHecrHotKeyItem::ReadDeviceFacts() const {
  const TVKSDKDeviceRawData& raw = Params().DeviceRawData;
  return {raw.HotKeyCount(), raw.TouchFlag() == 2, raw.LFCodeLen() == 8};
}

void TVKSDKHecrHotKeyItem::DefineFields() {
  const DeviceFacts facts = ReadDeviceFacts();
  FTouch = facts.Touch;
  FDef = &Layout(FTouch, facts.LFCodeLen8);
  FFields = FDef->Fields();
}

TLengthInfo TVKSDKHecrHotKeyItem::GetLengthInfo() const { return {FDef->PackageLen, FDef->SingleDataLen}; }

void TVKSDKHecrHotKeyItem::Create() {
  TVKSDKHecrCustomItem::Create();
  FTotal = ReadDeviceFacts().HotKeyCount;
  switch (Params().ProcType) {
    case VKSDK_PROC_DOWNLOAD:
      PrepareDownload();
      break;
    case VKSDK_PROC_UPLOAD:
      WriteUploadHeader();
      // A binary file of a conversion holds the buttons only.
      FUPEvented = Params().isConvert;
      break;
    default:
      break;
  }
}

// Reads the whole file, places the rows by ButtonIndex, and builds the
// frames: the event packages first (9813), then the button packages.
void TVKSDKHecrHotKeyItem::PrepareDownload() {
  TVKSDKExecParams& p = Params();
  TVKStringsDynArray rows;
  if (p.FileStream) rows = GetImportStringsDynArray(*p.FileStream, p.FileCodePage);
  const int32_t valueColumn = rows.empty() ? -1 : GetFieldIndex(rows[0], kValueColumn);
  if (valueColumn < 0) {
    // Without values every button would be cleared: refuse the file.
    WriteDebugAndLog("ButtonValue field not found!");
    FPendingError = VKSDK_ERR_FILE_FORMAT;
    return;
  }
  if (p.isConvert && FTotal <= 0) {
    // No device to ask: the file's highest button (or its row count) sizes
    // the table.
    const int32_t indexColumn = GetFieldIndex(rows[0], kIndexColumn);
    FTotal = static_cast<int32_t>(rows.size()) - 1;
    if (indexColumn >= 0) {
      FTotal = 0;
      for (size_t r = 1; r < rows.size(); ++r)
        if (static_cast<size_t>(indexColumn) < rows[r].size())
          FTotal = static_cast<int32_t>(std::clamp<int64_t>(StrToInt64Def(rows[r][indexColumn], 0), FTotal, 65535));
    }
  }
  const TVKStringsDynArray placed = FullStringDataItems(rows, kIndexColumn, 1, FTotal);

  TVKBytesDynArray events;
  for (size_t r = 1; r < placed.size(); ++r) {
    int64_t e = 0;
    if (static_cast<size_t>(valueColumn) >= placed[r].size() || !EventOfCell(placed[r][valueColumn], e)) continue;
    // An event number needs two bytes; a conversion's binary file has no
    // place for events at all.
    if (e > 65535 || p.isConvert) {
      WriteDebug(u"ButtonValue " + placed[r][valueColumn] + u" cannot be encoded at button " + IntToText(r));
      FPendingError = VKSDK_ERR_ENCODE;
      FPendingIndex = static_cast<uint32_t>(r);
      return;
    }
    TVKBytes rec(kEventRecordLen, 0);
    rec[0] = static_cast<uint8_t>(e % 256);
    rec[2] = static_cast<uint8_t>(e / 256);
    events.push_back(std::move(rec));
  }

  FCtx.EventIndex = 0;
  int32_t failedRow = 0;
  TVKBytesDynArray buttons = GenerateDataDynArray(placed, FDef->FieldInfoDynArray, FDef->FieldCount, FCtx, failedRow);
  if (failedRow > 0) {
    FPendingError = VKSDK_ERR_ENCODE;
    FPendingIndex = static_cast<uint32_t>(failedRow);
    return;
  }
  for (TVKBytes& b : buttons) b.resize(static_cast<size_t>(FDef->SingleDataLen));

  auto add = [this](const TVKBytesDynArray& packages, uint16_t cmd) {
    for (size_t i = 0; i < packages.size(); ++i) {
      const uint16_t param = ParamOf(static_cast<int32_t>(i));
      FImportDatas.emplace_back();
      BuildFrame(FImportDatas.back(), cmd, param, packages[i].data(), packages[i].size());
      FImportParams.push_back(param);
    }
  };
  add(TrimPackage(events, kEventPackageLen, kEventRecordLen, FTotal, false), Cmd().DownPre);
  add(TrimPackage(buttons, FDef->PackageLen, FDef->SingleDataLen, FTotal, false), FTouch ? Cmd().DownAlt : Cmd().Down);
}

bool TVKSDKHecrHotKeyItem::GetDownSendData(int32_t Index, TVKBytes& Data) {
  if (FPendingError != 0) return Fail(FPendingError, FPendingIndex);
  if (Index < 0 || static_cast<size_t>(Index) >= FImportDatas.size()) {
    DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FTotal), static_cast<uint32_t>(FTotal));
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FTotal), static_cast<uint32_t>(FTotal));
    return false;
  }
  Data = FImportDatas[static_cast<size_t>(Index)];
  ++FDataIndex;
  return true;
}

// 800E echoing the frame's Param moves on; 800E for another frame (a late
// copy) is not this one's; anything else is 266.
TVKSDKHecrRecvCheck TVKSDKHecrHotKeyItem::SetDownRecvData(int32_t Index, const TVKBytes& Data) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (head.CMD != kHecrAckCmd) return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(FDataIndex));
  if (Index < 0 || static_cast<size_t>(Index) >= FImportParams.size() ||
      head.Param != FImportParams[static_cast<size_t>(Index)])
    return rcRetry;
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  return rcContinue;
}

// Upload: first the event packages with 6013 from Param 0 until a reply
// without an event (or every button has one), then the button packages
// from Param 0. The plain layout asks for buttons with 6013 too, so the
// phase the item is in, not the reply, says what a 6013 reply holds.
bool TVKSDKHecrHotKeyItem::GetUpSendData(int32_t Index, TVKBytes& Data) {
  if (FTotal <= 0 || FDataIndex >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
    return false;
  }
  if (!FUPEvented) {
    BuildFrame(Data, Cmd().Up, ParamOf(Index), nullptr, 0);
    ++FUPEventNumber;
    return true;
  }
  BuildFrame(Data, FTouch ? Cmd().UpAlt : Cmd().Up, ParamOf(Index - FUPEventNumber), nullptr, 0);
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrHotKeyItem::SetUpRecvData(int32_t Index, const TVKBytes& Data) {
  if (!FUPEvented) return EventReply(Index, Data);
  return ButtonReply(Index - FUPEventNumber, Data);
}

// Every whole 32-byte event that arrived is kept as its text (-e); a reply
// without one ends the event phase, as does the HotKeyCount-th event.
TVKSDKHecrRecvCheck TVKSDKHecrHotKeyItem::EventReply(int32_t Index, const TVKBytes& Data) {
  if (Data.empty()) return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(FDataIndex));
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (head.CMD != Cmd().Up || !ParamMatches(head.Param, Index)) return rcRetry;
  const size_t size = ReplyDataSize(Data);
  const uint8_t* d = ReplyData(Data);
  const size_t count = size / kEventRecordLen;
  for (size_t i = 0; i < count && FUPEventValues.size() < static_cast<size_t>(FTotal); ++i) {
    const uint8_t* rec = d + i * kEventRecordLen;
    FUPEventValues.push_back(IntToText(-(static_cast<int64_t>(rec[0]) + static_cast<int64_t>(rec[2]) * 256)));
  }
  if (count == 0 || FUPEventValues.size() >= static_cast<size_t>(FTotal)) {
    FUPEvented = true;
    FDataIndex = 0;
  }
  return rcContinue;
}

// Every whole button record that arrived becomes a line, until HotKeyCount
// lines are written. A reply without a whole record before then is no
// answer (266), so a scale that answers empty cannot keep the task asking.
TVKSDKHecrRecvCheck TVKSDKHecrHotKeyItem::ButtonReply(int32_t Package, const TVKBytes& Data) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (!Params().isConvert && head.CMD != (FTouch ? Cmd().UpAlt : Cmd().Up)) {
    if (!Data.empty()) return rcRetry;
    return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(FDataIndex));
  }
  if (!ParamMatches(head.Param, Package)) return rcRetry;
  const size_t size = ReplyDataSize(Data);
  const size_t len = static_cast<size_t>(FDef->SingleDataLen);
  if (size < len) return FailNoRecord(Package);
  const uint8_t* d = ReplyData(Data);
  for (size_t at = 0; at + len <= size && FDataIndex < FTotal; at += len) {
    WriteButtonLine(d + at, len);
    ++FDataIndex;
    DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  }
  if (FDataIndex < FTotal) return rcContinue;
  DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  return rcStop;
}

// An event button's value is the event it points to, or an empty cell when
// the scale sent fewer events than that.
void TVKSDKHecrHotKeyItem::WriteButtonLine(const uint8_t* Record, size_t Size) {
  FCtx.RowId = FDataIndex + 1;
  std::u16string line = RecordToText(Record, Size);
  if (Size >= 4 && Record[3] == kEventMarker) {
    const size_t seq = Record[1];
    const size_t tab = line.find(u'\t');
    if (seq < FUPEventValues.size() && tab != std::u16string::npos) line.insert(tab + 1, FUPEventValues[seq]);
  }
  WriteTextLine(line);
}

}  // namespace vk
