#include "hecr/hecr_item.h"

#include <algorithm>
#include <cstring>

#include "runtime/codepage.h"
#include "hecr/hecr_frame.h"
#include "hecr/hecr_protocol.h"
#include "runtime/sync.h"
#include "runtime/sysparams.h"
#include "transport/udp_client.h"

namespace vk {

TVKSDKHecrCustomItem::TVKSDKHecrCustomItem(TVKSDKHecrProtocol* HecrProtocol) : FHecrProtocol(HecrProtocol) {}

void TVKSDKHecrCustomItem::Create() {
  DefineFields();
  FTimeOut = SysParams().SyncTimeOut;
  FDataIndex = 0;
  switch (Params().ProcType) {
    case 0:
      FGetSendData = &TVKSDKHecrCustomItem::GetDownSendData;
      FSetRecvData = &TVKSDKHecrCustomItem::SetDownRecvData;
      break;
    case 1:
      FGetSendData = &TVKSDKHecrCustomItem::GetUpSendData;
      FSetRecvData = &TVKSDKHecrCustomItem::SetUpRecvData;
      break;
    case 3:
      FGetSendData = &TVKSDKHecrCustomItem::GetDelSendData;
      FSetRecvData = &TVKSDKHecrCustomItem::SetDelRecvData;
      break;
    case 4:
      FGetSendData = &TVKSDKHecrCustomItem::GetListSendData;
      FSetRecvData = &TVKSDKHecrCustomItem::SetListRecvData;
      break;
    default:
      FGetSendData = nullptr;
      FSetRecvData = nullptr;
      break;
  }
}

bool TVKSDKHecrCustomItem::isHandled(TVKSDKUDPClientClass*) { return false; }

// An operation the item does not have ends the task with 261 (once), so the
// host is never left waiting for a final code.
TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::Unsupported() {
  if (!FReportedUnsupported) {
    FReportedUnsupported = true;
    DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  }
  return rcStop;
}

bool TVKSDKHecrCustomItem::GetDownSendData(int32_t, TVKBytes& Data) {
  Data.clear();
  Unsupported();
  return false;
}
TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::SetDownRecvData(int32_t, const TVKBytes&) { return Unsupported(); }
bool TVKSDKHecrCustomItem::GetUpSendData(int32_t, TVKBytes& Data) {
  Data.clear();
  Unsupported();
  return false;
}
TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::SetUpRecvData(int32_t, const TVKBytes&) { return Unsupported(); }
bool TVKSDKHecrCustomItem::GetDelSendData(int32_t, TVKBytes& Data) {
  Data.clear();
  Unsupported();
  return false;
}
TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::SetDelRecvData(int32_t, const TVKBytes&) { return Unsupported(); }
bool TVKSDKHecrCustomItem::GetListSendData(int32_t, TVKBytes& Data) {
  Data.clear();
  Unsupported();
  return false;
}
TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::SetListRecvData(int32_t, const TVKBytes&) { return Unsupported(); }

TVKSDKExecParams& TVKSDKHecrCustomItem::Params() const { return *FHecrProtocol->GetPExecParams(); }

void TVKSDKHecrCustomItem::DoProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total) {
  FHecrProtocol->DoProgress(ErrorCode, Index, Total);
}

void TVKSDKHecrCustomItem::WriteDebug(std::string_view line) { FHecrProtocol->WriteDebug(line); }
void TVKSDKHecrCustomItem::WriteDebug(std::u16string_view line) { FHecrProtocol->WriteDebug(line); }

void TVKSDKHecrCustomItem::WriteDebugAndLog(std::string_view line) {
  TVKSDKExecParams& p = Params();
  if (p.DebugList) p.DebugList->Add(line);
  if (p.LogList) p.LogList->Add(line);
}

bool TVKSDKHecrCustomItem::Fail(uint32_t ErrorCode, uint32_t Index) {
  DoProgress(ErrorCode, Index, static_cast<uint32_t>(FTotal));
  return false;
}

TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::FailStop(uint32_t ErrorCode, uint32_t Index) {
  DoProgress(ErrorCode, Index, static_cast<uint32_t>(FTotal));
  return rcStop;
}

TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::FailNoRecord(int32_t Index) {
  if (Params().isConvert) WriteDebug("The binary file ends inside package " + std::to_string(Index + 1) + ".");
  return FailStop(Params().isConvert ? VKSDK_ERR_FILE_FORMAT : VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
}

uint32_t TVKSDKHecrCustomItem::DeviceCodePage() const { return Params().DeviceRawData.CodePage(); }

std::u16string TVKSDKHecrCustomItem::RecordToText(const uint8_t* Data, size_t Size, uint32_t CodePage,
                                                  int32_t BaseOffset) {
  TVKCodecContext ctx{CodePage, this};
  return TVKSDKUtils::RecordToText(Data, Size, FFields.data(), static_cast<int32_t>(FFields.size()), ctx,
                                   BaseOffset);
}

std::u16string TVKSDKHecrCustomItem::FieldsHeaderLine() const {
  return TVKSDKUtils::FieldsHeaderLine(FFields.data(), static_cast<int32_t>(FFields.size()));
}

void TVKSDKHecrCustomItem::BuildFrame(TVKBytes& Out, uint16_t CMD, uint16_t Param, const uint8_t* Data,
                                      size_t Len) {
  Len &= 0xFFFF;
  Out.resize(Len > 0 ? Len + 15 : 13);
  uint8_t* f = Out.data();
  f[0] = TVKHecrProtocol::kSign;
  f[1] = f[2] = f[3] = f[4] = 0;
  f[5] = static_cast<uint8_t>(CMD >> 8);
  f[6] = static_cast<uint8_t>(CMD);
  f[7] = static_cast<uint8_t>(Param >> 8);
  f[8] = static_cast<uint8_t>(Param);
  f[9] = 0;
  f[10] = static_cast<uint8_t>(Len >> 8);
  f[11] = static_cast<uint8_t>(Len);
  uint32_t sum = 0;
  for (int i = 0; i < 12; ++i) sum += f[i];
  f[12] = static_cast<uint8_t>(sum);
  if (Len > 0) {
    std::memcpy(f + 13, Data, Len);
    uint16_t crc = HecrCrc16(f + 13, Len);
    f[13 + Len] = static_cast<uint8_t>(crc >> 8);
    f[14 + Len] = static_cast<uint8_t>(crc);
  }
}

bool TVKSDKHecrCustomItem::ReadTableCounts(TVKBytes& Block) {
  Block.assign(16, 0);
  const TVKSDKExecParams& p = Params();
  const TVKSDKSysParams& sp = SysParams();
  TVKSDKUDPClientClass client(p.Addr, p.Port);
  TVKBytes request = TVKHecrProtocol::Package(TVKHecrProtocol::kSign, 0, kHecrCountsCmd, 0, 0, nullptr, 0);
  // Only an intact counts reply with at least the PLU counter is an answer;
  // anything else is asked again, and in the end reads as no answer.
  TVKDebugList* debug = p.DebugList.get();
  const TVKSDKUDPClientClass::AnswerCheck accept = [debug](const TVKBytes& d) {
    if (!TVKSDKHecrProtocol::AcceptReply(d, debug)) return false;
    const TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(d);
    if (head.Sign == 0 || head.CMD != kHecrCountsCmd) return false;
    if (TVKHecrProtocol::GetData(d).size() >= 2) return true;
    if (debug) debug->Add("Table count reply without the PLU counter.");
    return false;
  };
  TVKBytes reply = client.GetData(request, sp.SyncTimeOut, sp.SyncTryCount, debug, {}, accept);
  if (reply.empty()) return false;
  // Only the bytes that arrived count, whatever DataLen claims.
  TVKBytes data = TVKHecrProtocol::GetData(reply);
  std::memcpy(Block.data(), data.data(), std::min<size_t>(data.size(), Block.size()));
  return true;
}

}  // namespace vk

