#include "hecr/hecr_frame.h"

#include <cstring>

namespace vk {

namespace {

// CRC tables for the MSB-first polynomial 1021, eight bytes at a time:
// record frames are built and checked at a high rate.
struct Crc16Tables {
  uint16_t t[8][256];
  constexpr Crc16Tables() : t{} {
    for (int b = 0; b < 256; ++b) {
      uint16_t crc = static_cast<uint16_t>(b << 8);
      for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
      t[0][b] = crc;
    }
    for (int k = 1; k < 8; ++k)
      for (int b = 0; b < 256; ++b)
        t[k][b] = static_cast<uint16_t>((t[k - 1][b] << 8) ^ t[0][t[k - 1][b] >> 8]);
  }
};
constexpr Crc16Tables kCrc;

uint8_t HeadSum(const uint8_t* p) {
  unsigned sum = 0;
  for (size_t i = 0; i < 12; ++i) sum += p[i];
  return static_cast<uint8_t>(sum);
}

}  // namespace

uint16_t HecrCrc16(const uint8_t* p, size_t n) {
  uint16_t crc = 0;
  for (; n >= 8; n -= 8, p += 8) {
    crc = static_cast<uint16_t>(kCrc.t[7][p[0] ^ (crc >> 8)] ^ kCrc.t[6][p[1] ^ (crc & 0xFF)] ^ kCrc.t[5][p[2]] ^
                                kCrc.t[4][p[3]] ^ kCrc.t[3][p[4]] ^ kCrc.t[2][p[5]] ^ kCrc.t[1][p[6]] ^
                                kCrc.t[0][p[7]]);
  }
  for (; n > 0; --n, ++p) crc = static_cast<uint16_t>((crc << 8) ^ kCrc.t[0][(crc >> 8) ^ *p]);
  return crc;
}

TVKBytes TVKHecrProtocol::Package(uint8_t Sign, int32_t DeviceID, uint16_t CMD, uint16_t Param,
                                  uint8_t PackageNO, const void* lpData, uint32_t Len) {
  if (lpData == nullptr) Len = 0;
  TVKBytes f(Len > 0 ? size_t{Len} + 15 : kHeadSize, 0);
  const uint32_t id = static_cast<uint32_t>(DeviceID);
  f[0] = Sign;
  f[1] = static_cast<uint8_t>(id >> 24);
  f[2] = static_cast<uint8_t>(id >> 16);
  f[3] = static_cast<uint8_t>(id >> 8);
  f[4] = static_cast<uint8_t>(id);
  f[5] = static_cast<uint8_t>(CMD >> 8);
  f[6] = static_cast<uint8_t>(CMD);
  f[7] = static_cast<uint8_t>(Param >> 8);
  f[8] = static_cast<uint8_t>(Param);
  f[9] = PackageNO;
  f[10] = static_cast<uint8_t>(Len >> 8);
  f[11] = static_cast<uint8_t>(Len);
  f[12] = HeadSum(f.data());
  if (Len > 0) {
    std::memcpy(f.data() + kHeadSize, lpData, Len);
    const uint16_t crc = HecrCrc16(f.data() + kHeadSize, Len);
    f[f.size() - 2] = static_cast<uint8_t>(crc >> 8);
    f[f.size() - 1] = static_cast<uint8_t>(crc);
  }
  return f;
}

TVKBytes TVKHecrProtocol::Package(uint8_t Sign, int32_t DeviceID, uint16_t CMD, uint16_t Param,
                                  uint8_t PackageNO, const TVKBytes& Data) {
  return Package(Sign, DeviceID, CMD, Param, PackageNO, Data.data(),
                 static_cast<uint32_t>(Data.size()));
}

TVKBytes TVKHecrProtocol::Package(const TVKHecrHeadInfo& HeadInfo, const TVKBytes& Data) {
  return Package(HeadInfo.Sign, HeadInfo.DeviceID, HeadInfo.CMD, HeadInfo.Param,
                 HeadInfo.PackageNO, Data);
}

TVKHecrHeadInfo TVKHecrProtocol::GetHeadInfo(const TVKBytes& HecrData) {
  TVKHecrHeadInfo h;
  if (HecrData.size() < kHeadSize) return h;
  const uint8_t* p = HecrData.data();
  h.Sign = p[0];
  h.DeviceID = static_cast<int32_t>((uint32_t{p[1]} << 24) | (uint32_t{p[2]} << 16) |
                                    (uint32_t{p[3]} << 8) | uint32_t{p[4]});
  h.CMD = static_cast<uint16_t>((p[5] << 8) | p[6]);
  h.Param = static_cast<uint16_t>((p[7] << 8) | p[8]);
  h.PackageNO = p[9];
  h.DataLen = static_cast<uint16_t>((p[10] << 8) | p[11]);
  return h;
}

bool TVKHecrProtocol::CheckPackage(const TVKBytes& HecrData) {
  const size_t n = HecrData.size();
  if (n < kHeadSize) return false;
  const uint8_t* p = HecrData.data();
  if (HeadSum(p) != p[12]) return false;
  if (n == kHeadSize) return true;
  // CRC over bytes 13 .. n-3; a 14-byte frame has an empty data range.
  const size_t dataLen = n >= 15 ? n - 15 : 0;
  const uint16_t want = static_cast<uint16_t>((p[n - 2] << 8) | p[n - 1]);
  return HecrCrc16(p + kHeadSize, dataLen) == want;
}

TVKBytes TVKHecrProtocol::GetData(const TVKBytes& HecrData) {
  if (HecrData.size() <= 15) return {};
  return TVKBytes(HecrData.begin() + kHeadSize, HecrData.end() - 2);
}

}  // namespace vk
