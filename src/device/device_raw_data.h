// A device's discovery reply as kept by every task, and the named facts
// that tasks and families read from its block. The block's layout is the
// answering family's; each accessor says whose layout it reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "vemkasdk.h"

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
  // Copies a reply into the block: at most its 256 bytes, the rest zero.
  void SetBlock(const uint8_t* data, size_t size) {
    std::memset(Raw, 0, sizeof(Raw));
    if (size != 0) std::memcpy(Raw, data, size < sizeof(Raw) ? size : sizeof(Raw));
  }

  // Hecr block.
  static constexpr size_t kHecrVersion = 23;         // BE16
  static constexpr size_t kHecrCountry = 25;
  static constexpr size_t kHecrDeviceIP = 26;        // 4 bytes, first octet first
  static constexpr size_t kHecrPriceExponent = 30;
  static constexpr size_t kHecrWeightExponent = 32;
  static constexpr size_t kHecrKeyType = 34;
  static constexpr size_t kHecrCodePage = 80;        // LE32
  static constexpr size_t kHecrHotKeyCount = 112;    // BE16
  static constexpr size_t kHecrClassLetter = 146;    // also the default-protocol letter
  static constexpr size_t kHecrLFCodeLen = 147;
  static constexpr size_t kHecrTouchFlag = 210;
  // TSecr block.
  static constexpr size_t kTSecrLinkType = 0;  // LE32: 1 = framed TCP link, other = HTTP
  static constexpr size_t kTSecrClassLetter = 172;
  // Pecr block.
  static constexpr size_t kPecrLegacyPattern = 4;  // 128 bytes 255, 254, ..., 128 on legacy boards
  static constexpr size_t kPecrPower = 27;         // 0xAC: a 3.3 V board with 128-byte PLU records
  static constexpr size_t kPecrKeyType = 50;

  uint16_t HecrVersion() const { return static_cast<uint16_t>(RawBE(kHecrVersion, 2)); }
  uint8_t Country() const { return Raw[kHecrCountry]; }
  std::array<uint8_t, 4> DeviceIP() const {
    return {Raw[kHecrDeviceIP], Raw[kHecrDeviceIP + 1], Raw[kHecrDeviceIP + 2], Raw[kHecrDeviceIP + 3]};
  }
  // Powers of ten of unit prices and of weights in records, at most 9.
  uint8_t PriceExponent() const { return Raw[kHecrPriceExponent] < 9 ? Raw[kHecrPriceExponent] : 9; }
  uint8_t WeightExponent() const { return Raw[kHecrWeightExponent] < 9 ? Raw[kHecrWeightExponent] : 9; }
  uint8_t KeyType() const { return Raw[kHecrKeyType]; }
  // The code page of the scale's text fields.
  uint32_t CodePage() const { return RawLE32(kHecrCodePage); }
  uint16_t HotKeyCount() const { return static_cast<uint16_t>(RawBE(kHecrHotKeyCount, 2)); }
  // The model's class letter; it doubles as the default-protocol letter.
  uint8_t ClassLetter() const { return Raw[kHecrClassLetter]; }
  // 8 when PLU numbers have 8 digits, else 6.
  uint8_t LFCodeLen() const { return Raw[kHecrLFCodeLen]; }
  uint8_t TouchFlag() const { return Raw[kHecrTouchFlag]; }
  // A touch-screen model that also speaks TSecr.
  bool TSecrCapable() const { return TouchFlag() == 1; }

  // TSecr block: whether the scale takes its requests over the framed TCP
  // link (otherwise over HTTP).
  bool TSecrUsesTCPLink() const { return RawLE32(kTSecrLinkType) == 1; }

  // What an offline conversion says about the scale it writes for.
  void SetCodePage(uint32_t codePage) {
    for (size_t i = 0; i < 4; ++i) Raw[kHecrCodePage + i] = static_cast<uint8_t>(codePage >> (8 * i));
  }
  void SetLFCodeLen(uint8_t len) { Raw[kHecrLFCodeLen] = len; }
  void SetPriceExponent(uint8_t exponent) { Raw[kHecrPriceExponent] = exponent; }
  void SetWeightExponent(uint8_t exponent) { Raw[kHecrWeightExponent] = exponent; }

  // Pecr block: the keyboard byte as the board reports it.
  uint8_t PecrKeyType() const { return Raw[kPecrKeyType]; }
  // A legacy board fills bytes 4..131 with 255, 254, ..., 128 instead of
  // its facts.
  bool PecrLegacyBoard() const {
    for (size_t i = 0; i < 128; ++i)
      if (Raw[kPecrLegacyPattern + i] != 255 - i) return false;
    return true;
  }
  // Bytes of one PLU record on the scale: 128 on 3.3 V boards, else 64.
  uint16_t PecrRecordSize() const { return !PecrLegacyBoard() && Raw[kPecrPower] == 0xAC ? 128 : 64; }

  // The default-protocol letter of a Hecr or TSecr device, 0 for others.
  uint8_t DefaultProtocolLetter() const {
    if (ProtocolType == ptHecr) return Raw[kHecrClassLetter];
    if (ProtocolType == ptTSecr) return Raw[kTSecrClassLetter];
    return 0;
  }
};
using TVKSDKDevicesRawData = std::vector<TVKSDKDeviceRawData>;

// A Hecr or TSecr device whose class letter is "j" or "z": a shelf-label
// system.
inline bool IsShelfSystemDevice(const TVKSDKDeviceRawData& raw) {
  const uint8_t letter = raw.DefaultProtocolLetter();
  return letter == 'j' || letter == 'z';
}

}  // namespace vk