namespace vk {

// ---- Streaming downloads ----

void TVKSDKHecrCustomItem::IndexStreamingFile() {
  TVKSDKExecParams& p = Params();
  FImportLinesInfo.clear();
  if (p.FileStream) {
    TVKLockGuard guard(FHecrProtocol->GetLock());
    FImportLinesInfo = GetFileLinesInfo(*p.FileStream, p.FileCodePage);
  }
  FTotal = FImportLinesInfo.empty() ? 0 : static_cast<int32_t>(FImportLinesInfo.size()) - 1;
  FHeaderCells = 0;
  FImportFieldIndexs.clear();
  if (!FImportLinesInfo.empty()) {
    ReadLine(0);
    TVKStrings header = SplitString(FLine, u'\t');
    FHeaderCells = header.size();
    FImportFieldIndexs = GetFieldLineIndexs(header, FFields.data(), static_cast<int32_t>(FFields.size()));
  }
}

void TVKSDKHecrCustomItem::ReadLine(size_t n) {
  constexpr size_t kWindow = 64 * 1024;
  TVKSDKExecParams& p = Params();
  FLine.clear();
  if (n >= FImportLinesInfo.size() || !p.FileStream) return;
  const TVKSDKLineInfo& li = FImportLinesInfo[n];
  if (li.Count <= 0 || li.Offset < 0) return;
  const int64_t begin = li.Offset, end = begin + li.Count;
  if (begin < FWindowStart || end > FWindowStart + static_cast<int64_t>(FWindow.size())) {
    FWindow.resize(std::max<size_t>(kWindow, static_cast<size_t>(li.Count)));
    FWindowStart = begin;
    size_t got = p.FileStream->Seek(begin) ? p.FileStream->Read(FWindow.data(), FWindow.size()) : 0;
    FWindow.resize(got);
    if (end > FWindowStart + static_cast<int64_t>(got)) return;
  }
  AppendCodePageString(FWindow.data() + (begin - FWindowStart), static_cast<size_t>(li.Count), p.FileCodePage,
                       FLine);
  if (FLine.find_first_of(u"\r\n") != std::u16string::npos)
    FLine.erase(std::remove_if(FLine.begin(), FLine.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }),
                FLine.end());
}

void TVKSDKHecrCustomItem::SplitLine() {
  FCells.clear();
  std::u16string_view s(FLine);
  if (s.empty()) return;
  size_t start = 0;
  for (;;) {
    size_t tab = s.find(u'\t', start);
    if (tab == std::u16string_view::npos) {
      FCells.push_back(s.substr(start));
      return;
    }
    FCells.push_back(s.substr(start, tab - start));
    start = tab + 1;
  }
}

bool TVKSDKHecrCustomItem::ImportCells(uint8_t* Record, const TVKCodecContext& Ctx, size_t& FailedColumn) {
  for (size_t c = 0; c < FCells.size() && c < FImportFieldIndexs.size(); ++c) {
    const int32_t fi = FImportFieldIndexs[c];
    if (fi < 0) continue;
    const TVKSDKRAMFieldInfo& f = FFields[static_cast<size_t>(fi)];
    bool ok = true;
    if (f.ImportFun1)
      ok = f.ImportFun1(Ctx, FCells[c], Record + f.Offset, f.Size, Record + f.Offset1, f.Size1);
    else if (f.ImportFun)
      ok = f.ImportFun(Ctx, FCells[c], Record + f.Offset, f.Size);
    if (!ok) {
      FailedColumn = c;
      return false;
    }
  }
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::StreamingDownRecv(int32_t Index, const TVKBytes& Data) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (head.CMD == kHecrAckCmd) {
    if (!ParamMatches(head.Param, Index)) return rcRetry;
    DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
    return rcContinue;
  }
  if (!Data.empty()) return rcRetry;
  return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
}

// ---- Whole-table downloads ----

void TVKSDKHecrCustomItem::PrepareWholeTable(const TVKSDKRAMDefineInfo& Def, int32_t Start, int32_t Count,
                                             bool ClearTail) {
  TVKSDKExecParams& p = Params();
  FImportDatas.clear();
  FRecordCount = 0;
  FRecordsPerPackage = Def.SingleDataLen > 0 ? std::max(1, Def.PackageLen / Def.SingleDataLen) : 1;
  TVKStringsDynArray rows;
  if (p.FileStream) rows = GetImportStringsDynArray(*p.FileStream, p.FileCodePage);
  if (Count > 0) rows = FullStringDataItems(rows, Def.OrderFieldName, Start, Count);
  int32_t failedRow = 0;
  TVKBytesDynArray records =
      GenerateDataDynArray(rows, Def.FieldInfoDynArray, Def.FieldCount, CodecContext(), failedRow);
  if (failedRow > 0) {
    FPendingError = VKSDK_ERR_ENCODE;
    FPendingIndex = static_cast<uint32_t>(failedRow);
    return;
  }
  FImportDatas = TrimPackage(records, Def.PackageLen, Def.SingleDataLen, Def.MaxCount, ClearTail);
  FRecordCount = static_cast<int32_t>(records.size());
  if (Def.MaxCount > 0) FRecordCount = std::min(FRecordCount, Def.MaxCount);
  FTotal = FRecordCount;
}

