// The UDP endpoint every family drives its devices and discovery through:
// request/response with retries (GetData) and one request with many answers
// (GetDatas). Every datagram is traced into the caller's debug list.
//
// One object serves one exchange or one task on one thread; its socket keeps
// the same ephemeral local port for the object's whole life, so a device's
// answers come back to it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/debug_list.h"
#include "runtime/types.h"
#include "transport/link.h"
#include "transport/udp_socket.h"

namespace vk {

// One received datagram and who sent it.
struct TVKBytesPack {
  std::u16string Addr;  // sender, dotted
  uint16_t Port = 0;    // sender's port
  TVKBytes Data;
};
using TVKBytesPacks = std::vector<TVKBytesPack>;

class TVKSDKUDPClientClass : public TVKSDKLink {
 public:
  static constexpr size_t kRecvBufferSize = 8192;
  // A scan of a segment ends at the latest after this many time-outs or
  // this many answers, however busy the network is.
  static constexpr int kScanTimeOutLimit = 10;
  static constexpr size_t kScanAnswerLimit = 4096;
  // The receive queue a segment scan asks for, so that the answer cap fits
  // even when answers arrive faster than they are read. An answer of about
  // 300 bytes costs Linux about 1.3 KB of queue, and Linux grants twice
  // what is asked (its bookkeeping share): 768 bytes per answer covers it.
  static constexpr size_t kScanReceiveBuffer = kScanAnswerLimit * 768;

  // Host as an integer, first octet most significant.
  TVKSDKUDPClientClass(uint32_t Host, uint16_t Port);
  // Host as dotted text.
  TVKSDKUDPClientClass(std::u16string_view Host, uint16_t Port);
  TVKSDKUDPClientClass(const TVKSDKUDPClientClass&) = delete;
  TVKSDKUDPClientClass& operator=(const TVKSDKUDPClientClass&) = delete;

  // Datagrams are judged after they are traced.
  using TVKSDKLink::AnswerCheck;

  // Sends SendData (when not empty) and waits up to TimeOut ms for an
  // answer, TryCount attempts in all. Unless the host is a segment's .255
  // address, only a datagram from the host's address (any port) is an
  // answer; others are dropped without restarting the wait. A datagram that
  // Accept refuses counts as no answer: that attempt fails at once and the
  // next one sends again. Empty result when every attempt failed or
  // TryCount < 1. WhileWaiting, when given, runs after each send, before
  // the wait: work that can overlap the device's answer.
  TVKBytes GetData(const TVKBytes& SendData, int32_t TimeOut, int32_t TryCount,
                   TVKDebugList* DebugList, const std::function<void()>& WhileWaiting = {},
                   const AnswerCheck& Accept = {});

  // The link: one request with retries, one more answer, the queue.
  TVKBytes Exchange(const TVKBytes& Request, int32_t TimeOut, int32_t TryCount, TVKDebugList* DebugList,
                    const std::function<void()>& WhileWaiting, const AnswerCheck& Accept) override {
    return GetData(Request, TimeOut, TryCount, DebugList, WhileWaiting, Accept);
  }
  TVKBytes ReceiveMore(int32_t TimeOut, TVKDebugList* DebugList, const AnswerCheck& Accept) override {
    return GetData(TVKBytes(), TimeOut, 1, DebugList, {}, Accept);
  }
  void Drain(TVKDebugList* DebugList) override { DiscardQueued(DebugList); }

  // True when answers to earlier requests may still be queued: a request
  // went out more than once, or a datagram was refused. Cleared by
  // DiscardQueued.
  bool MayHoldStaleAnswers() const override { return FStaleRisk; }
  // Throws away every datagram already queued (without waiting), tracing
  // each; returns how many. Callers use it before a new request, so that
  // answers to earlier ones cannot be taken for its answer.
  size_t DiscardQueued(TVKDebugList* DebugList);

  // Sends SendData once and collects answers, each wait lasting the time-out
  // (FForceTimeOut when it is 0 or more). To a .255 address it collects
  // until a wait passes without an answer, within kScanTimeOutLimit
  // time-outs and kScanAnswerLimit answers; otherwise it stops after the
  // first answer from the host.
  TVKBytesPacks GetDatas(const TVKBytes& SendData, int32_t TimeOut, TVKDebugList* DebugList);

  // One datagram, no answer expected; errors are ignored.
  void SendData(const TVKBytes& Data);

  // A segment's .255 address also enlarges the socket's receive queue to
  // kScanReceiveBuffer.
  void SetHost(std::u16string_view Host);
  void SetPort(uint16_t Port) { FPort = Port; }
  const std::u16string& GetHost() const { return FHost; }
  uint16_t GetPort() const { return FPort; }
  // Local port of the socket, read once after binding (0 if binding failed).
  uint16_t BindPort() const { return FBindPort; }

  // -1: callers' time-outs apply; 0 or more replaces the time-out of GetDatas.
  int32_t FForceTimeOut = -1;

 private:
  enum class Wait { Answer, TimedOut, Error };
  // Waits until `deadlineMs` (monotonic) for a datagram with at least one
  // byte that passes the sender check; leaves it in FRecvData[0..size).
  Wait Receive(uint64_t deadlineMs, bool anySender, size_t& size, uint32_t& from,
               uint16_t& fromPort);
  bool Send(const TVKBytes& data);
  void TraceLine(TVKDebugList* list, const char* what) const;

  UdpSocket FUDPClient;
  TVKBytes FRecvData;
  std::u16string FHost;
  uint16_t FPort = 0;
  uint16_t FBindPort = 0;
  uint32_t FHostAddr = 0;
  bool FHostValid = false;
  bool FBroadcast = false;  // the host is a segment's .255 address
  bool FStaleRisk = false;
};

}  // namespace vk
