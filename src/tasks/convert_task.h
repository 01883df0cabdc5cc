// Offline conversion between text tables and the scales' binary files: a
// Hecr task that runs its items against files instead of a scale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tasks/device_raw_data.h"
#include "vemkasdk.h"

namespace vk {

// The raw block a conversion pretends the scale sent: from the parameters
// text "CodePage=936;LFCodeLen=8;UnitPriceMultiple=100" ("," or ";"
// between pairs, names in any letter case, bad numbers give the defaults).
TVKSDKDeviceRawData ConvertDeviceRawData(std::u16string_view DeviceInfo);

// Starts a conversion task. ProtocolType 1 starts nothing (no callback);
// ProcType other than 0 (text to binary) and 1 (binary to text), or no
// binary file name, is refused with 261 through the callback before any
// file is touched.
VKSDK_TASK ExecConvertTask(std::u16string_view DeviceInfo, uint32_t ProtocolType, uint8_t ProcType,
                           int32_t DataType, int32_t DataID, std::u16string_view FileName,
                           std::u16string_view AuxFileName, uint32_t AuxCodePage, uint32_t OutputFileType,
                           TVKSDKOnProgressEvent OnProgress, void* UserData);

}  // namespace vk