bool TVKSDKHecrCustomItem::WholeTableDownSend(int32_t Index, TVKBytes& Data, uint16_t CMD) {
  if (FPendingError != 0) return Fail(FPendingError, FPendingIndex);
  if (FDataIndex >= FRecordCount || Index < 0 || static_cast<size_t>(Index) >= FImportDatas.size()) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
    return false;
  }
  const TVKBytes& package = FImportDatas[static_cast<size_t>(Index)];
  BuildFrame(Data, CMD, ParamOf(Index), package.data(), package.size());
  FDataIndex = std::min(FRecordCount, FDataIndex + FRecordsPerPackage);
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::WholeTableDownRecv(int32_t Index, const TVKBytes& Data) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (head.CMD != kHecrAckCmd) return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(FDataIndex));
  if (!ParamMatches(head.Param, Index)) return rcRetry;
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  return rcContinue;
}

// ---- Uploads ----

bool TVKSDKHecrCustomItem::WriteTextLine(std::u16string_view Line) {
  TVKSDKExecParams& p = Params();
  return p.FileStream && WriteLineToFileStream(*p.FileStream, Line, p.FileCodePage);
}

void TVKSDKHecrCustomItem::WriteUploadHeader() { WriteTextLine(FieldsHeaderLine()); }

bool TVKSDKHecrCustomItem::UploadSend(int32_t Index, TVKBytes& Data, uint16_t CMD, bool Streaming,
                                      const uint8_t* Extra, size_t ExtraLen) {
  const int32_t done = Streaming ? Index : FDataIndex;
  if (done >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(done), static_cast<uint32_t>(FTotal));
    return false;
  }
  BuildFrame(Data, CMD, ParamOf(Index), Extra, Extra ? ExtraLen : 0);
  return true;
}

size_t TVKSDKHecrCustomItem::ReplyDataSize(const TVKBytes& Data) {
  if (Data.size() <= 15) return 0;
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  return std::min<size_t>(head.DataLen, Data.size() - 15);
}

TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::WholeTableUpRecv(int32_t Index, const TVKBytes& Data, uint16_t CMD,
                                                           int32_t RecordLen) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (!Params().isConvert && head.CMD != CMD) return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
  if (!ParamMatches(head.Param, Index)) return rcRetry;
  const size_t size = ReplyDataSize(Data);
  if (RecordLen <= 0 || size < static_cast<size_t>(RecordLen)) return FailNoRecord(Index);  // no progress possible
  const uint8_t* data = Data.data() + TVKHecrProtocol::kHeadSize;
  const uint32_t cp = DeviceCodePage();
  for (size_t at = 0; at + static_cast<size_t>(RecordLen) <= size && FDataIndex < FTotal; at += RecordLen) {
    WriteTextLine(RecordToText(data + at, static_cast<size_t>(RecordLen), cp));
    ++FDataIndex;
  }
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  if (FDataIndex >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
    return rcStop;
  }
  return rcContinue;
}

// ---- Deletes ----

bool TVKSDKHecrCustomItem::DeleteSend(int32_t Index, TVKBytes& Data, uint16_t CMD) {
  BuildFrame(Data, CMD, ParamOf(Index), nullptr, 0);
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrCustomItem::DeleteRecv(int32_t Index, const TVKBytes& Data, bool RetryWrongParam) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (head.CMD == kHecrAckCmd && ParamMatches(head.Param, Index)) {
    DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
    DoProgress(VKSDK_OK, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
    return rcStop;
  }
  if (head.CMD == kHecrAckCmd && RetryWrongParam) return rcRetry;
  return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
}

}  // namespace vk
