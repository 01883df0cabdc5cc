// Finding devices and reading their information blocks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/device_raw_data.h"
#include "runtime/debug_list.h"
#include "vemkasdk.h"

namespace vk {

// True unless the type is 0 or 3.
bool IsDetectableType(uint32_t ProtocolType);

// One device's reply, empty when nothing answered. TimeOut -1 = the family
// default, TryCount -1 = GetDeviceTryCount.
TVKSDKDeviceRawData GetDeviceRawData(std::u16string_view Addr, uint16_t Port, uint32_t ProtocolType, bool isCheck2,
                                     int32_t TimeOut, int32_t TryCount, TVKDebugList* DebugList);
// The decoded record of the family that answered (all zero for an empty one).
TVKSDKDeviceInfo DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw);
TVKSDKDeviceInfo GetDeviceInfo(std::u16string_view Addr, uint16_t Port, uint32_t ProtocolType, int32_t TimeOut,
                               int32_t TryCount);
// Segment scan; returns the number of records stored (at most Count).
int32_t GetDevicesInfo(std::u16string_view Addr, uint16_t Port, uint32_t ProtocolType, TVKSDKDeviceInfo* DeviceInfos,
                       int32_t Count, int32_t TimeOut);
// Whether a Hecr device at this address runs in M3 mode (may probe UDP 5001).
bool isM3Mode(std::u16string_view Addr, uint16_t Port, TVKDebugList* DebugList);

}  // namespace vk
