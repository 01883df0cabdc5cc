// Discovery for the Pecr family: its request and the replies it accepts.
// Reading the information block is device/pecr_block.cpp's.
#include <cstring>

#include "data/text_file.h"
#include "device/device_blocks.h"
#include "pecr/pecr_frame.h"
#include "pecr/pecr_protocol.h"
#include "runtime/sysparams.h"
#include "transport/udp_client.h"

namespace vk {

namespace {

constexpr uint16_t kPecrDiscoveryPort = 5001;
constexpr uint8_t kDeviceInfoType = 14;
constexpr uint16_t kDeviceInfoAddr = 3;
constexpr size_t kBlockSize = sizeof(TVKSDKDeviceRawData::Raw);

}  // namespace

// Asks with a data type 14 frame on port 5001 and keeps every reply of at
// least 256 bytes. The second form of the question leaves out the tag.
TVKSDKDevicesRawData TVKSDKPecrProtocol::GetDevicesRawData(TVKSDKUDPClientClass& client, bool isCheck2,
                                                           TVKDebugList* debug) {
  uint8_t payload[kPecrDataSize] = {0xFF, 0x0F, 0x00};
  if (!isCheck2) std::memcpy(payload + 3, "fenrow", 6);
  const TVKBytes request = TVKPecrProtocol::Package(kDeviceInfoType, kDeviceInfoAddr, payload, sizeof(payload));

  const uint16_t previousPort = client.GetPort();
  client.SetPort(kPecrDiscoveryPort);
  TVKBytesPacks packs = client.GetDatas(request, SysParams().GetDeviceTimeOut, debug);
  client.SetPort(previousPort);

  TVKSDKDevicesRawData found;
  for (const TVKBytesPack& pack : packs) {
    if (pack.Data.size() < kBlockSize) continue;
    TVKSDKDeviceRawData raw;
    raw.PeerIP = IPToInteger(pack.Addr);
    raw.PeerPort = pack.Port;
    raw.ProtocolType = ptPecr;
    raw.SetBlock(pack.Data.data(), kBlockSize);
    found.push_back(raw);
  }
  return found;
}

TVKSDKDeviceInfo TVKSDKPecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  return PecrBlockToInfo(raw);
}

}  // namespace vk
