// Conversion between UTF-16 text and the byte encodings the SDK speaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/types.h"

namespace vk {

// True when every unit of the text is below 0x80 (plain ASCII).
template <typename Unit>
bool IsAsciiText(const Unit* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (static_cast<std::make_unsigned_t<Unit>>(p[i]) >= 0x80) return false;
  return true;
}

// Code page numbers: 0 = the ANSI code page (System/AnsiCodePage; by default
// UTF-8 on Linux, the system's ANSI code page on Windows), 1200 UTF-16LE,
// 1201 UTF-16BE, 12000 UTF-32LE, 12001 UTF-32BE, 65001 UTF-8, 950 Big5 with
// 51 extra characters, the SDK's own 12541254, 12581258 (VISCII), 64386438,
// and any other Windows code page number.
TVKBytes StringToCodePageBytes(std::u16string_view Text, uint32_t CodePage);
std::u16string CodePageBytesToString(const uint8_t* Bytes, size_t Size, uint32_t CodePage);
inline std::u16string CodePageBytesToString(const TVKBytes& Bytes, uint32_t CodePage) {
  return CodePageBytesToString(Bytes.data(), Bytes.size(), CodePage);
}

// The code page that 0 stands for.
uint32_t AnsiCodePage();

// The code page actually used for a number: 0 and numbers that no converter
// knows stand for AnsiCodePage().
uint32_t ResolveCodePage(uint32_t CodePage);
bool IsKnownCodePage(uint32_t CodePage);

// Appending forms (no temporary buffers on hot paths).
void AppendCodePageBytes(std::u16string_view Text, uint32_t CodePage, TVKBytes& Out);
void AppendCodePageString(const uint8_t* Bytes, size_t Size, uint32_t CodePage, std::u16string& Out);

// Encodes Text, keeping only the whole characters that fit in MaxBytes.
TVKBytes StringToCodePageBytesCut(std::u16string_view Text, uint32_t CodePage, size_t MaxBytes);

}  // namespace vk
