#include "tasks/protocol_registry.h"

#include "hecr/hecr_protocol.h"
#include "pecr/pecr_protocol.h"
#include "tsecr/tsecr_protocol.h"

namespace vk {

namespace {

template <class T>
TVKSDKCustomProtocol* Make(const TVKTaskCreateArgs& a) {
  return new T(a);
}

const TVKProtocolClass kRegistry[] = {
    {ptHecr, "TVKSDKHecrProtocol", &Make<TVKSDKHecrProtocol>, &TVKSDKHecrProtocol::GetDevicesRawData,
     &TVKSDKHecrProtocol::DeviceRawDataToInfo, &TVKSDKHecrProtocol::AfterGetDeviceRawData},
    {ptPecr, "TVKSDKPecrProtocol", &Make<TVKSDKPecrProtocol>, &TVKSDKPecrProtocol::GetDevicesRawData,
     &TVKSDKPecrProtocol::DeviceRawDataToInfo, &TVKSDKPecrProtocol::AfterGetDeviceRawData},
    {ptTSecr, "TVKSDKTSecrProtocol", &Make<TVKSDKTSecrProtocol>, &TVKSDKTSecrProtocol::GetDevicesRawData,
     &TVKSDKTSecrProtocol::DeviceRawDataToInfo, &TVKSDKTSecrProtocol::AfterGetDeviceRawData},
};

}  // namespace

const TVKProtocolClass* ProtocolClassRegistry(size_t& count) {
  count = sizeof(kRegistry) / sizeof(kRegistry[0]);
  return kRegistry;
}

const TVKProtocolClass* ProtocolClassOf(uint32_t protocolType) {
  for (const auto& c : kRegistry)
    if (c.ProtocolType == protocolType) return &c;
  return nullptr;
}

}  // namespace vk
