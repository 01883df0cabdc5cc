// What the discovery exports do, in C++.
#pragma once

#include <cstdint>
#include <string>

#include "vemkasdk.h"

namespace vk::sdk {

uint32_t GetDeviceType(uint32_t Addr, uint32_t Port);
// Fills *info (all zero when nothing answers); TimeOut/TryCount -1 = defaults.
void GetDeviceInfo(TVKSDKDeviceInfo& info, uint32_t Addr, uint32_t Port, uint32_t ProtocolType, int32_t TimeOut,
                   int32_t TryCount);
int32_t GetNetworkSectionDevicesInfo(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, TVKSDKDeviceInfo* infos,
                                     int32_t Count, int32_t TimeOut);
// Writes the addresses found to a file; -1 when the file fails.
int32_t GetNetworkSectionDeviceList(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, int32_t TimeOut,
                                    const std::u16string& FileName);

}  // namespace vk::sdk
