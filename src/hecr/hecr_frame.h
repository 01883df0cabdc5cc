// Hecr frames: a 13-byte big-endian head ending in a head checksum, an
// optional data part and a CRC-16 over the data part.
//
//   0 Sign(1)  1 DeviceID(4)  5 CMD(2)  7 Param(2)  9 PackageNO(1)
//   10 DataLen(2)  12 HeadSum(1)  13 Data(DataLen)  CRC(2, only with data)
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/types.h"

namespace vk {

#pragma pack(push, 1)
// A decoded frame head, every field in host byte order.
struct TVKHecrHeadInfo {
  uint8_t Sign = 0;
  int32_t DeviceID = 0;
  uint16_t CMD = 0;
  uint16_t Param = 0;
  uint8_t PackageNO = 0;
  uint16_t DataLen = 0;
};
#pragma pack(pop)
static_assert(sizeof(TVKHecrHeadInfo) == 12, "the head record is packed to 12 bytes");

// CRC-16 with polynomial 1021, initial value 0, no reflection, no final XOR.
uint16_t HecrCrc16(const uint8_t* data, size_t size);
inline uint16_t HecrCrc16(const TVKBytes& data) { return HecrCrc16(data.data(), data.size()); }

// Stateless frame operations. None of them throws on malformed input.
class TVKHecrProtocol {
 public:
  static constexpr size_t kHeadSize = 13;
  static constexpr uint8_t kSign = 0xAA;

  // Builds a frame: 13 bytes without data, Len + 15 bytes with data. Only
  // the low 16 bits of Len fit the DataLen field.
  static TVKBytes Package(uint8_t Sign, int32_t DeviceID, uint16_t CMD, uint16_t Param,
                          uint8_t PackageNO, const void* lpData, uint32_t Len);
  static TVKBytes Package(uint8_t Sign, int32_t DeviceID, uint16_t CMD, uint16_t Param,
                          uint8_t PackageNO, const TVKBytes& Data);
  // Uses the head's Sign, DeviceID, CMD, Param and PackageNO; the data length
  // always comes from Data, never from the head's DataLen.
  static TVKBytes Package(const TVKHecrHeadInfo& HeadInfo, const TVKBytes& Data);

  // Decodes the head without checking it; all zeros for fewer than 13 bytes.
  static TVKHecrHeadInfo GetHeadInfo(const TVKBytes& HecrData);

  // Head sum, and for a frame longer than 13 bytes the CRC over everything
  // between the head and the last two bytes. DataLen is not compared.
  static bool CheckPackage(const TVKBytes& HecrData);

  // The bytes between the head and the CRC; the frame length decides, not
  // DataLen. Empty for 15 bytes or fewer.
  static TVKBytes GetData(const TVKBytes& HecrData);
};

}  // namespace vk
