#include "hecr/hecr_table_item.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/table_ops.h"
#include "hecr/hecr_protocol.h"
#include "runtime/sync.h"

namespace vk {

std::u16string ExportRowId(const TVKCodecContext& Ctx, const uint8_t*, int32_t) {
  return Widen(std::to_string(Ctx.RowId));
}

// ---- Both ----

bool TVKSDKHecrDefinedItem::GetDelSendData(int32_t Index, TVKBytes& Data) {
  if (Cmd().Del == 0) return TVKSDKHecrCustomItem::GetDelSendData(Index, Data);
  return DeleteSend(Index, Data, Cmd().Del);
}

TVKSDKHecrRecvCheck TVKSDKHecrDefinedItem::SetDelRecvData(int32_t Index, const TVKBytes& Data) {
  if (Cmd().Del == 0) return TVKSDKHecrCustomItem::SetDelRecvData(Index, Data);
  return DeleteRecv(Index, Data, FDeleteRetriesWrongParam);
}

// ---- Whole tables ----

void TVKSDKHecrTableItem::Create() {
  TVKSDKHecrCustomItem::Create();
  TVKSDKExecParams& p = Params();
  switch (p.ProcType) {
    case VKSDK_PROC_DOWNLOAD: {
      FRecordsPerPackage = std::max(1, FDef->PackageLen / FDef->SingleDataLen);
      TVKStringsDynArray rows;
      if (p.FileStream) rows = GetImportStringsDynArray(*p.FileStream, p.FileCodePage);
      rows = PlaceRows(rows);
      int32_t failedRow = 0;
      TVKBytesDynArray records = GenerateDataDynArray(rows, FDef->FieldInfoDynArray, FDef->FieldCount, FCtx, failedRow);
      if (failedRow > 0) {
        // Reported by the first request, so the host hears it in order.
        FPendingError = VKSDK_ERR_ENCODE;
        FPendingIndex = static_cast<uint32_t>(failedRow);
        return;
      }
      for (TVKBytes& r : records) r.resize(static_cast<size_t>(FDef->SingleDataLen));
      FImportDatas = TrimPackage(records, FDef->PackageLen, FDef->SingleDataLen, FDef->MaxCount, FDef->ClearTail);
      FRecordCount = static_cast<int32_t>(records.size());
      if (FDef->MaxCount > 0) FRecordCount = std::min(FRecordCount, FDef->MaxCount);
      FTotal = FRecordCount;
      break;
    }
    case VKSDK_PROC_UPLOAD:
      WriteUploadHeader();
      FTotal = FDef->MaxCount;
      break;
    case VKSDK_PROC_DELETE:
      FTotal = 1;
      break;
    default:
      break;
  }
}

TVKStringsDynArray TVKSDKHecrTableItem::PlaceRows(const TVKStringsDynArray& Rows) {
  if (FDef->MaxCount <= 0) return Rows;
  return FullStringDataItems(Rows, FDef->OrderFieldName, FDef->FirstId, FDef->MaxCount);
}

bool TVKSDKHecrTableItem::GetDownSendData(int32_t Index, TVKBytes& Data) {
  if (FPendingError != 0) return Fail(FPendingError, FPendingIndex);
  if (FDataIndex >= FRecordCount || Index < 0 || static_cast<size_t>(Index) >= FImportDatas.size()) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
    return false;
  }
  const TVKBytes& package = FImportDatas[static_cast<size_t>(Index)];
  BuildFrame(Data, Cmd().Down, ParamOf(Index), package.data(), package.size());
  FDataIndex = std::min(FRecordCount, FDataIndex + FRecordsPerPackage);
  return true;
}

// 800E echoing the package index moves on, 800E for another package (a
// late copy) is not this one's; anything else is 266.
TVKSDKHecrRecvCheck TVKSDKHecrTableItem::SetDownRecvData(int32_t Index, const TVKBytes& Data) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (head.CMD != kHecrAckCmd) return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(FDataIndex));
  if (!ParamMatches(head.Param, Index)) return rcRetry;
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  return rcContinue;
}

