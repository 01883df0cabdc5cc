#include "pecr/pecr_protocol.h"

#include <exception>
#include <memory>
#include <string>

#include "data/text_file.h"
#include "pecr/pecr_frame.h"
#include "pecr/pecr_item.h"
#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "tasks/discovery.h"
#include "transport/udp_client.h"

namespace vk {

namespace {

constexpr uint8_t kControlType = 14;
constexpr uint16_t kClockAddr = 1, kCloseAddr = 2;

uint8_t TwoDigitsBCD(int value) { return static_cast<uint8_t>(((value / 10) % 10) << 4 | (value % 10)); }

}  // namespace

bool TVKSDKPecrProtocol::SyncTime(uint32_t iAddr, uint16_t Port, TVKDebugList* DebugList) {
  const platform::LocalTime t = platform::Now();
  const uint8_t data[10] = {0,
                            0,
                            0,
                            0,
                            TwoDigitsBCD(t.year % 100),
                            TwoDigitsBCD(t.month),
                            TwoDigitsBCD(t.day),
                            TwoDigitsBCD(t.hour),
                            TwoDigitsBCD(t.minute),
                            TwoDigitsBCD(t.second)};
  const TVKSDKSysParams& sp = SysParams();
  TVKSDKUDPClientClass client(IntegerToIP(iAddr), Port);
  const TVKBytes frame = TVKPecrProtocol::Package(kControlType, kClockAddr, data, sizeof data);
  const TVKBytes reply = client.GetData(frame, sp.SyncTimeOut, sp.SyncTryCount, DebugList);
  return !reply.empty() && reply[0] == kPecrAck;
}

bool TVKSDKPecrProtocol::AcceptReply(const TVKBytes& Reply, TVKDebugList* DebugList) {
  if (TVKPecrProtocol::CheckPackage(Reply) || (!Reply.empty() && Reply.size() <= 2)) return true;
  if (DebugList) DebugList->Add("Invalid Package!");
  return false;
}

void TVKSDKPecrProtocol::Execute() {
  TVKSDKCustomProtocol::Execute();
  if (Terminated()) return;
  TransferData();
}

void TVKSDKPecrProtocol::TransferData() {
  TVKSDKExecParams& p = FExecParams;
  if (Terminated()) {
    WriteDebug(std::string_view());
    WriteDebug("Canceled.");
    return;
  }
  // A table the family lacks, or whose item is not built into the library,
  // ends before anything is sent.
  const TVKSDKPecrItemFactory make = PecrItemFactoryOf(p.Row);
  if (!make) {
    WriteDebug("Data type not supported by this library: " + std::to_string(p.DataType));
    DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
    return;
  }
  const TVKSDKSysParams& sp = SysParams();
  int32_t timeOut = sp.SyncTimeOut, tryCount = sp.SyncTryCount;
  if (p.Row->TimeOut == TVKTimeOutClass::Firmware) {
    timeOut = sp.UpdateFirmwareTimeOut;
    tryCount = sp.UpdateFirmwareTryCount;
  }
  const uint16_t port = p.Row->Port != 0 ? p.Row->Port : p.Port;
  TVKSDKUDPClientClass client(p.Addr, port);
  try {
    std::unique_ptr<TVKSDKPecrCustomItem> item = make(this);
    if (p.Row->Has(dtClockFirst))
      SyncTime(p.DeviceRawData.PeerIP, static_cast<uint16_t>(p.DeviceRawData.PeerPort), p.DebugList.get());
    if (!item->isHandled(&client)) RunLoop(*item, client, timeOut, tryCount);
  } catch (const std::exception& e) {
    WriteDebug(e.what());
    if (!FinalReported()) DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  }
  // Every transfer ends with the closing frame, also after a failure.
  Disconnect(client, timeOut, tryCount);
  if (!FinalReported()) {
    // The item has no such operation: the host still hears a final code.
    WriteDebug("Operation not supported for this data type.");
    DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  }
}

void TVKSDKPecrProtocol::RunLoop(TVKSDKPecrCustomItem& item, TVKSDKUDPClientClass& client, int32_t timeOut,
                                 int32_t tryCount) {
  TVKDebugList* debug = FExecParams.DebugList.get();
  DoProgress(VKSDK_PROGRESS, 0, static_cast<uint32_t>(item.Total()));
  FProcessIndex = 0;
  if (!item.HasOperation()) return;
  const TVKSDKLink::AnswerCheck accept = [debug](const TVKBytes& d) { return AcceptReply(d, debug); };
  TVKBytes request;
  for (;;) {
    if (Terminated()) {
      DoProgress(VKSDK_TERMINATED, 0, 0);
      WriteDebug(std::string_view());
      WriteDebug("Canceled.");
      return;
    }
    if (!item.GetSendData(FProcessIndex, request)) return;
    // Answers to an earlier request (after a resend) are not this one's.
    if (client.MayHoldStaleAnswers()) client.Drain(debug);
    const TVKBytes reply = client.Exchange(request, timeOut, tryCount, debug, {}, accept);
    if (!item.SetRecvData(FProcessIndex, reply)) return;
    ++FProcessIndex;
  }
}

void TVKSDKPecrProtocol::Disconnect(TVKSDKUDPClientClass& client, int32_t timeOut, int32_t tryCount) {
  const TVKBytes frame = TVKPecrProtocol::Package(kControlType, kCloseAddr, nullptr, 0);
  client.Exchange(frame, timeOut, tryCount, FExecParams.DebugList.get(), {}, {});
}

}  // namespace vk
