// Starting tasks: choosing the device's family and creating its task.
#pragma once

#include <cstdint>
#include <string_view>

#include "vemkasdk.h"

namespace vk {

// Detects the family (unless the data type fixes it), creates the task and
// returns its handle. When no device answers, the callback hears 266 (270
// for a protocol type of 4 or more) on this thread and the result is
// VKSDK_INVALID_TASK.
VKSDK_TASK ExecTask(std::u16string_view Addr, uint16_t Port, uint8_t ProtocolType, uint8_t ProcType,
                    int32_t DataType, int32_t DataID, std::u16string_view FileName,
                    TVKSDKOnProgressEvent OnProgress, void* UserData);

}  // namespace vk
