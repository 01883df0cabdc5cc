// The Hecr family's task: one loop drives every table transfer (ask the
// item for a request, send it, hand it the reply, then retry, continue or
// stop as the item says), and the same loop with a file in place of the
// device runs offline conversions.
#pragma once

#include <cstdint>

#include "device/device_raw_data.h"
#include "tasks/custom_protocol.h"

namespace vk {

class TVKSDKUDPClientClass;
class TVKSDKLink;
class TVKSDKHecrCustomItem;

class TVKSDKHecrProtocol : public TVKSDKCustomProtocol {
 public:
  using TVKSDKCustomProtocol::TVKSDKCustomProtocol;
  const char* ClassName() const override { return "TVKSDKHecrProtocol"; }

  // Discovery: the family's request through the client, accepted replies.
  static TVKSDKDevicesRawData GetDevicesRawData(TVKSDKUDPClientClass& client, bool isCheck2, TVKDebugList* debug);
  static TVKSDKDeviceInfo DeviceRawDataToInfo(const TVKSDKDeviceRawData& raw);
  static void AfterGetDeviceRawData(const TVKSDKDeviceRawData&, TVKDebugList*) {}

  // Sets the device's clock to the local time (CMD 7003, six BCD bytes
  // yyMMddhhmmss and a zero byte). True when any reply arrived.
  static bool SyncTime(uint32_t iAddr, uint16_t Port, TVKDebugList* DebugList);

  // A reply counts only when it passes its frame check (head sum, and CRC
  // when it has data); a damaged one is noted as "Invalid Package!" and
  // treated as no answer, so the request is sent again.
  static bool AcceptReply(const TVKBytes& Reply, TVKDebugList* DebugList);

  // Index of the request in flight.
  int32_t FProcessIndex = 0;
  // The task's link while the transfer loop runs (owned by the loop).
  TVKSDKUDPClientClass* RefUDPClient = nullptr;

 protected:
  void Execute() override;

  // What runs before the first request: for a PLU download with
  // AutoSyncTime set, the device's clock. Its outcome never stops the task.
  bool BeforeTransferData(TVKSDKUDPClientClass& UDPClient);

 private:
  void TransferData();
  void ConvertData();
  // The one exchange loop: asks the item for each request, sends it through
  // the link (the device's UDP client, or the file of a conversion), hands
  // the item each answer, and retries, continues or stops as it says.
  void RunLoop(TVKSDKHecrCustomItem& item, TVKSDKLink& link, int32_t timeOut, int32_t tryCount);
};

}  // namespace vk
