// The field codecs most record fields use. Each Get reads nSize bytes and
// returns the cell text; each Set writes a cell into the nSize bytes of its
// field and never outside them.
//
// Numbers too large for their field are refused (Set returns false, the row
// "cannot be encoded") instead of being cut; empty or non-numeric text still
// writes 0. What fits:
//   BCD              at most 2 × nSize decimal digits, not negative
//   BIN/BINLE size 1 -128..255, size 2 -32768..65535 (negative values are
//                    written as their two's complement), size 4 a signed
//                    32-bit value, size 8 a signed 64-bit value
//   UBIN size 4      -2147483648..4294967295 (other sizes as BIN)
// Sizes BIN cannot hold (3, 5, ...) are left untouched and read as empty text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/field_info.h"
#include "runtime/types.h"

namespace vk {

struct TVKSysData {
  // ASC: text in the device's code page, zero padded. Get strips characters
  // up to the blank from both ends; Set cuts at the last whole character
  // that fits and zero-fills the rest of the field.
  static std::u16string GetASC(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize);
  static bool SetASC(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize);
  // Text: ASC with CR, LF and TAB carried as "{$0D}", "{$0A}" and "{$09}".
  static std::u16string GetText(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize);
  static bool SetText(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize);
  // BCD: packed decimal digits, first byte first, zero padded on the left.
  static std::u16string GetBCD(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize);
  static bool SetBCD(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize);
  // BIN: big-endian; size 1 and 2 read unsigned, 4 and 8 signed.
  static std::u16string GetBIN(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize);
  static bool SetBIN(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize);
  // UBIN: BIN with size 4 unsigned.
  static std::u16string GetUBIN(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize);
  static bool SetUBIN(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize);
  // BINLE: BIN in little-endian order. PecrBIN is the same codec.
  static std::u16string GetBINLE(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize);
  static bool SetBINLE(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize);
  static std::u16string GetPecrBIN(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize) {
    return GetBINLE(Ctx, lpData, nSize);
  }
  static bool SetPecrBIN(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize) {
    return SetBINLE(Ctx, sValue, lpData, nSize);
  }

  // Numeric building blocks for item codecs (scaled prices, weights...).
  // Write* return false when the value does not fit (rules above).
  static bool WriteBCDValue(uint64_t Value, uint8_t* lpData, int32_t nSize);
  static bool ReadBCDValue(const uint8_t* lpData, int32_t nSize, int64_t& Value);  // false: not decimal
  static bool WriteBINValue(int64_t Value, uint8_t* lpData, int32_t nSize, bool LittleEndian = false,
                            bool Unsigned4 = false);
  static bool ReadBINValue(const uint8_t* lpData, int32_t nSize, int64_t& Value, bool LittleEndian = false,
                           bool Unsigned4 = false);  // false: unsupported size

  // The escapes of the Text codec.
  static std::u16string EscapeControlChars(std::u16string_view s);
  static std::u16string UnescapeControlChars(std::u16string_view s);
};

}  // namespace vk
