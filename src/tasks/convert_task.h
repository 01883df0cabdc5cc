// Offline conversion between text tables and the scales' binary files: a
// Hecr task that runs its items against files instead of a scale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/device_raw_data.h"
#include "vemkasdk.h"

namespace vk {

// The raw block a conversion pretends the scale sent: from the parameters
// text "CodePage=936;LFCodeLen=8;UnitPriceMultiple=100;WeightMultiple=1000"
// ("," or ";" between pairs, names in any letter case, bad numbers give the
// defaults). False when WeightMultiple is there but not a power of ten
// from 1 to 10^9.
bool ConvertDeviceRawData(std::u16string_view DeviceInfo, TVKSDKDeviceRawData& raw);

// Starts a conversion task. ProtocolType 1 starts nothing (no callback);
// ProcType other than 0 (text to binary) and 1 (binary to text), no binary
// file name or a bad WeightMultiple is refused with 261 through the
// callback before any file is touched.
VKSDK_TASK ExecConvertTask(std::u16string_view DeviceInfo, uint32_t ProtocolType, uint8_t ProcType,
                           int32_t DataType, int32_t DataID, std::u16string_view FileName,
                           std::u16string_view AuxFileName, uint32_t AuxCodePage, uint32_t OutputFileType,
                           TVKSDKOnProgressEvent OnProgress, void* UserData);

}  // namespace vk
