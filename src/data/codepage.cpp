// Placeholder: UTF-8 and UTF-16 only. Replaced by the full code page set.
#include "data/codepage.h"

#include "runtime/sysparams.h"

namespace vk {

uint32_t AnsiCodePage() { return SysParams().AnsiCodePage; }

TVKBytes StringToCodePageBytes(std::u16string_view Text, uint32_t CodePage) {
  if (CodePage == 0) CodePage = AnsiCodePage();
  TVKBytes out;
  if (CodePage == 1200 || CodePage == 1201) {
    for (char16_t c : Text) {
      uint8_t lo = static_cast<uint8_t>(c & 0xFF), hi = static_cast<uint8_t>(c >> 8);
      if (CodePage == 1200) {
        out.push_back(lo);
        out.push_back(hi);
      } else {
        out.push_back(hi);
        out.push_back(lo);
      }
    }
    return out;
  }
  std::string s = Utf16ToUtf8(Text);
  return TVKBytes(s.begin(), s.end());
}

std::u16string CodePageBytesToString(const uint8_t* Bytes, size_t Size, uint32_t CodePage) {
  if (CodePage == 0) CodePage = AnsiCodePage();
  if (CodePage == 1200 || CodePage == 1201) {
    std::u16string out;
    for (size_t i = 0; i + 1 < Size; i += 2) {
      out.push_back(CodePage == 1200 ? static_cast<char16_t>(Bytes[i] | (Bytes[i + 1] << 8))
                                     : static_cast<char16_t>((Bytes[i] << 8) | Bytes[i + 1]));
    }
    return out;
  }
  return Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(Bytes), Size));
}

}  // namespace vk
