// Placeholder until discovery is built: no device ever answers.
#include "tasks/discovery.h"

#include "tasks/protocol_registry.h"

namespace vk {

bool IsDetectableType(uint32_t t) { return t != 0 && t != 3; }

bool IsShelfSystemDevice(const TVKSDKDeviceRawData& raw) {
  uint8_t letter = raw.ProtocolType == ptHecr ? raw.Raw[146] : raw.ProtocolType == ptTSecr ? raw.Raw[172] : 0;
  return (raw.ProtocolType == ptHecr || raw.ProtocolType == ptTSecr) && (letter == 'j' || letter == 'z');
}

TVKSDKDeviceRawData GetDeviceRawData(std::u16string_view, uint16_t, uint32_t, bool, int32_t, int32_t,
                                     TVKDebugList*) {
  return {};
}

TVKSDKDeviceInfo DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw) {
  const TVKProtocolClass* c = ProtocolClassOf(raw.ProtocolType);
  if (!c) return TVKSDKDeviceInfo{};
  return c->DeviceRawDataToInfo(raw);
}

TVKSDKDeviceInfo GetDeviceInfo(std::u16string_view, uint16_t, uint32_t, int32_t, int32_t) { return {}; }

int32_t GetDevicesInfo(std::u16string_view, uint16_t, uint32_t, TVKSDKDeviceInfo*, int32_t, int32_t) { return 0; }

bool isM3Mode(std::u16string_view, uint16_t, TVKDebugList*) { return false; }

}  // namespace vk
