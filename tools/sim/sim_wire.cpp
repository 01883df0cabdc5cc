#include "sim/sim_wire.h"

#include <algorithm>

namespace vemkasim {

const char* FamilyName(Family f) {
  switch (f) {
    case Family::Pecr: return "Pecr";
    case Family::Hecr: return "Hecr";
    case Family::TSecr: return "TSecr";
  }
  return "?";
}

uint16_t FamilyPort(Family f) {
  switch (f) {
    case Family::Pecr: return kPecrPort;
    case Family::Hecr: return kHecrPort;
    case Family::TSecr: return kTSecrPort;
  }
  return 0;
}

void PutBE(Bytes& b, size_t at, uint64_t v, size_t width) {
  for (size_t i = 0; i < width; ++i) b[at + width - 1 - i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutLE(Bytes& b, size_t at, uint64_t v, size_t width) {
  for (size_t i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t GetBE(const Bytes& b, size_t at, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v = (v << 8) | b[at + i];
  return v;
}

uint64_t GetLE(const Bytes& b, size_t at, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v |= uint64_t{b[at + i]} << (8 * i);
  return v;
}

void PutText(Bytes& b, size_t at, std::string_view text, size_t width) {
  for (size_t i = 0; i < width; ++i)
    b[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
}

// Eight bytes per step by table (kept apart from the SDK's own code, so the
// simulated scale checks the SDK's CRC independently): the scale checks
// every 512-byte record, and a byte-at-a-time loop would make the simulated
// scale, not the host, the slow side of a long download. row[k][b] is the
// CRC of byte b followed by k zero bytes.
uint16_t HecrCrc(const uint8_t* p, size_t n) {
  struct Tables {
    uint16_t row[8][256];
    constexpr Tables() : row() {
      for (unsigned b = 0; b < 256; ++b) {
        uint16_t c = static_cast<uint16_t>(b << 8);
        for (int k = 0; k < 8; ++k) c = static_cast<uint16_t>(c & 0x8000 ? (c << 1) ^ 0x1021 : c << 1);
        row[0][b] = c;
      }
      for (int k = 1; k < 8; ++k)
        for (unsigned b = 0; b < 256; ++b) {
          const uint16_t prev = row[k - 1][b];
          row[k][b] = static_cast<uint16_t>((prev << 8) ^ row[0][prev >> 8]);
        }
    }
  };
  static constexpr Tables kT;
  uint16_t crc = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint8_t hi = static_cast<uint8_t>(p[i] ^ (crc >> 8));
    const uint8_t lo = static_cast<uint8_t>(p[i + 1] ^ crc);
    crc = static_cast<uint16_t>(kT.row[7][hi] ^ kT.row[6][lo] ^ kT.row[5][p[i + 2]] ^ kT.row[4][p[i + 3]] ^
                                kT.row[3][p[i + 4]] ^ kT.row[2][p[i + 5]] ^ kT.row[1][p[i + 6]] ^
                                kT.row[0][p[i + 7]]);
  }
  for (; i < n; ++i) crc = static_cast<uint16_t>((crc << 8) ^ kT.row[0][(crc >> 8) ^ p[i]]);
  return crc;
}

Bytes BuildHecr(uint16_t cmd, uint16_t param, const Bytes& data, uint8_t sign, uint32_t deviceId,
                uint8_t packageNo) {
  Bytes f(13 + (data.empty() ? 0 : data.size() + 2), 0);
  f[0] = sign;
  PutBE(f, 1, deviceId, 4);
  PutBE(f, 5, cmd, 2);
  PutBE(f, 7, param, 2);
  f[9] = packageNo;
  PutBE(f, 10, data.size(), 2);
  unsigned sum = 0;
  for (int i = 0; i < 12; ++i) sum += f[i];
  f[12] = static_cast<uint8_t>(sum);
  if (!data.empty()) {
    std::copy(data.begin(), data.end(), f.begin() + 13);
    PutBE(f, f.size() - 2, HecrCrc(data.data(), data.size()), 2);
  }
  return f;
}

std::optional<HecrFrame> ParseHecr(const Bytes& f) {
  if (f.size() < 13) return std::nullopt;
  unsigned sum = 0;
  for (int i = 0; i < 12; ++i) sum += f[i];
  if (static_cast<uint8_t>(sum) != f[12]) return std::nullopt;
  HecrFrame h;
  h.sign = f[0];
  h.deviceId = static_cast<uint32_t>(GetBE(f, 1, 4));
  h.cmd = static_cast<uint16_t>(GetBE(f, 5, 2));
  h.param = static_cast<uint16_t>(GetBE(f, 7, 2));
  h.packageNo = f[9];
  h.dataLen = static_cast<uint16_t>(GetBE(f, 10, 2));
  if (h.dataLen == 0) {
    if (f.size() != 13) return std::nullopt;
    return h;
  }
  if (f.size() != size_t{h.dataLen} + 15) return std::nullopt;
  h.data.assign(f.begin() + 13, f.end() - 2);
  if (HecrCrc(h.data.data(), h.data.size()) != GetBE(f, f.size() - 2, 2)) return std::nullopt;
  return h;
}

Bytes BuildPecr(uint8_t dataType, uint16_t addr, const Bytes& data) {
  Bytes f(259, 0);
  f[0] = dataType;
  PutLE(f, 1, addr, 2);
  std::copy_n(data.begin(), std::min<size_t>(data.size(), 256), f.begin() + 3);
  return f;
}

std::string Hex(const Bytes& b) {
  std::string s;
  s.reserve(b.size() * 3);
  for (size_t i = 0; i < b.size(); ++i) {
    if (i) s += ' ';
    static const char kDigits[] = "0123456789ABCDEF";
    s += kDigits[b[i] >> 4];
    s += kDigits[b[i] & 0xF];
  }
  return s;
}

}  // namespace vemkasim
