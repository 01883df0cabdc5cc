// Codecs several Hecr tables share: amounts and weights scaled by the
// device's multiples and stored as BCD, and dates as BCD yyyyMMddhhmm.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/field_info.h"

namespace vk {

// A decimal cell × multiple, rounded half to even, as BCD (false when it is
// negative or does not fit); BCD ÷ multiple back in the shortest decimal form.
bool ImportScaledBCD(std::u16string_view s, int64_t multiple, uint8_t* p, int32_t n);
std::u16string ExportScaledBCD(const uint8_t* p, int32_t n, int64_t multiple);

// An amount scaled by the price multiple.
bool ImportPrice(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n);
std::u16string ExportPrice(const TVKCodecContext& c, const uint8_t* p, int32_t n);
// A weight scaled by the device's weight multiple.
bool ImportDeviceWeight(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n);
std::u16string ExportDeviceWeight(const TVKCodecContext& c, const uint8_t* p, int32_t n);

// A date and time as the BCD digits yyyyMMddhhmm. An empty cell is all zero
// bytes and reads back empty; text that is no date is refused (267).
// Written as "yyyy-M-d H:mm:00"; bytes that are no date read as the first
// day of the calendar.
bool ImportDate(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n);
std::u16string ExportDate(const TVKCodecContext& c, const uint8_t* p, int32_t n);

}  // namespace vk
