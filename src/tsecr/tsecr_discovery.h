// TSecr discovery helpers that other code shares.
#pragma once

#include <cstdint>
#include <string_view>

namespace vk {

// "a.b.c.d" to a·2^24 + b·2^16 + c·2^8 + d, added modulo 2^32; a missing
// part or one that is not a number counts 0, and parts after the fourth
// start again at the top byte.
uint32_t StrVer2IntVer(std::u16string_view Version);

// The number formed by the last 8 characters of a serial text (all of them
// when shorter), after trimming spaces and zero bytes; 0 if not a number.
uint32_t TSecrSerialToID(std::string_view Serial);

}  // namespace vk
