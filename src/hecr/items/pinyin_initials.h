// Speed codes for article names: the initial letters of the Mandarin readings
// of the Chinese characters in a name, with ASCII characters kept as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vk {

// Walks GB2312 bytes: a byte below 80 is copied; a byte from 80 up starts a
// two-byte character that contributes the upper-case initial of its reading,
// or nothing (symbols, full-width forms, characters outside GB2312). A lead
// byte without its second byte ends the walk. The result is upper-cased.
std::u16string PinyinInitialsFromBytes(const uint8_t* p, size_t n);

// The same for text: the text is read as GB2312 (code page 936) whatever the
// ANSI code page is, since the letters are only defined for GB2312 codes.
std::u16string PinyinInitials(std::u16string_view text);

}  // namespace vk
