// Pecr frames: a fixed 259-byte datagram, one data-type byte, a 16-bit
// little-endian address and a 256-byte data area. No length, no checksum.
// A write is acknowledged by the single byte 02.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/types.h"

namespace vk {

#pragma pack(push, 1)
// The first three bytes of a frame, Addr in host byte order.
struct TVKPecrHeadInfo {
  uint8_t DataType = 0;
  uint16_t Addr = 0;
};
#pragma pack(pop)
static_assert(sizeof(TVKPecrHeadInfo) == 3, "the head record is packed to 3 bytes");

constexpr size_t kPecrFrameSize = 259;
constexpr size_t kPecrDataSize = 256;
constexpr uint8_t kPecrAck = 0x02;

// Stateless frame operations.
class TVKPecrProtocol {
 public:
  // A new 259-byte frame; payload bytes past 256 are cut, missing ones zero.
  static TVKBytes Package(uint8_t DataType, uint16_t Addr, const void* lpData, uint32_t Len);
  static TVKBytes Package(uint8_t DataType, uint16_t Addr, const TVKBytes& Data);
  static TVKBytes Package(const TVKPecrHeadInfo& HeadInfo, const TVKBytes& Data);

  // True exactly for 259 bytes.
  static bool CheckPackage(const TVKBytes& PecrData);
  // Head of a 259-byte frame; zeros for any other length.
  static TVKPecrHeadInfo GetHeadInfo(const TVKBytes& PecrData);
  // The 256 data bytes of a 259-byte frame; empty for any other length.
  static TVKBytes GetData(const TVKBytes& PecrData);
};

// One frame buffer, always 259 bytes, built field by field.
class TVKSysPecr {
 public:
  TVKSysPecr();
  TVKSysPecr(uint8_t ADT, uint16_t AAddr, const TVKBytes& AData);
  TVKSysPecr(uint8_t ADT, uint16_t AAddr, const void* lpData, int32_t Len);

  void SetDT(uint8_t ADT) { FBuffer[0] = ADT; }
  uint8_t GetDT() const { return FBuffer[0]; }
  void SetAddr(uint16_t AAddr);
  uint16_t GetAddr() const;
  // Clears the data area, then copies at most 256 payload bytes.
  void SetData(const TVKBytes& AData) { SetData(AData.data(), static_cast<int32_t>(AData.size())); }
  void SetData(const void* lpData, int32_t Len);
  TVKBytes GetData() const;
  const TVKBytes& GetPackageBuff() const { return FBuffer; }

  static TVKBytes Package(uint8_t ADT, uint16_t AAddr, const TVKBytes& AData);
  static TVKBytes Package(uint8_t ADT, uint16_t AAddr, const void* lpData, int32_t Len);

  // True exactly when the reply is the one-byte acknowledgement 02.
  static bool CheckReturn(const TVKBytes& AData);

 private:
  TVKBytes FBuffer;
};

}  // namespace vk
