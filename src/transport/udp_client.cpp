#include "transport/udp_client.h"

#include <cstdio>

#include <algorithm>

#include "runtime/platform.h"

namespace vk {

TVKSDKUDPClientClass::TVKSDKUDPClientClass(uint32_t Host, uint16_t Port)
    : TVKSDKUDPClientClass(Widen(FormatDottedIPv4(Host)), Port) {}

TVKSDKUDPClientClass::TVKSDKUDPClientClass(std::u16string_view Host, uint16_t Port)
    : FRecvData(kRecvBufferSize), FPort(Port) {
  if (FUDPClient.Open()) {
    FUDPClient.EnableBroadcast();
    FBindPort = FUDPClient.LocalPort();
  }
  SetHost(Host);
}

void TVKSDKUDPClientClass::SetHost(std::u16string_view Host) {
  FHost.assign(Host);
  FHostValid = ParseDottedIPv4(Utf16ToUtf8(FHost), FHostAddr);
  // A segment scan: four dot-separated parts, the fourth "255".
  size_t dots = 0, lastDot = 0;
  for (size_t i = 0; i < FHost.size(); ++i)
    if (FHost[i] == u'.') ++dots, lastDot = i;
  FBroadcast = dots == 3 && FHost.substr(lastDot + 1) == u"255";
  // Every device of the segment answers at once; a queue of the system's
  // default size holds only about 166 answers and drops the rest.
  if (FBroadcast && FUDPClient.ReceiveBufferSize() < kScanReceiveBuffer)
    FUDPClient.SetReceiveBuffer(kScanReceiveBuffer);
}

// Written twice per exchange, so the line is built on the stack.
void TVKSDKUDPClientClass::TraceLine(TVKDebugList* list, const char* what) const {
  const platform::LocalTime t = platform::Now();
  char line[128];
  const int n = std::snprintf(line, sizeof line, "[%02d:%02d:%02d.%03d] >>>>>>%s data, Local port:%u, Remote port:%u",
                              t.hour, t.minute, t.second, t.msec, what, unsigned{FBindPort}, unsigned{FPort});
  if (n > 0) list->Add(std::string_view(line, std::min(static_cast<size_t>(n), sizeof line - 1)));
}

bool TVKSDKUDPClientClass::Send(const TVKBytes& data) {
  if (!FHostValid) return false;
  return FUDPClient.SendTo(FHostAddr, FPort, data.data(), data.size());
}

void TVKSDKUDPClientClass::SendData(const TVKBytes& Data) { Send(Data); }

TVKSDKUDPClientClass::Wait TVKSDKUDPClientClass::Receive(uint64_t deadlineMs, bool anySender,
                                                         size_t& size, uint32_t& from,
                                                         uint16_t& fromPort) {
  for (;;) {
    const uint64_t now = platform::MonotonicMs();
    const int left = deadlineMs > now ? static_cast<int>(std::min<uint64_t>(deadlineMs - now, 1u << 30)) : 0;
    switch (FUDPClient.ReceiveFrom(FRecvData.data(), FRecvData.size(), left, size, from,
                                   fromPort)) {
      case UdpSocket::RecvStatus::TimedOut:
        return Wait::TimedOut;
      case UdpSocket::RecvStatus::Error:
        return Wait::Error;
      case UdpSocket::RecvStatus::Ok:
        break;
    }
    // A stray datagram, or a late answer of an earlier exchange from some
    // other sender, is not this request's answer: keep waiting, same deadline.
    if (size > 0 && (anySender || (FHostValid && from == FHostAddr))) return Wait::Answer;
    if (platform::MonotonicMs() >= deadlineMs) return Wait::TimedOut;
  }
}

TVKBytes TVKSDKUDPClientClass::GetData(const TVKBytes& SendData, int32_t TimeOut,
                                       int32_t TryCount, TVKDebugList* DebugList,
                                       const std::function<void()>& WhileWaiting,
                                       const AnswerCheck& Accept) {
  if (TryCount < 1) return {};
  const bool anySender = FBroadcast;
  const uint64_t wait = TimeOut > 0 ? static_cast<uint64_t>(TimeOut) : 0;
  for (int32_t i = 0; i < TryCount; ++i) {
    if (!SendData.empty()) {
      // A resend may draw a second answer to the same request.
      if (i > 0) FStaleRisk = true;
      // The request leaves first and is written to the trace while the
      // device works on it: the lines stay in the same order, and the
      // exchange does not wait for the dump.
      const bool sent = Send(SendData);
      if (DebugList) {
        if (i > 0) DebugList->Add(StrFormat("Retry %d", static_cast<int>(i)));
        TraceLine(DebugList, "Send");
        DebugList->AddDump(SendData);
      }
      if (!sent) continue;
    }
    if (WhileWaiting) WhileWaiting();
    size_t size = 0;
    uint32_t from = 0;
    uint16_t fromPort = 0;
    if (Receive(platform::MonotonicMs() + wait, anySender, size, from, fromPort) != Wait::Answer)
      continue;
    TVKBytes answer(FRecvData.begin(), FRecvData.begin() + static_cast<ptrdiff_t>(size));
    if (DebugList) {
      TraceLine(DebugList, "Receive");
      DebugList->AddDump(answer);
      DebugList->Add(std::string_view{});
    }
    if (Accept && !Accept(answer)) {
      FStaleRisk = true;
      continue;
    }
    return answer;
  }
  return {};
}

size_t TVKSDKUDPClientClass::DiscardQueued(TVKDebugList* DebugList) {
  FStaleRisk = false;
  // Bounded, so a sender that never pauses cannot hold the caller here.
  constexpr size_t kLimit = 1024;
  size_t n = 0;
  for (; n < kLimit; ++n) {
    size_t size = 0;
    uint32_t from = 0;
    uint16_t fromPort = 0;
    if (FUDPClient.ReceiveFrom(FRecvData.data(), FRecvData.size(), 0, size, from, fromPort) !=
        UdpSocket::RecvStatus::Ok)
      break;
    if (DebugList) {
      TraceLine(DebugList, "Receive");
      DebugList->AddDump(FRecvData.data(), size);
      DebugList->Add("Discarded: arrived before the request was sent.");
      DebugList->Add(std::string_view{});
    }
  }
  return n;
}

TVKBytesPacks TVKSDKUDPClientClass::GetDatas(const TVKBytes& SendData, int32_t TimeOut,
                                             TVKDebugList* DebugList) {
  TVKBytesPacks packs;
  const int32_t effective = FForceTimeOut >= 0 ? FForceTimeOut : TimeOut;
  const uint64_t wait = effective > 0 ? static_cast<uint64_t>(effective) : 0;
  const bool broadcast = FBroadcast;

  if (!SendData.empty() && DebugList) {
    TraceLine(DebugList, "Send");
    DebugList->AddDump(SendData);
  }
  const bool sent = SendData.empty() || Send(SendData);
  if (sent) {
    const uint64_t scanEnd = platform::MonotonicMs() + wait * kScanTimeOutLimit;
    for (;;) {
      const uint64_t now = platform::MonotonicMs();
      const uint64_t deadline = broadcast ? std::min(now + wait, scanEnd) : now + wait;
      size_t size = 0;
      uint32_t from = 0;
      uint16_t fromPort = 0;
      if (Receive(deadline, broadcast, size, from, fromPort) != Wait::Answer) break;
      TVKBytesPack pack;
      pack.Addr = Widen(FormatDottedIPv4(from));
      pack.Port = fromPort;
      pack.Data.assign(FRecvData.begin(), FRecvData.begin() + static_cast<ptrdiff_t>(size));
      if (DebugList) {
        TraceLine(DebugList, "Receive");
        DebugList->AddDump(pack.Data);
        DebugList->Add(std::string_view{});
      }
      packs.push_back(std::move(pack));
      if (!broadcast || packs.size() >= kScanAnswerLimit ||
          platform::MonotonicMs() >= scanEnd)
        break;
    }
  }
  if (!SendData.empty() && DebugList && !DebugList->LastLineEmpty())
    DebugList->Add(std::string_view{});
  return packs;
}

}  // namespace vk
