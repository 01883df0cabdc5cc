// Conversion between UTF-16 text and the byte encodings the SDK speaks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/types.h"

namespace vk {

// Code page numbers: 0 = the ANSI code page (System/AnsiCodePage, UTF-8 on
// Linux by default), 1200 UTF-16LE, 1201 UTF-16BE, 65001 UTF-8, 950 Big5 with
// 51 extra characters, the SDK's own 12541254, 12581258 (VISCII), 64386438,
// and any other Windows code page number.
TVKBytes StringToCodePageBytes(std::u16string_view Text, uint32_t CodePage);
std::u16string CodePageBytesToString(const uint8_t* Bytes, size_t Size, uint32_t CodePage);
inline std::u16string CodePageBytesToString(const TVKBytes& Bytes, uint32_t CodePage) {
  return CodePageBytesToString(Bytes.data(), Bytes.size(), CodePage);
}

// The code page that 0 stands for.
uint32_t AnsiCodePage();

}  // namespace vk
