#include "device/device_raw_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vk {
namespace {

// A scale reporting a power of ten above 9 must not overflow the
// multipliers built from it: both exponents read at most 9.
TEST(DeviceRawData, ExponentsReadAtMostNine) {
  const struct {
    uint8_t stored, read;
  } cases[] = {{0, 0}, {2, 2}, {9, 9}, {10, 9}, {255, 9}};
  for (const auto& c : cases) {
    TVKSDKDeviceRawData raw;
    raw.SetPriceExponent(c.stored);
    raw.SetWeightExponent(c.stored);
    EXPECT_EQ(raw.PriceExponent(), c.read) << int(c.stored);
    EXPECT_EQ(raw.WeightExponent(), c.read) << int(c.stored);
  }
}

// A reply shorter than the block leaves the rest zero, a longer one is cut
// at 256 bytes.
TEST(DeviceRawData, SetBlockCopiesAtMostTheBlockAndClearsTheRest) {
  for (size_t size : {size_t{0}, size_t{128}, size_t{256}, size_t{300}}) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> reply(size, 0x5A);
    TVKSDKDeviceRawData raw;
    std::memset(raw.Raw, 0xFF, sizeof(raw.Raw));
    raw.SetBlock(reply.data(), reply.size());
    for (size_t i = 0; i < sizeof(raw.Raw); ++i) ASSERT_EQ(raw.Raw[i], i < size ? 0x5A : 0) << "byte " << i;
  }
}

}  // namespace
}  // namespace vk
