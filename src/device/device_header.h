// What a task's debug and log header shows about the device: its block as a
// dump and its information items as text.
#pragma once

#include "device/device_raw_data.h"
#include "runtime/debug_output.h"
#include "vemkasdk.h"

namespace vk {

// Fills the header's device part from the discovery reply and its decoded
// record.
void SetHeaderDevice(TVKTaskHeaderInfo& header, const TVKSDKDeviceRawData& raw, const TVKSDKDeviceInfo& info);

}  // namespace vk
