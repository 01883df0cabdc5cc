// Builders of the 256-byte information blocks that simulated scales answer
// discovery with. Every field of each family's block has a member; Build()
// places them at their offsets (big-endian in Hecr and Pecr blocks,
// little-endian in TSecr blocks except the AI id).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/sim_wire.h"

namespace vemkasim {

// Hecr: the data part of the 7103 reply frame.
struct HecrInfo {
  uint32_t serial = 12345678;           // 3, BE
  std::string model = "HS10";           // name text = model + 8-digit serial
  std::string nameText;                 // 7..22; when set, used as it is
  uint16_t version = 0x7010;            // 23, BE (recent firmware: no M3 probe)
  uint8_t country = 0;                  // 25
  uint32_t ownIp = 0;                   // 26, BE
  uint8_t priceExponent = 2;            // 30
  uint8_t amountMultiple = 1;           // 31
  uint8_t secondExponent = 2;           // 32
  uint8_t keyType = 1;                  // 34
  uint8_t displayType = 0;              // 36
  uint64_t printerDot = 0;              // 52, BE
  uint32_t labelPages = 0;              // 60, BE
  // 64: century, year in century, month, day, hour, minute, second.
  std::array<uint8_t, 7> printerStartDate{20, 24, 1, 2, 3, 4, 5};
  uint32_t printerNo = 0;               // 71, BE
  uint8_t department = 0;               // 75
  std::string cpuType = "M4";           // 76, 4 bytes
  uint32_t codePage = 1252;             // 80, LE
  uint16_t hotkeyCount = 0;             // 112, BE
  std::array<uint16_t, 4> noteCapacity{};  // 116..122, BE
  uint16_t pluCapacity = 10000;         // 124, BE
  uint16_t nutritionCapacity = 0;       // 126, BE
  uint16_t discountCapacity = 0;        // 128, BE
  uint8_t classLetter = 0;              // 146
  uint8_t lfCodeLen = 0;                // 147
  std::array<uint8_t, 4> deviceId{};    // 148
  std::array<uint8_t, 4> stockId{};     // 152
  uint8_t fontAreaBad = 0;              // 156
  uint8_t dataAreaBad = 0;              // 157
  std::array<uint8_t, 8> nickId{};      // 168
  uint8_t busy = 0;                     // 176
  uint8_t hangScale = 0;                // 177
  std::array<uint8_t, 6> mac{};         // 180
  uint8_t sdCardError = 0;              // 186
  std::array<uint8_t, 16> cpuId{};      // 193
  uint8_t cpuIdLen = 0;                 // 209
  uint8_t touch = 0;                    // 210
  std::string aiName;                   // 211, 5 bytes
  uint32_t aiId = 0;                    // 216, BE
  uint8_t smallM3Cpu = 0;               // 220

  Bytes Build() const;  // 256 bytes
};

// Pecr: the whole reply datagram; its first 256 bytes (frame head
// included) are the information block.
struct PecrInfo {
  uint32_t version = 0x0100;            // 17, BE
  uint32_t buildDate = 0x20240115;      // 21, BE, hexadecimal digits YYYYMMDD
  uint8_t power = 0;                    // 27: 0 "5V", 0xAC "3.3V"
  std::string makerTag = "VEMKA";       // 42, 5 bytes
  uint8_t keyType = 0;                  // 50
  uint8_t displayType = 0;              // 51
  std::string name = "PS20";            // 55, 8 bytes
  uint32_t serial = 87654321;           // 84, BE
  std::array<uint8_t, 8> nickId{};      // 90
  uint8_t busy = 0;                     // 98
  uint8_t hangScale = 0;                // 99
  uint8_t cpuIdLen = 0;                 // 109
  std::array<uint8_t, 16> cpuId{};      // 110
  bool legacyBoard = false;             // bytes 4..131 = 255, 254, ..., 128
  size_t replyLength = 259;             // at least 256 to be accepted

  Bytes Build() const;  // replyLength bytes, starting 0E 03 00
};

// TSecr: the reply datagram (integers little-endian).
struct TSecrInfo {
  uint32_t linkType = 1;                // 0: 1 = TCP link, other = HTTP
  std::string serialText = "TS0000000042";  // 4, 32 bytes
  std::string name = "TS-Touch";        // 36, 16 bytes
  std::string versionText = "1.2.3.4";  // 52, 16 bytes
  uint32_t country = 0;                 // 68
  uint32_t keyType = 0;                 // 76
  uint64_t printerDot = 0;              // 80
  double printerStartDate = 45000.5;    // 88
  uint32_t labelPages = 0;              // 96
  uint32_t printerNo = 0;               // 100
  uint32_t department = 0;              // 104
  std::array<uint8_t, 12> firmware{};   // 112
  std::array<uint8_t, 8> nickId{};      // 132
  uint8_t busy = 0;                     // 140
  uint8_t hangScale = 0;                // 141
  std::array<uint8_t, 16> cpuId{};      // 155
  uint8_t cpuIdLen = 0;                 // 171
  uint8_t classLetter = 0;              // 172
  std::string aiName;                   // 173, 5 bytes
  uint32_t aiId = 0;                    // 178, BE
  size_t replyLength = 256;             // at least 128 to be accepted

  Bytes Build() const;  // replyLength bytes
};

}  // namespace vemkasim
