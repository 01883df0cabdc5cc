#include "tsecr/tsecr_protocol.h"

namespace vk {

// The family's exchange is not built yet: every task ends as unsupported.
void TVKSDKTSecrProtocol::Execute() {
  TVKSDKCustomProtocol::Execute();
  if (Terminated()) return;
  DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
}

TVKSDKDevicesRawData TVKSDKTSecrProtocol::GetDevicesRawData(TVKSDKUDPClientClass&, bool, TVKDebugList*) { return {}; }

TVKSDKDeviceInfo TVKSDKTSecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info{};
  info.ProtocolType = raw.ProtocolType;
  info.Addr = raw.PeerIP;
  info.Port = raw.PeerPort;
  return info;
}

}  // namespace vk
