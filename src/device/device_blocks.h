// Reading each family's information block: the fix-ups old firmware needs
// and the decoding into the host's TVKSDKDeviceInfo record. Discovery
// (requests and which replies count) stays with the families.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/device_raw_data.h"
#include "vemkasdk.h"

namespace vk {

// Hecr: clears what firmware before 6.031 reports wrongly (leftover tail,
// an unused code page) and fills in the hotkey count it leaves out.
void FixOldHecrBlock(TVKSDKDeviceRawData& raw);
TVKSDKDeviceInfo HecrBlockToInfo(const TVKSDKDeviceRawData& raw);

TVKSDKDeviceInfo PecrBlockToInfo(const TVKSDKDeviceRawData& raw);

TVKSDKDeviceInfo TSecrBlockToInfo(const TVKSDKDeviceRawData& raw);
// Whether a TSecr block carries any byte of its version text.
bool HasTSecrVersionText(const TVKSDKDeviceRawData& raw);
// The TSecr version text ("1.2.3.4"), trimmed.
std::u16string TSecrVersionText(const TVKSDKDeviceRawData& raw);

// "a.b.c.d" to a·2^24 + b·2^16 + c·2^8 + d, added modulo 2^32; a missing
// part or one that is not a number counts 0, and parts after the fourth
// start again at the top byte.
uint32_t StrVer2IntVer(std::u16string_view Version);

// The number formed by the last 8 characters of a serial text (all of them
// when shorter), after trimming spaces and zero bytes; 0 if not a number.
uint32_t TSecrSerialToID(std::string_view Serial);

}  // namespace vk
