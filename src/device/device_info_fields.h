// Decoding a family's raw information block into the host's 256-byte
// TVKSDKDeviceInfo: each family describes its block as a table of field
// copies, and one loop applies it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/device_raw_data.h"
#include "vemkasdk.h"

namespace vk {

// How the raw bytes of a field are read. The record side is always
// little-endian; a record field smaller than the raw one keeps the low bytes.
enum class TVKRawOrder : uint8_t {
  Bytes,  // copied unchanged (cut or zero-padded to the record field)
  BE,     // big-endian integer
  LE,     // little-endian integer
};

struct TVKInfoField {
  uint16_t RawOffset;
  uint8_t RawSize;
  uint16_t InfoOffset;
  uint8_t InfoSize;
  TVKRawOrder Order;
};

// Place and size of a TVKSDKDeviceInfo member, for the tables.
#define VK_INFO_FIELD(member) \
  static_cast<uint16_t>(offsetof(TVKSDKDeviceInfo, member)), static_cast<uint8_t>(sizeof(TVKSDKDeviceInfo::member))

// True when every row reads inside the 256-byte raw block, writes inside the
// record and reads an integer of at most 8 bytes.
template <size_t N>
constexpr bool InfoFieldsFit(const TVKInfoField (&fields)[N]) {
  for (const auto& f : fields) {
    if (f.RawOffset + f.RawSize > sizeof(TVKSDKDeviceRawData::Raw)) return false;
    if (f.InfoOffset + f.InfoSize > sizeof(TVKSDKDeviceInfo)) return false;
    if (f.Order != TVKRawOrder::Bytes && (f.RawSize > 8 || f.InfoSize > 8)) return false;
  }
  return true;
}

// Applies the table to the raw block.
void CopyInfoFields(const uint8_t* raw, const TVKInfoField* fields, size_t count, TVKSDKDeviceInfo& info);
template <size_t N>
void CopyInfoFields(const TVKSDKDeviceRawData& raw, const TVKInfoField (&fields)[N], TVKSDKDeviceInfo& info) {
  CopyInfoFields(raw.Raw, fields, N, info);
}

// A cleared record carrying the family, address and port of the reply.
TVKSDKDeviceInfo NewDeviceInfo(const TVKSDKDeviceRawData& raw);

// Text with spaces and control characters (everything up to U+0020)
// removed at both ends.
std::u16string TrimControls(std::u16string_view text);
// The same on bytes, for texts kept in the device's own encoding.
std::string_view TrimControlBytes(std::string_view bytes);

// Stores text in the ANSI code page into a zero-filled record field, keeping
// only whole characters within maxBytes.
void StoreAnsiName(std::u16string_view text, char* field, size_t maxBytes);

// Big-endian integer of `size` bytes (at most 8) at raw[offset].
uint64_t ReadBE(const uint8_t* raw, size_t offset, size_t size);

}  // namespace vk
