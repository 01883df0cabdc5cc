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

namespace {

int32_t PowerOfTen(int exponent) {
  int32_t v = 1;
  for (int i = 0; i < std::clamp(exponent, 0, 9); ++i) v *= 10;
  return v;
}

}  // namespace

void TVKSDKHecrCustomItem::Create() {
  DefineFields();
  const TVKSDKDeviceRawData& raw = Params().DeviceRawData;
  FCtx = TVKCodecContext{};
  FCtx.CodePage = raw.CodePage();
  FCtx.PriceMultiple = PowerOfTen(raw.PriceExponent());
  FCtx.WeightMultiple = PowerOfTen(raw.WeightExponent());
  FCtx.Country = raw.Country();
  FCtx.LFCodeLen = raw.LFCodeLen();
  FTimeOut = SysParams().SyncTimeOut;
  FDataIndex = 0;
  switch (Params().ProcType) {
    case VKSDK_PROC_DOWNLOAD:
      FGetSendData = &TVKSDKHecrCustomItem::GetDownSendData;
      FSetRecvData = &TVKSDKHecrCustomItem::SetDownRecvData;
      break;
    case VKSDK_PROC_UPLOAD:
      FGetSendData = &TVKSDKHecrCustomItem::GetUpSendData;
      FSetRecvData = &TVKSDKHecrCustomItem::SetUpRecvData;
      break;
    case VKSDK_PROC_DELETE:
      FGetSendData = &TVKSDKHecrCustomItem::GetDelSendData;
      FSetRecvData = &TVKSDKHecrCustomItem::SetDelRecvData;
      break;
    case VKSDK_PROC_LIST:
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

const TVKDataTypeRow& TVKSDKHecrCustomItem::Row() const {
  static constexpr TVKDataTypeRow kNoRow{ptHecr, -1, nullptr, nullptr};
  const TVKDataTypeRow* row = Params().Row;
  return row ? *row : kNoRow;
}

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

std::u16string TVKSDKHecrCustomItem::RecordToText(const uint8_t* Data, size_t Size, int32_t BaseOffset) {
  return TVKSDKUtils::RecordToText(Data, Size, FFields.data(), static_cast<int32_t>(FFields.size()), FCtx,
                                   BaseOffset);
}

std::u16string TVKSDKHecrCustomItem::FieldsHeaderLine() const {
  return TVKSDKUtils::FieldsHeaderLine(FFields.data(), static_cast<int32_t>(FFields.size()));
}

void TVKSDKHecrCustomItem::BuildFrame(TVKBytes& Out, uint16_t CMD, uint16_t Param, const uint8_t* Data,
                                      size_t Len, bool Crc) {
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
    const uint16_t crc = Crc ? HecrCrc16(f + 13, Len) : 0;
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

// ---- Uploads ----

bool TVKSDKHecrCustomItem::WriteTextLine(std::u16string_view Line) {
  TVKSDKExecParams& p = Params();
  return p.FileStream && WriteLineToFileStream(*p.FileStream, Line, p.FileCodePage);
}

void TVKSDKHecrCustomItem::WriteUploadHeader() { WriteTextLine(FieldsHeaderLine()); }

size_t TVKSDKHecrCustomItem::ReplyDataSize(const TVKBytes& Data) {
  if (Data.size() <= 15) return 0;
  TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(Data);
  return std::min<size_t>(head.DataLen, Data.size() - 15);
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
