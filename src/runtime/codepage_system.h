// The system's converter for Windows code pages: ICU on Linux
// (codepage_icu.cpp), the Windows API on Windows (codepage_win.cpp). Both
// give the same bytes and the same text; codepage.cpp builds everything else
// (UTF-8/16, the SDK's own code pages, the 1258 and HZ forms) around them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/types.h"

namespace vk::syscp {

// The code page that code page 0 stands for when the INI names none:
// UTF-8 (65001) on Linux, the system's ANSI code page on Windows.
uint32_t DefaultAnsiCodePage();

// True when the converter can write and read this Windows code page.
bool IsKnown(uint32_t CodePage);

// Appends the bytes of the text. A UTF-16 unit the code page cannot represent
// becomes one '?' (a surrogate pair two); nothing is written "best fit"
// (ł is '?', never 'l'). Does nothing for an unknown code page.
void Encode(uint32_t CodePage, const char16_t* Text, size_t Size, TVKBytes& Out);

// Appends the text of the bytes. Does nothing for an unknown code page.
void Decode(uint32_t CodePage, const uint8_t* Bytes, size_t Size, std::u16string& Out);

// Canonical composition (NFC) or decomposition (NFD); false when the system
// cannot do it.
bool Normalize(bool Compose, std::u16string_view Text, std::u16string& Out);

}  // namespace vk::syscp
