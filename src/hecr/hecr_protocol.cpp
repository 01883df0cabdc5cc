#include "hecr/hecr_protocol.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "data/text_file.h"
#include "hecr/hecr_file_link.h"
#include "hecr/hecr_frame.h"
#include "hecr/hecr_item.h"
#include "hecr/hecr_item_table.h"
#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "tasks/discovery.h"
#include "transport/udp_client.h"

namespace vk {

namespace {

void WriteTwoDigitsBCD(uint8_t* p, int value) {
  *p = static_cast<uint8_t>(((value / 10) % 10) << 4 | (value % 10));
}

}  // namespace

bool TVKSDKHecrProtocol::SyncTime(uint32_t iAddr, uint16_t Port, TVKDebugList* DebugList) {
  // yyMMddhhmmss as six BCD bytes, then one zero byte.
  platform::LocalTime t = platform::Now();
  uint8_t data[7] = {};
  WriteTwoDigitsBCD(&data[0], t.year % 100);
  WriteTwoDigitsBCD(&data[1], t.month);
  WriteTwoDigitsBCD(&data[2], t.day);
  WriteTwoDigitsBCD(&data[3], t.hour);
  WriteTwoDigitsBCD(&data[4], t.minute);
  WriteTwoDigitsBCD(&data[5], t.second);
  const TVKSDKSysParams& sp = SysParams();
  TVKSDKUDPClientClass client(IntegerToIP(iAddr), Port);
  TVKBytes frame = TVKHecrProtocol::Package(TVKHecrProtocol::kSign, 0, kHecrClockCmd, 0, 0, data, sizeof(data));
  return !client.GetData(frame, sp.SyncTimeOut, sp.SyncTryCount, DebugList).empty();
}

bool TVKSDKHecrProtocol::AcceptReply(const TVKBytes& Reply, TVKDebugList* DebugList) {
  if (TVKHecrProtocol::CheckPackage(Reply)) return true;
  if (DebugList) DebugList->Add("Invalid Package!");
  return false;
}

bool TVKSDKHecrProtocol::BeforeTransferData(TVKSDKUDPClientClass&) {
  const TVKSDKExecParams& p = FExecParams;
  if (IsShelfSystemDevice(p.DeviceRawData)) return true;
  if (HasFlag(p.Row, dtClockFirst) && SysParams().AutoSyncTime)
    SyncTime(p.DeviceRawData.PeerIP, static_cast<uint16_t>(p.DeviceRawData.PeerPort), p.DebugList.get());
  return true;
}

void TVKSDKHecrProtocol::Execute() {
  TVKSDKCustomProtocol::Execute();
  if (Terminated()) return;
  if (FExecParams.isConvert)
    ConvertData();
  else
    TransferData();
}

void TVKSDKHecrProtocol::TransferData() {
  TVKSDKExecParams& p = FExecParams;
  if (Terminated()) {
    WriteDebug(std::string_view());
    WriteDebug("Canceled.");
    return;
  }
  try {
    TVKSDKHecrItemClassRef cls = ItemClassOf(p.DataType, IsShelfSystemDevice(p.DeviceRawData));
    if (!cls) {
      WriteDebug("Unknown data type: " + std::to_string(p.DataType));
      DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
      return;
    }
    const uint16_t port = p.Row && p.Row->Port != 0 ? p.Row->Port : p.Port;
    TVKSDKUDPClientClass client(p.Addr, port);
    RefUDPClient = &client;
    struct ClearRef {
      TVKSDKUDPClientClass*& ref;
      ~ClearRef() { ref = nullptr; }
    } clearRef{RefUDPClient};

    const TVKSDKSysParams& sp = SysParams();
    int32_t timeOut = sp.SyncTimeOut, tryCount = sp.SyncTryCount;
    const TVKTimeOutClass timeOutClass = p.Row ? p.Row->TimeOut : TVKTimeOutClass::Sync;
    if (timeOutClass == TVKTimeOutClass::Firmware) {
      timeOut = sp.UpdateFirmwareTimeOut;
      tryCount = sp.UpdateFirmwareTryCount;
    } else if (p.ProcType == VKSDK_PROC_DELETE && timeOutClass == TVKTimeOutClass::SlowClear) {
      timeOut = sp.ClearDataTimeOut;
      tryCount = sp.ClearDataTryCount;
    }

    std::unique_ptr<TVKSDKHecrCustomItem> item = cls.Make(this);
    BeforeTransferData(client);
    if (item->isHandled(&client)) return;
    RunLoop(*item, client, timeOut, tryCount);
  } catch (const std::exception& e) {
    WriteDebug(e.what());
    DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  }
}

void TVKSDKHecrProtocol::RunLoop(TVKSDKHecrCustomItem& item, TVKSDKLink& link, int32_t timeOut, int32_t tryCount) {
  TVKDebugList* debug = FExecParams.DebugList.get();
  const bool convert = FExecParams.isConvert;
  if (!convert) DoProgress(VKSDK_PROGRESS, 0, static_cast<uint32_t>(item.Total()));
  FProcessIndex = 0;
  if (!item.HasOperation()) {
    // Nothing to do for this ProcType: the host still hears a final code.
    WriteDebug("Operation not supported for this data type.");
    DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
    return;
  }
  TVKBytes request;
  // The next request is built while this one is answered.
  const std::function<void()> prefetch = [&item, this] { item.Prefetch(FProcessIndex + 1); };
  const TVKSDKLink::AnswerCheck accept = [debug](const TVKBytes& d) { return AcceptReply(d, debug); };
  // Set when the last exchange met an answer that was not its own: copies
  // of it may still be queued.
  bool strayAnswers = false;
  for (;;) {
    if (Terminated()) {
      DoProgress(VKSDK_TERMINATED, 0, 0);
      WriteDebug(std::string_view());
      WriteDebug(convert ? "User Canceled." : "Canceled.");
      return;
    }
    if (!item.GetSendData(FProcessIndex, request)) return;
    // Answers to earlier requests that are already queued are thrown away
    // before this one goes out. Only after an irregular exchange, so a
    // clean transfer spends no extra call per request.
    if (strayAnswers || link.MayHoldStaleAnswers()) link.Drain(debug);
    strayAnswers = false;
    int32_t retries = tryCount;
    for (;;) {
      TVKBytes reply = link.Exchange(request, timeOut, tryCount, debug, prefetch, accept);
      if (const uint32_t error = link.LinkError(); error != 0) {
        WriteDebug("The binary file could not be written.");
        DoProgress(error, static_cast<uint32_t>(FProcessIndex), static_cast<uint32_t>(item.Total()));
        return;
      }
      TVKSDKHecrRecvCheck r = item.SetRecvData(FProcessIndex, reply);
      if (r == rcRetry && !link.CanAskAgain()) {
        // Nothing will answer again: a reply the item rejects ends the task.
        WriteDebug("Conversion data rejected at index " + std::to_string(FProcessIndex));
        DoProgress(VKSDK_ERR_UNSUPPORTED, static_cast<uint32_t>(item.DataIndex()), static_cast<uint32_t>(item.Total()));
        return;
      }
      if (r == rcRetry) {
        // Not this request's answer (a copy of an earlier one, say). It
        // never counts as a try: listen on, for one time-out, for the
        // answer that is still on its way, before sending again.
        strayAnswers = true;
        const uint64_t until = platform::MonotonicMs() + static_cast<uint64_t>(std::max(timeOut, 0));
        while (r == rcRetry) {
          const uint64_t now = platform::MonotonicMs();
          if (now >= until) break;
          TVKBytes late = link.ReceiveMore(static_cast<int32_t>(until - now), debug, accept);
          if (late.empty()) break;
          r = item.SetRecvData(FProcessIndex, late);
        }
      }
      if (r == rcStop) return;
      if (r == rcContinue) break;
      --retries;
      if (retries <= 0) {
        DoProgress(VKSDK_ERR_NO_REPLY, static_cast<uint32_t>(item.DataIndex()), static_cast<uint32_t>(item.Total()));
        return;
      }
      WriteDebug("Outer Retry " + std::to_string(tryCount - retries));
    }
    ++FProcessIndex;
  }
}

void TVKSDKHecrProtocol::ConvertData() {
  TVKSDKExecParams& p = FExecParams;
  if (Terminated()) {
    WriteDebug(std::string_view());
    WriteDebug("User Canceled.");
    return;
  }
  try {
    // Conversions always use the ordinary classes.
    TVKSDKHecrItemClassRef cls = ItemClassOf(p.DataType, false);
    if (!cls) {
      WriteDebug("Unknown data type: " + std::to_string(p.DataType));
      DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
      return;
    }
    std::unique_ptr<TVKSDKHecrCustomItem> item = cls.Make(this);
    TLengthInfo len = item->GetLengthInfo();
    DoProgress(VKSDK_PROGRESS, 0, static_cast<uint32_t>(item->Total()));
    FProcessIndex = 0;
    // The binary input holds raw records whatever OutputFileType says (hex
    // lines are an output form only), so its size always gives the total.
    if (p.ProcType != VKSDK_PROC_DOWNLOAD) {
      int64_t size = p.AuxFileStream ? p.AuxFileStream->Size() : 0;
      int32_t count = 0;
      if (size > 0 && len.DataLen > 0) count = static_cast<int32_t>((size + len.DataLen - 1) / len.DataLen);
      item->SetTotal(count);
    }
    if (item->isHandled(nullptr)) return;
    TVKSDKHecrFileLink link(p, len.PackageLen);
    RunLoop(*item, link, 0, 1);
  } catch (const std::exception& e) {
    WriteDebug(e.what());
    DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  }
}

}  // namespace vk
