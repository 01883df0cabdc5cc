// Windows code pages through ICU's converters (every platform but Windows).
//
// Every UTF-16 unit a code page cannot represent becomes one '?' (two for a
// surrogate pair), as Windows writes it without best fit.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unorm2.h>

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

#include "runtime/codepage.h"
#include "runtime/codepage_system.h"

namespace vk::syscp {

namespace {

// Every unmappable UTF-16 unit becomes one '?'; a surrogate pair is two.
void QuestionMarkCallback(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t length,
                          UChar32, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  *err = U_ZERO_ERROR;
  static const char kMarks[4] = {'?', '?', '?', '?'};
  ucnv_cbFromUWriteBytes(args, kMarks, length < 1 ? 1 : (length > 4 ? 4 : length), 0, err);
}

// Windows code pages whose ICU converter has a name of its own (or a more
// exact one than "windows-N", "cpN" or "ibm-N", which are tried for every
// other number). Windows code pages left out because ICU has no converter
// that writes their bytes: 709, 710, 1361, 10001..10005, 10008, 10010,
// 10017, 10021, 10079, 10082, 20000..20005, 20105..20108, 20261, 20269,
// 20423, 20833, 20880, 20905, 20924, 21027, 29001, 50222, 50229 and 50936.
struct TIcuName {
  uint32_t CodePage;
  const char* Name;
};
constexpr TIcuName kIcuNames[] = {
    {708, "ASMO-708"},
    {874, "windows-874-2000"},
    {932, "ibm-943_P15A-2003"},
    {936, "windows-936-2000"},
    {949, "windows-949-2000"},
    {950, "windows-950-2000"},
    {20127, "US-ASCII"},
    {20273, "ibm-273"},  // EBCDIC national variants: IBM's own numbers
    {20277, "ibm-277"},
    {20278, "ibm-278"},
    {20280, "ibm-280"},
    {20284, "ibm-284"},
    {20285, "ibm-285"},
    {20290, "ibm-290"},
    {20297, "ibm-297"},
    {20420, "ibm-420"},
    {20424, "ibm-424"},
    {20838, "ibm-838"},
    {20871, "ibm-871"},
    {21025, "ibm-1025"},
    {20932, "EUC-JP"},
    {20936, "GB2312"},
    {20949, "EUC-KR"},
    {28591, "iso-8859-1"},
    {28592, "iso-8859-2"},
    {28593, "iso-8859-3"},
    {28594, "iso-8859-4"},
    {28595, "iso-8859-5"},
    {28596, "iso-8859-6"},
    {28597, "iso-8859-7"},
    {28598, "iso-8859-8"},
    {28599, "iso-8859-9"},
    {28600, "iso-8859-10"},
    {28601, "iso-8859-11"},
    {28603, "iso-8859-13"},
    {28604, "iso-8859-14"},
    {28605, "iso-8859-15"},
    {28606, "iso-8859-16"},
    {38598, "ISO-8859-8-I"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP-1"},
    {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},
    {50930, "ibm-930"},  // EBCDIC with double-byte characters
    {50931, "ibm-931"},
    {50933, "ibm-933"},
    {50935, "ibm-935"},
    {50937, "ibm-937"},
    {50939, "ibm-939"},
    {51932, "EUC-JP"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {51950, "EUC-TW"},
    {52936, "HZ-GB-2312"},
    {54936, "gb18030"},
    {65000, "UTF-7"},
};

// ICU names to try for a Windows code page number, most specific first.
int IcuNamesFor(uint32_t cp, std::array<std::string, 4>& names) {
  int n = 0;
  for (const auto& row : kIcuNames)
    if (row.CodePage == cp) names[n++] = row.Name;
  names[n++] = "windows-" + std::to_string(cp);
  names[n++] = "cp" + std::to_string(cp);
  names[n++] = "ibm-" + std::to_string(cp);
  return n;
}

// IBM's tables of the PC code pages (437, 850, 866, 932 and others) swap
// three control characters: byte 1A is U+001C, 1C is U+007F and 7F is
// U+001A. Windows, and every other program reading these code pages, keeps
// them as ASCII; so does the SDK, by giving the converter the unit (or byte)
// that it turns into the wanted byte (or unit).
char16_t UnswapUnit(char16_t u) { return u == 0x1A ? 0x1C : u == 0x1C ? 0x7F : u == 0x7F ? 0x1A : u; }
uint8_t UnswapByte(uint8_t b) { return b == 0x1A ? 0x7F : b == 0x1C ? 0x1A : b == 0x7F ? 0x1C : b; }

bool SwapsControls(UConverter* c) {
  const UChar unit = 0x1A;
  char byte = 0;
  UErrorCode e = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(c, &byte, 1, &unit, 1, &e);
  ucnv_reset(c);
  return U_SUCCESS(e) && n == 1 && byte == 0x7F;
}

// An ICU converter, whether it swaps the three controls and whether it then
// writes and reads the ASCII range (U+0000..U+007F) as the same single bytes:
// most code pages do, and text that is all ASCII then needs no call into ICU.
struct IcuConverter {
  UConverter* conv = nullptr;
  bool swapped = false;
  bool asciiSame = false;
};

bool MapsAsciiToItself(UConverter* c, bool swapped) {
  UChar units[128];
  char bytes[128];
  for (int i = 0; i < 128; ++i) units[i] = static_cast<UChar>(i), bytes[i] = static_cast<char>(i);
  UChar given[128];
  char read[128];
  for (int i = 0; i < 128; ++i) {
    given[i] = swapped ? UnswapUnit(units[i]) : units[i];
    read[i] = static_cast<char>(swapped ? UnswapByte(static_cast<uint8_t>(i)) : i);
  }
  char encoded[512];
  UChar decoded[256];
  UErrorCode e = U_ZERO_ERROR;
  const int32_t ne = ucnv_fromUChars(c, encoded, sizeof encoded, given, 128, &e);
  if (U_FAILURE(e) || ne != 128 || std::memcmp(encoded, bytes, 128) != 0) return false;
  e = U_ZERO_ERROR;
  const int32_t nd = ucnv_toUChars(c, decoded, 256, read, 128, &e);
  ucnv_reset(c);
  return U_SUCCESS(e) && nd == 128 && std::memcmp(decoded, units, sizeof units) == 0;
}

IcuConverter OpenIcu(uint32_t cp) {
  std::array<std::string, 4> names;
  int n = IcuNamesFor(cp, names);
  for (int i = 0; i < n; ++i) {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* c = ucnv_open(names[i].c_str(), &e);
    if (!c || U_FAILURE(e)) {
      if (c) ucnv_close(c);
      continue;
    }
    e = U_ZERO_ERROR;
    ucnv_setFromUCallBack(c, QuestionMarkCallback, nullptr, nullptr, nullptr, &e);
    const bool swapped = SwapsControls(c);
    return {c, swapped, MapsAsciiToItself(c, swapped)};
  }
  return {};
}

// ICU converters are not thread-safe: each thread keeps its own, opened on
// first use and closed when the thread ends. Unknown numbers are cached too.
class IcuCache {
 public:
  ~IcuCache() {
    for (auto& kv : map_)
      if (kv.second.conv) ucnv_close(kv.second.conv);
  }
  const IcuConverter* Get(uint32_t cp) {
    if (cp == lastCp_ && last_) return last_;
    auto it = map_.find(cp);
    if (it == map_.end()) it = map_.emplace(cp, OpenIcu(cp)).first;
    if (!it->second.conv) return nullptr;
    lastCp_ = cp;
    last_ = &it->second;  // elements of an unordered_map stay where they are
    return last_;
  }

 private:
  std::unordered_map<uint32_t, IcuConverter> map_;
  uint32_t lastCp_ = 0;
  const IcuConverter* last_ = nullptr;
};

const IcuConverter* IcuFor(uint32_t cp) {
  thread_local IcuCache cache;
  return cache.Get(cp);
}

void IcuEncode(const IcuConverter* ic, const char16_t* s, size_t n, TVKBytes& out) {
  if (n == 0) return;
  if (ic->asciiSame && IsAsciiText(s, n)) {
    const size_t at = out.size();
    out.resize(at + n);
    for (size_t i = 0; i < n; ++i) out[at + i] = static_cast<uint8_t>(s[i]);
    return;
  }
  std::u16string unswapped;
  if (ic->swapped) {
    unswapped.assign(s, n);
    for (char16_t& u : unswapped) u = UnswapUnit(u);
    s = unswapped.data();
  }
  UConverter* c = ic->conv;
  ucnv_resetFromUnicode(c);
  const UChar* src = reinterpret_cast<const UChar*>(s);
  const UChar* srcEnd = src + n;
  size_t start = out.size();
  size_t room = n * static_cast<size_t>(ucnv_getMaxCharSize(c)) + 8;
  for (;;) {
    out.resize(start + room);
    char* target = reinterpret_cast<char*>(out.data() + start);
    char* targetBegin = reinterpret_cast<char*>(out.data());
    char* limit = targetBegin + out.size();
    UErrorCode e = U_ZERO_ERROR;
    ucnv_fromUnicode(c, &target, limit, &src, srcEnd, nullptr, true, &e);
    start = static_cast<size_t>(target - targetBegin);
    if (e == U_BUFFER_OVERFLOW_ERROR) {
      room *= 2;
      continue;
    }
    out.resize(start);
    return;
  }
}

void IcuDecode(const IcuConverter* ic, const uint8_t* b, size_t n, std::u16string& out) {
  if (n == 0) return;
  if (ic->asciiSame && IsAsciiText(b, n)) {
    out.append(b, b + n);
    return;
  }
  TVKBytes unswapped;
  if (ic->swapped) {
    unswapped.assign(b, b + n);
    for (uint8_t& x : unswapped) x = UnswapByte(x);
    b = unswapped.data();
  }
  UConverter* c = ic->conv;
  ucnv_resetToUnicode(c);
  const char* src = reinterpret_cast<const char*>(b);
  const char* srcEnd = src + n;
  size_t start = out.size();
  size_t room = n + 8;
  for (;;) {
    out.resize(start + room);
    UChar* begin = reinterpret_cast<UChar*>(out.data());
    UChar* target = begin + start;
    UChar* limit = begin + out.size();
    UErrorCode e = U_ZERO_ERROR;
    ucnv_toUnicode(c, &target, limit, &src, srcEnd, nullptr, true, &e);
    start = static_cast<size_t>(target - begin);
    if (e == U_BUFFER_OVERFLOW_ERROR) {
      room *= 2;
      continue;
    }
    out.resize(start);
    return;
  }
}

}  // namespace

uint32_t DefaultAnsiCodePage() { return 65001; }

bool IsKnown(uint32_t CodePage) { return IcuFor(CodePage) != nullptr; }

void Encode(uint32_t CodePage, const char16_t* Text, size_t Size, TVKBytes& Out) {
  if (const IcuConverter* c = IcuFor(CodePage)) IcuEncode(c, Text, Size, Out);
}

void Decode(uint32_t CodePage, const uint8_t* Bytes, size_t Size, std::u16string& Out) {
  if (const IcuConverter* c = IcuFor(CodePage)) IcuDecode(c, Bytes, Size, Out);
}

bool Normalize(bool Compose, std::u16string_view Text, std::u16string& Out) {
  const bool compose = Compose;
  const std::u16string_view t = Text;
  std::u16string& out = Out;
  UErrorCode e = U_ZERO_ERROR;
  const UNormalizer2* n = compose ? unorm2_getNFCInstance(&e) : unorm2_getNFDInstance(&e);
  if (U_FAILURE(e) || t.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 4)) return false;
  const auto* src = reinterpret_cast<const UChar*>(t.data());
  const auto len = static_cast<int32_t>(t.size());
  if (unorm2_isNormalized(n, src, len, &e) && U_SUCCESS(e)) {
    out.assign(t);
    return true;
  }
  e = U_ZERO_ERROR;
  out.resize(t.size() * 3 + 8);
  const int32_t got = unorm2_normalize(n, src, len, reinterpret_cast<UChar*>(out.data()),
                                       static_cast<int32_t>(out.size()), &e);
  if (U_FAILURE(e)) return false;
  out.resize(static_cast<size_t>(got));
  return true;
}

}  // namespace vk::syscp
