// Discovery for the Hecr family: its request and the replies it accepts.
// Reading the information block is device/hecr_block.cpp's.
#include "data/text_file.h"
#include "device/device_blocks.h"
#include "hecr/hecr_frame.h"
#include "hecr/hecr_protocol.h"
#include "runtime/sysparams.h"
#include "transport/udp_client.h"

namespace vk {

namespace {

constexpr uint16_t kHecrDiscoveryPort = 5002;
constexpr uint16_t kDeviceInfoCmd = 0x7103;
constexpr size_t kBlockSize = sizeof(TVKSDKDeviceRawData::Raw);

}  // namespace

// Asks with command 7103 on port 5002 and keeps every reply whose frame is
// sound and carries a whole 256-byte block.
TVKSDKDevicesRawData TVKSDKHecrProtocol::GetDevicesRawData(TVKSDKUDPClientClass& client, bool, TVKDebugList* debug) {
  static constexpr uint8_t kRequestData[] = {0x0F, 'V', 'E', 'M', 'K', 'A'};
  const TVKBytes request =
      TVKHecrProtocol::Package(TVKHecrProtocol::kSign, 0, kDeviceInfoCmd, 0, 0, kRequestData, sizeof(kRequestData));

  const uint16_t previousPort = client.GetPort();
  client.SetPort(kHecrDiscoveryPort);
  TVKBytesPacks packs = client.GetDatas(request, SysParams().GetDeviceTimeOut, debug);
  client.SetPort(previousPort);

  TVKSDKDevicesRawData found;
  for (const TVKBytesPack& pack : packs) {
    const TVKHecrHeadInfo head = TVKHecrProtocol::GetHeadInfo(pack.Data);
    if (head.Sign == 0 || head.DataLen < kBlockSize || !TVKHecrProtocol::CheckPackage(pack.Data)) continue;
    const TVKBytes data = TVKHecrProtocol::GetData(pack.Data);
    if (data.size() < kBlockSize) continue;
    TVKSDKDeviceRawData raw;
    raw.PeerIP = IPToInteger(pack.Addr);
    raw.PeerPort = pack.Port;
    raw.ProtocolType = ptHecr;
    raw.SetBlock(data.data(), kBlockSize);
    FixOldHecrBlock(raw);
    found.push_back(raw);
  }
  return found;
}

TVKSDKDeviceInfo TVKSDKHecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  return HecrBlockToInfo(raw);
}

}  // namespace vk
