// Discovery exports: thin adapters over sdk/discovery_api.
#include <cstring>

#include "sdk/discovery_api.h"
#include "sdk/guard.h"
#include "sdk/task_api.h"
#include "vemkasdk.h"

using vk::sdk::Guard;

extern "C" {

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_GetDeviceType(uint32_t Addr, uint32_t Port, uint32_t) {
  return Guard(0u, [&] { return vk::sdk::GetDeviceType(Addr, Port); });
}

VEMKA_API TVKSDKDeviceInfo* VEMKA_CALL VemkaSDK_GetDeviceInfoEx(TVKSDKDeviceInfo* DeviceInfo, uint32_t Addr,
                                                                uint32_t Port, uint32_t ProtocolType,
                                                                int32_t TimeOut, int32_t TryCount) {
  if (!DeviceInfo) return nullptr;
  std::memset(DeviceInfo, 0, sizeof(*DeviceInfo));
  vk::sdk::GuardVoid([&] { vk::sdk::GetDeviceInfo(*DeviceInfo, Addr, Port, ProtocolType, TimeOut, TryCount); });
  return DeviceInfo;
}

VEMKA_API TVKSDKDeviceInfo* VEMKA_CALL VemkaSDK_GetDeviceInfo(TVKSDKDeviceInfo* DeviceInfo, uint32_t Addr,
                                                              uint32_t Port, uint32_t ProtocolType) {
  return VemkaSDK_GetDeviceInfoEx(DeviceInfo, Addr, Port, ProtocolType, -1, -1);
}

VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_GetDevicesInfo(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                        TVKSDKDeviceInfo* DeviceInfo) {
  // Nowhere to put the record: the empty result, without asking anyone.
  if (!DeviceInfo) return 0;
  TVKSDKDeviceInfo local{};
  VemkaSDK_GetDeviceInfo(&local, Addr, Port, ProtocolType);
  std::memcpy(DeviceInfo, &local, sizeof(local));
  return local.ProtocolType != 0 ? 1 : 0;
}

VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDevicesInfoEx(uint32_t Addr, uint32_t Port,
                                                                     uint32_t ProtocolType,
                                                                     TVKSDKDeviceInfo* DeviceInfos, int32_t Count,
                                                                     int32_t TimeOut) {
  return Guard(0, [&] {
    return vk::sdk::GetNetworkSectionDevicesInfo(Addr, Port, ProtocolType, DeviceInfos, Count, TimeOut);
  });
}

VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDevicesInfo(uint32_t Addr, uint32_t Port,
                                                                   uint32_t ProtocolType,
                                                                   TVKSDKDeviceInfo* DeviceInfos, int32_t Count) {
  return VemkaSDK_GetNetworkSectionDevicesInfoEx(Addr, Port, ProtocolType, DeviceInfos, Count, -1);
}

VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDeviceList(uint32_t Addr, uint32_t Port,
                                                                  uint32_t ProtocolType, int32_t TimeOut,
                                                                  const char16_t* FileName) {
  return Guard(-1, [&] {
    return vk::sdk::GetNetworkSectionDeviceList(Addr, Port, ProtocolType, TimeOut, vk::sdk::FromWide(FileName));
  });
}

VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDeviceListW(uint32_t Addr, uint32_t Port,
                                                                   uint32_t ProtocolType, int32_t TimeOut,
                                                                   const char16_t* FileName) {
  return VemkaSDK_GetNetworkSectionDeviceList(Addr, Port, ProtocolType, TimeOut, FileName);
}

VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDeviceListA(uint32_t Addr, uint32_t Port,
                                                                   uint32_t ProtocolType, int32_t TimeOut,
                                                                   const char* FileName) {
  return Guard(-1, [&] {
    return vk::sdk::GetNetworkSectionDeviceList(Addr, Port, ProtocolType, TimeOut, vk::sdk::FromAnsi(FileName));
  });
}

}  // extern "C"
