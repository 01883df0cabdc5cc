// Basic value types shared by every layer of the SDK.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

using TVKBytes = std::vector<uint8_t>;            // growable byte array
using TVKStrings = std::vector<std::u16string>;    // one row's cells
using TVKStringsDynArray = std::vector<TVKStrings>;  // a table, row 0 = header
using TVKBytesDynArray = std::vector<TVKBytes>;    // records or packages
using TVKIntegers = std::vector<int32_t>;          // column-to-field maps

// Date-time as a day count: whole days since 1899-12-30, fraction = time of day.
using TDateTime = double;

// UTF-8 <-> UTF-16 for paths and ASCII-range literals (exact, no code pages).
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);

// ASCII text (format strings, numbers) widened to UTF-16.
std::u16string Widen(std::string_view ascii);

// printf-style formatting into a string (the C library's, so it builds the
// same with every toolchain).
#if defined(__GNUC__)
__attribute__((format(gnu_printf, 1, 2)))
#endif
std::string StrFormat(const char* format, ...);

}  // namespace vk
