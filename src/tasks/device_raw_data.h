// A device's discovery reply as kept by every task.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace vk {

struct TVKSDKDeviceRawData {
  uint32_t PeerIP = 0;        // replying device, first octet most significant
  uint32_t PeerPort = 0;      // UDP source port of the reply
  uint8_t ProtocolType = 0;   // family that answered; 0 = empty record
  uint8_t Raw[256] = {};      // the family's reply block

  bool IsEmpty() const { return ProtocolType == 0; }
  // Big- and little-endian reads of the raw block (0 past the end).
  uint32_t RawBE(size_t offset, size_t size) const {
    uint32_t v = 0;
    for (size_t i = 0; i < size && offset + i < sizeof(Raw); ++i) v = (v << 8) | Raw[offset + i];
    return v;
  }
  uint32_t RawLE32(size_t offset) const {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && offset + i < sizeof(Raw); ++i) v |= static_cast<uint32_t>(Raw[offset + i]) << (8 * i);
    return v;
  }
};
using TVKSDKDevicesRawData = std::vector<TVKSDKDeviceRawData>;

}  // namespace vk
