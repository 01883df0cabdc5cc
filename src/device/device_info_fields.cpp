#include "device/device_info_fields.h"

#include <cstring>

#include "runtime/codepage.h"

namespace vk {

uint64_t ReadBE(const uint8_t* raw, size_t offset, size_t size) {
  uint64_t v = 0;
  for (size_t i = 0; i < size; ++i) v = (v << 8) | raw[offset + i];
  return v;
}

namespace {

uint64_t ReadLE(const uint8_t* raw, size_t offset, size_t size) {
  uint64_t v = 0;
  for (size_t i = size; i-- > 0;) v = (v << 8) | raw[offset + i];
  return v;
}

}  // namespace

void CopyInfoFields(const uint8_t* raw, const TVKInfoField* fields, size_t count, TVKSDKDeviceInfo& info) {
  auto* out = reinterpret_cast<uint8_t*>(&info);
  for (size_t n = 0; n < count; ++n) {
    const TVKInfoField& f = fields[n];
    uint8_t* dst = out + f.InfoOffset;
    if (f.Order == TVKRawOrder::Bytes) {
      std::memset(dst, 0, f.InfoSize);
      std::memcpy(dst, raw + f.RawOffset, f.RawSize < f.InfoSize ? f.RawSize : f.InfoSize);
      continue;
    }
    uint64_t v = f.Order == TVKRawOrder::BE ? ReadBE(raw, f.RawOffset, f.RawSize) : ReadLE(raw, f.RawOffset, f.RawSize);
    for (size_t i = 0; i < f.InfoSize; ++i, v >>= 8) dst[i] = static_cast<uint8_t>(v);
  }
}

TVKSDKDeviceInfo NewDeviceInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info;
  std::memset(&info, 0, sizeof(info));
  info.ProtocolType = raw.ProtocolType;
  info.Addr = raw.PeerIP;
  info.Port = raw.PeerPort;
  return info;
}

std::u16string TrimControls(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] <= u' ') ++b;
  while (e > b && text[e - 1] <= u' ') --e;
  return std::u16string(text.substr(b, e - b));
}

std::string_view TrimControlBytes(std::string_view bytes) {
  size_t b = 0, e = bytes.size();
  while (b < e && static_cast<uint8_t>(bytes[b]) <= 0x20) ++b;
  while (e > b && static_cast<uint8_t>(bytes[e - 1]) <= 0x20) --e;
  return bytes.substr(b, e - b);
}

void StoreAnsiName(std::u16string_view text, char* field, size_t maxBytes) {
  TVKBytes bytes = StringToCodePageBytesCut(text, 0, maxBytes);
  if (bytes.empty()) return;
  std::memcpy(field, bytes.data(), bytes.size() < maxBytes ? bytes.size() : maxBytes);
}

}  // namespace vk
