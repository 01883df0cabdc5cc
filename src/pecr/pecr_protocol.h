// The Pecr family's task.
#pragma once

#include "device/device_raw_data.h"
#include "tasks/custom_protocol.h"

namespace vk {

class TVKSDKUDPClientClass;

class TVKSDKPecrProtocol : public TVKSDKCustomProtocol {
 public:
  using TVKSDKCustomProtocol::TVKSDKCustomProtocol;
  const char* ClassName() const override { return "TVKSDKPecrProtocol"; }

  // Discovery: the family's request through the client, accepted replies.
  static TVKSDKDevicesRawData GetDevicesRawData(TVKSDKUDPClientClass& client, bool isCheck2, TVKDebugList* debug);
  static TVKSDKDeviceInfo DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw);
  static void AfterGetDeviceRawData(const TVKSDKDeviceRawData&, TVKDebugList*) {}

 protected:
  void Execute() override;
};

}  // namespace vk