bool TVKSDKHecrTableItem::GetUpSendData(int32_t Index, TVKBytes& Data) {
  if (FDataIndex >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
    return false;
  }
  BuildFrame(Data, Cmd().Up, ParamOf(Index), nullptr, 0);
  return true;
}

// Every whole record the reply holds becomes a line until FTotal lines are
// written. A reply for another index (a late copy) is not this request's;
// a reply without a whole record, before the table is complete, is no
// answer (266), so a scale that answers empty cannot keep the task asking.
TVKSDKHecrRecvCheck TVKSDKHecrTableItem::SetUpRecvData(int32_t Index, const TVKBytes& Data) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (!Params().isConvert && head.CMD != Cmd().Up) return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
  if (!ParamMatches(head.Param, Index)) return rcRetry;
  if (!DecodeUpReply(Index, ReplyData(Data), ReplyDataSize(Data))) return FailNoRecord(Index);
  return UpProgress();
}

bool TVKSDKHecrTableItem::DecodeUpReply(int32_t, const uint8_t* Data, size_t Size) {
  const size_t len = static_cast<size_t>(FDef->SingleDataLen);
  if (Size < len) return false;
  for (size_t at = 0; at + len <= Size && FDataIndex < FTotal; at += len) {
    WriteRecordLine(Data + at, len);
    ++FDataIndex;
  }
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrTableItem::UpProgress() {
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  if (FDataIndex < FTotal) return rcContinue;
  DoProgress(VKSDK_OK, static_cast<uint32_t>(FDataIndex), static_cast<uint32_t>(FTotal));
  return rcStop;
}

void TVKSDKHecrTableItem::WriteRecordLine(const uint8_t* Record, size_t Size) {
  FCtx.RowId = FDef->FirstId + FDataIndex;
  WriteTextLine(RecordToText(Record, Size));
}


// ---- Streamed tables ----

void TVKSDKHecrStreamItem::Create() {
  TVKSDKHecrCustomItem::Create();
  TVKSDKExecParams& p = Params();
  switch (p.ProcType) {
    case VKSDK_PROC_DOWNLOAD: {
      {
        TVKLockGuard guard(FHecrProtocol->GetLock());
        FReader.Open(p.FileStream.get(), p.FileCodePage, FFields);
      }
      FTotal = FReader.RowCount();
      FFrameCrc = !p.isConvert || p.OutputFileType != 0;
      FTemplate.assign(static_cast<size_t>(FDef->SingleDataLen), 0);
      FRecord.resize(static_cast<size_t>(FDef->SingleDataLen));
      break;
    }
    case VKSDK_PROC_UPLOAD:
      WriteUploadHeader();
      if (!p.isConvert && Row().Counter >= 0) {
        TVKBytes counts;
        FCountsAnswered = ReadTableCounts(counts);
        const size_t at = static_cast<size_t>(Row().Counter);
        FTotal = counts[at] << 8 | counts[at + 1];
      }
      break;
    case VKSDK_PROC_DELETE:
      FTotal = 1;
      break;
    default:
      break;
  }
}

bool TVKSDKHecrStreamItem::isHandled(TVKSDKUDPClientClass*) {
  const TVKSDKExecParams& p = Params();
  switch (p.ProcType) {
    case VKSDK_PROC_DOWNLOAD:
      return CheckDownloadFile();
    case VKSDK_PROC_UPLOAD:
      if (!FCountsAnswered) {
        WriteDebugAndLog("No answer to the table count request.");
        DoProgress(VKSDK_ERR_NO_REPLY, 0, 0);
        return true;
      }
      return false;
    case VKSDK_PROC_DELETE:
      if (p.FileName != u"*") {
        // The scale can only clear the whole table; a list must not wipe it.
        WriteDebugAndLog("This table can only be deleted as a whole (file name \"*\").");
        DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool TVKSDKHecrStreamItem::GetDownSendData(int32_t Index, TVKBytes& Data) {
  if (Index >= FTotal) {
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
  const TVKSDKRAMFieldInfo& f = FFields[static_cast<size_t>(FReader.ColumnFields()[failed])];
  char buf[96];
  std::snprintf(buf, sizeof buf, " cannot be encoded at row %d", RowOfIndex(Index) + 2);
  WriteDebug(std::u16string(f.ImportName) + u" value " + std::u16string(FReader.Cells()[failed]) + Widen(buf));
  // A key the record cannot hold names no record of the table (it would
  // land on another one): the row itself is wrong, 265.
  const bool key = !FDef->OrderFieldName.empty() && f.ImportName == FDef->OrderFieldName;
  return Fail(key ? VKSDK_ERR_FILE_FORMAT : VKSDK_ERR_ENCODE, static_cast<uint32_t>(Index) + 1);
}

void TVKSDKHecrStreamItem::Prefetch(int32_t Index) {
  if (Params().ProcType != VKSDK_PROC_DOWNLOAD || Index == FPrefetchIndex || Index < 0 || Index >= FTotal) return;
  size_t failed = 0;
  // A row that fails is left to GetDownSendData, which reports it in turn.
  FPrefetchIndex = BuildDownFrame(Index, FPrefetchFrame, failed) == DownBuild::Ok ? Index : -1;
}

TVKSDKHecrStreamItem::DownBuild TVKSDKHecrStreamItem::BuildDownFrame(int32_t Index, TVKBytes& Data,
                                                                     size_t& FailedCell) {
  if (!FReader.ReadRow(RowOfIndex(Index))) return DownBuild::BadCells;
  BeforeImport();
  std::memcpy(FRecord.data(), FTemplate.data(), FRecord.size());
  if (!FReader.ImportCells(FRecord.data(), FCtx, FailedCell)) return DownBuild::CannotEncode;
  const int32_t len = std::clamp(RecordLenOfRow(), 0, FDef->SingleDataLen);
  AfterImport(FRecord.data(), len);
  BuildFrame(Data, Cmd().Down, ParamOf(Index), FRecord.data(), static_cast<size_t>(len), FFrameCrc);
  return DownBuild::Ok;
}

// 800E echoing the index moves on; 800E for another index, or any other
// answer with data, is not this request's; no answer at all is 266.
TVKSDKHecrRecvCheck TVKSDKHecrStreamItem::SetDownRecvData(int32_t Index, const TVKBytes& Data) {
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (head.CMD == kHecrAckCmd) {
    if (!ParamMatches(head.Param, Index)) return rcRetry;
    DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
    return rcContinue;
  }
  if (!Data.empty()) return rcRetry;
  return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
}

bool TVKSDKHecrStreamItem::GetUpSendData(int32_t Index, TVKBytes& Data) {
  if (Index >= FTotal) {
    DoProgress(VKSDK_OK, static_cast<uint32_t>(Index), static_cast<uint32_t>(FTotal));
    return false;
  }
  BuildFrame(Data, UpCmd(), ParamOf(Index), nullptr, 0);
  return true;
}

TVKSDKHecrRecvCheck TVKSDKHecrStreamItem::SetUpRecvData(int32_t Index, const TVKBytes& Data) {
  TVKSDKExecParams& p = Params();
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  if (!p.isConvert && head.CMD != UpCmd()) {
    if (!Data.empty()) return rcRetry;
    return FailStop(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(Index) + 1);
  }
  if (!ParamMatches(head.Param, Index)) return rcRetry;
  // Only the bytes that arrived count, whatever DataLen says.
  const size_t size = ReplyDataSize(Data);
  if (size < static_cast<size_t>(MinUpRecordLen())) return ShortUpReply(Index);
  WriteTextLine(RecordToText(ReplyData(Data), std::min(size, static_cast<size_t>(FDef->SingleDataLen))));
  DoProgress(VKSDK_PROGRESS, static_cast<uint32_t>(Index) + 1, static_cast<uint32_t>(FTotal));
  ++FDataIndex;
  return rcContinue;
}


}  // namespace vk
