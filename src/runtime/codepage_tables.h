// Character tables of the SDK's own encodings.
#pragma once

#include <cstdint>

namespace vk {

// One extra character of code page 950 and its two bytes (first byte first).
struct TBig5Extra {
  char16_t Char;
  uint8_t Lead, Trail;
};
inline constexpr int kBig5ExtraCount = 51;
extern const TBig5Extra kBig5Extras[kBig5ExtraCount];

// VISCII letters at bytes 80..FF (index = byte - 0x80).
extern const char16_t kVisciiHigh[128];

// VISCII letters at the six control positions.
struct TVisciiLow {
  uint8_t Byte;
  char16_t Char;
};
extern const TVisciiLow kVisciiLow[6];

}  // namespace vk
