// The Pecr family's task: sets the clock before a PLU transfer, runs one
// exchange loop (the item builds each frame and judges each reply), and
// closes every transfer with the closing frame, also after a failure.
#pragma once

#include <cstdint>

#include "device/device_raw_data.h"
#include "tasks/custom_protocol.h"

namespace vk {

class TVKSDKUDPClientClass;
class TVKSDKPecrCustomItem;

class TVKSDKPecrProtocol : public TVKSDKCustomProtocol {
 public:
  using TVKSDKCustomProtocol::TVKSDKCustomProtocol;
  const char* ClassName() const override { return "TVKSDKPecrProtocol"; }

  // Discovery: the family's request through the client, accepted replies.
  static TVKSDKDevicesRawData GetDevicesRawData(TVKSDKUDPClientClass& client, bool isCheck2, TVKDebugList* debug);
  static TVKSDKDeviceInfo DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw);
  static void AfterGetDeviceRawData(const TVKSDKDeviceRawData&, TVKDebugList*) {}

  // Sets the scale's clock (data type 14, address 1: four zero bytes, then
  // YYMMDDhhmmss as six BCD bytes). True when an acknowledgement came.
  static bool SyncTime(uint32_t iAddr, uint16_t Port, TVKDebugList* DebugList);

  // A reply counts when it is a whole frame or a short acknowledgement
  // (one or two bytes); anything else is noted as "Invalid Package!" and
  // treated as no answer, so the request is sent again.
  static bool AcceptReply(const TVKBytes& Reply, TVKDebugList* DebugList);

  // Index of the exchange in flight.
  int32_t FProcessIndex = 0;

 protected:
  void Execute() override;

 private:
  void TransferData();
  void RunLoop(TVKSDKPecrCustomItem& item, TVKSDKUDPClientClass& client, int32_t timeOut, int32_t tryCount);
  // The closing frame (data type 14, address 2); its answer is not needed.
  void Disconnect(TVKSDKUDPClientClass& client, int32_t timeOut, int32_t tryCount);
};

}  // namespace vk
