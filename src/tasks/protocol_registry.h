// The protocol families, in the order detection tries them: Hecr, Pecr,
// TSecr. Each row says how to make the family's task and how the family
// finds devices and decodes their information blocks.
#pragma once

#include <cstdint>

#include "device/device_raw_data.h"
#include "runtime/debug_list.h"
#include "tasks/custom_protocol.h"
#include "vemkasdk.h"

namespace vk {

class TVKSDKUDPClientClass;

struct TVKProtocolClass {
  uint8_t ProtocolType;
  const char* ClassName;
  TVKSDKCustomProtocol* (*Create)(const TVKTaskCreateArgs& args);
  // Sends the family's discovery request through the client and decodes the
  // accepted replies.
  TVKSDKDevicesRawData (*GetDevicesRawData)(TVKSDKUDPClientClass& client, bool isCheck2, TVKDebugList* debug);
  TVKSDKDeviceInfo (*DeviceRawDataToInfo)(const TVKSDKDeviceRawData& raw);
  void (*AfterGetDeviceRawData)(const TVKSDKDeviceRawData& raw, TVKDebugList* debug);
};

// Hecr, Pecr, TSecr.
const TVKProtocolClass* ProtocolClassRegistry(size_t& count);
// The family of a protocol type (1, 2, 3), or null.
const TVKProtocolClass* ProtocolClassOf(uint32_t protocolType);

}  // namespace vk
