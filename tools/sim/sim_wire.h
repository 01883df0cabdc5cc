// The simulated scales' own frame code. It is written apart from the SDK's
// frame classes on purpose, so that a test never checks the SDK against
// itself: a mistake in one shows up as a mismatch with the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemkasim {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kPecrPort = 5001;
constexpr uint16_t kHecrPort = 5002;
constexpr uint16_t kTSecrPort = 5003;

enum class Family { Pecr = 1, Hecr = 2, TSecr = 3 };
const char* FamilyName(Family f);
uint16_t FamilyPort(Family f);

// Big- and little-endian stores and loads into a byte block (bounds are the
// caller's business: the block builders use fixed offsets in 256 bytes).
void PutBE(Bytes& b, size_t at, uint64_t v, size_t width);
void PutLE(Bytes& b, size_t at, uint64_t v, size_t width);
uint64_t GetBE(const Bytes& b, size_t at, size_t width);
uint64_t GetLE(const Bytes& b, size_t at, size_t width);
// Copies text bytes into b[at .. at+width), cut or zero-padded.
void PutText(Bytes& b, size_t at, std::string_view text, size_t width);

// Hecr: the 13-byte head, data and CRC (bit-by-bit polynomial 1021).
struct HecrFrame {
  uint8_t sign = 0xAA;
  uint32_t deviceId = 0;
  uint16_t cmd = 0;
  uint16_t param = 0;
  uint8_t packageNo = 0;
  uint16_t dataLen = 0;  // as read from a received head
  Bytes data;
};
uint16_t HecrCrc(const uint8_t* p, size_t n);
Bytes BuildHecr(uint16_t cmd, uint16_t param, const Bytes& data, uint8_t sign = 0xAA,
                uint32_t deviceId = 0, uint8_t packageNo = 0);
// Parses a frame whose head sum and CRC are right and whose length agrees
// with its DataLen; nullopt otherwise.
std::optional<HecrFrame> ParseHecr(const Bytes& frame);

// Pecr: 259 bytes, data type, little-endian address, 256 data bytes.
Bytes BuildPecr(uint8_t dataType, uint16_t addr, const Bytes& data);

// Hexadecimal text "AA 00 01" of a byte block, for printing and messages.
std::string Hex(const Bytes& b);

}  // namespace vemkasim
