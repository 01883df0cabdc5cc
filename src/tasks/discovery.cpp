// Finding devices: one address or a whole segment, every family or one.
#include "tasks/discovery.h"

#include <cstring>
#include <vector>

#include "pecr/pecr_frame.h"
#include "runtime/debug_output.h"
#include "runtime/sysparams.h"
#include "tasks/protocol_registry.h"
#include "transport/udp_client.h"

namespace vk {

namespace {

constexpr uint16_t kM3ProbePort = 5001;
constexpr uint8_t kM3ProbeType = 0xA0;

// The families a question goes to: one for types 1..3, all (in registry
// order) for 0, none otherwise.
std::vector<const TVKProtocolClass*> FamiliesFor(uint32_t ProtocolType) {
  std::vector<const TVKProtocolClass*> out;
  if (ProtocolType == 0) {
    size_t n = 0;
    const TVKProtocolClass* all = ProtocolClassRegistry(n);
    for (size_t i = 0; i < n; ++i) out.push_back(&all[i]);
  } else if (const TVKProtocolClass* one = ProtocolClassOf(ProtocolType)) {
    out.push_back(one);
  }
  return out;
}

// Each family asks through a client of its own, so that a late answer to
// one family's question can never be taken for another family's answer.
TVKSDKDevicesRawData AskFamily(const TVKProtocolClass& family, std::u16string_view Addr, uint16_t Port,
                               int32_t TimeOut, bool isCheck2, TVKDebugList* DebugList) {
  TVKSDKUDPClientClass client(Addr, Port);
  client.FForceTimeOut = TimeOut;
  return family.GetDevicesRawData(client, isCheck2, DebugList);
}

}  // namespace

bool IsDetectableType(uint32_t t) { return t != 0 && t != 3; }

TVKSDKDeviceRawData GetDeviceRawData(std::u16string_view Addr, uint16_t Port, uint32_t ProtocolType, bool isCheck2,
                                     int32_t TimeOut, int32_t TryCount, TVKDebugList* DebugList) {
  const int32_t tries = TryCount >= 0 ? TryCount : SysParams().GetDeviceTryCount;
  const std::vector<const TVKProtocolClass*> families = FamiliesFor(ProtocolType);
  TVKSDKDevicesRawData found;
  const TVKProtocolClass* answered = nullptr;
  for (int32_t i = 0; i < tries && found.empty(); ++i) {
    for (const TVKProtocolClass* family : families) {
      found = AskFamily(*family, Addr, Port, TimeOut, isCheck2, DebugList);
      if (!found.empty()) {
        answered = family;
        break;
      }
    }
  }
  if (found.empty()) return {};
  answered->AfterGetDeviceRawData(found.front(), DebugList);
  return found.front();
}

TVKSDKDeviceInfo DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  const TVKProtocolClass* c = ProtocolClassOf(raw.ProtocolType);
  if (!c) {
    TVKSDKDeviceInfo empty;
    std::memset(&empty, 0, sizeof(empty));
    return empty;
  }
  return c->DeviceRawDataToInfo(raw);
}

TVKSDKDeviceInfo GetDeviceInfo(std::u16string_view Addr, uint16_t Port, uint32_t ProtocolType, int32_t TimeOut,
                               int32_t TryCount) {
  if (SysParams().DetectProtocol) ProtocolType = 0;
  const TVKSDKDeviceRawData raw =
      GetDeviceRawData(Addr, Port, ProtocolType, IsDetectableType(ProtocolType), TimeOut, TryCount, nullptr);
  if (raw.IsEmpty()) WriteGetDeviceInfoFailure(Addr, Port, static_cast<uint8_t>(ProtocolType));
  return DeviceRawDataToInfo(raw);
}

int32_t GetDevicesInfo(std::u16string_view Addr, uint16_t Port, uint32_t ProtocolType, TVKSDKDeviceInfo* DeviceInfos,
                       int32_t Count, int32_t TimeOut) {
  if (!DeviceInfos || Count <= 0) return 0;
  int32_t stored = 0;
  for (const TVKProtocolClass* family : FamiliesFor(ProtocolType)) {
    for (const TVKSDKDeviceRawData& raw : AskFamily(*family, Addr, Port, TimeOut, false, nullptr)) {
      if (stored >= Count) break;
      DeviceInfos[stored++] = family->DeviceRawDataToInfo(raw);
    }
    if (stored >= Count) break;
  }
  return stored;
}

// Old Hecr firmware cannot tell whether it runs in M3 mode; the INI may say
// so ("1" no, "2" yes), else the scale is asked on its Pecr port: an M3
// scale gives no full answer or an empty one.
bool isM3Mode(std::u16string_view Addr, uint16_t, TVKDebugList* DebugList) {
  const TVKSDKSysParams& sp = SysParams();
  if (sp.OldM3Mode == u"1") return false;
  if (sp.OldM3Mode == u"2") return true;
  TVKSDKUDPClientClass client(Addr, kM3ProbePort);
  const TVKBytes reply =
      client.GetData(TVKPecrProtocol::Package(kM3ProbeType, 0, nullptr, 0), sp.SyncTimeOut, sp.SyncTryCount, DebugList);
  if (reply.size() < kPecrFrameSize) return true;
  for (size_t i = 3; i < 3 + kPecrDataSize; ++i)
    if (reply[i] != 0) return false;
  return true;
}

}  // namespace vk
