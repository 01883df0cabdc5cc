// Discovery for the TSecr family: its request and the replies it accepts.
// Reading the information block is device/tsecr_block.cpp's.
#include <cstring>

#include "data/text_file.h"
#include "device/device_blocks.h"
#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "transport/udp_client.h"
#include "tsecr/tsecr_protocol.h"

namespace vk {

namespace {

constexpr uint16_t kTSecrDiscoveryPort = 5003;
constexpr size_t kRequestSize = 40;
constexpr size_t kMinReply = 128;

void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

// Sends the 40-byte question to port 5003 and keeps every reply of at least
// 128 bytes that carries a version text. The second form adds "AI".
TVKSDKDevicesRawData TVKSDKTSecrProtocol::GetDevicesRawData(TVKSDKUDPClientClass& client, bool isCheck2,
                                                            TVKDebugList* debug) {
  TVKBytes request(kRequestSize, 0);
  PutLE32(&request[0], 3);
  PutLE32(&request[4], 0);
  PutLE32(&request[8], 1);
  const TDateTime now = platform::NowDateTime();
  std::memcpy(&request[12], &now, sizeof(now));
  PutLE32(&request[20], 1);
  std::memcpy(&request[24], "VEMKA", 5);
  if (isCheck2) std::memcpy(&request[29], "AI", 2);

  const uint16_t previousPort = client.GetPort();
  client.SetPort(kTSecrDiscoveryPort);
  TVKBytesPacks packs = client.GetDatas(request, SysParams().GetDeviceTimeOut, debug);
  client.SetPort(previousPort);

  TVKSDKDevicesRawData found;
  for (const TVKBytesPack& pack : packs) {
    if (pack.Data.size() < kMinReply) continue;
    TVKSDKDeviceRawData raw;
    raw.PeerIP = IPToInteger(pack.Addr);
    raw.PeerPort = pack.Port;
    raw.ProtocolType = ptTSecr;
    raw.SetBlock(pack.Data.data(), pack.Data.size());
    if (!HasTSecrVersionText(raw)) continue;
    found.push_back(raw);
  }
  return found;
}

TVKSDKDeviceInfo TVKSDKTSecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  return TSecrBlockToInfo(raw);
}

}  // namespace vk
