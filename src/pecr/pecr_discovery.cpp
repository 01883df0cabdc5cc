// Discovery for the Pecr family: its request, the replies it accepts and the
// decoding of its information block.
#include <cstring>

#include "data/codepage.h"
#include "data/text_file.h"
#include "pecr/pecr_frame.h"
#include "pecr/pecr_protocol.h"
#include "runtime/sysparams.h"
#include "tasks/device_info_fields.h"
#include "transport/udp_client.h"

namespace vk {

namespace {

constexpr uint16_t kPecrDiscoveryPort = 5001;
constexpr uint8_t kDeviceInfoType = 14;
constexpr uint16_t kDeviceInfoAddr = 3;
constexpr size_t kBlockSize = sizeof(TVKSDKDeviceRawData::Raw);

constexpr TVKInfoField kPecrFields[] = {
    {17, 4, VK_INFO_FIELD(Version), TVKRawOrder::BE},
    {21, 4, VK_INFO_FIELD(BuildDate), TVKRawOrder::BE},
    {51, 1, VK_INFO_FIELD(DisplayType), TVKRawOrder::Bytes},
    {84, 4, VK_INFO_FIELD(ID), TVKRawOrder::BE},
    {90, 8, VK_INFO_FIELD(NickId), TVKRawOrder::Bytes},
    {98, 1, VK_INFO_FIELD(IsBusy), TVKRawOrder::Bytes},
    {99, 1, VK_INFO_FIELD(IsHangScale), TVKRawOrder::Bytes},
    {109, 1, VK_INFO_FIELD(CPUIDLen), TVKRawOrder::Bytes},
    {110, 16, VK_INFO_FIELD(CPUID), TVKRawOrder::Bytes},
};
static_assert(InfoFieldsFit(kPecrFields), "every Pecr field lies inside the block and the record");

// Legacy boards fill bytes 4..131 with 255, 254, ..., 128 instead of their
// facts.
bool IsLegacyBoard(const uint8_t* raw) {
  for (int i = 0; i < 128; ++i)
    if (raw[4 + i] != 255 - i) return false;
  return true;
}

const char16_t* PowerText(uint8_t flag) {
  switch (flag) {
    case 0x00: return u"5V";
    case 0xAC: return u"3.3V";
    default: return u"None";
  }
}

// Boards that carry the maker tag may name themselves; the others, and those
// whose own name is blank, are NB7P with their power supply.
std::u16string BoardName(const uint8_t* raw, bool legacy) {
  if (legacy) return u"NB7P";
  const std::u16string generic = u"NB7P(" + std::u16string(PowerText(raw[27])) + u")";
  if (std::memcmp(raw + 42, "VEMKA", 5) != 0) return generic;
  std::u16string own = TrimControls(CodePageBytesToString(raw + 55, 8, 0));
  return own.empty() ? generic : own;
}

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
    std::memcpy(raw.Raw, pack.Data.data(), kBlockSize);
    found.push_back(raw);
  }
  return found;
}

TVKSDKDeviceInfo TVKSDKPecrProtocol::DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info = NewDeviceInfo(raw);
  CopyInfoFields(raw, kPecrFields, info);
  const uint8_t key = raw.Raw[50];
  info.KeyType = key == 209 ? 2 : key == 0 ? 1 : key;

  const bool legacy = IsLegacyBoard(raw.Raw);
  if (legacy) {
    // What a legacy board's block cannot say.
    info.Version = 0;
    info.BuildDate = 0x20050101;
    info.KeyType = 2;
    info.ID = 0;
    info.CPUIDLen = 0;
    std::memset(info.CPUID, 0, sizeof(info.CPUID));
  }
  StoreAnsiName(BoardName(raw.Raw, legacy), info.Name, 10);
  return info;
}

}  // namespace vk
