// Windows code pages through the Windows API (MultiByteToWideChar,
// WideCharToMultiByte, NormalizeString).
//
// The bytes and the text are the same as the ICU converters give on other
// platforms, so files written on one platform read the same on the other:
// nothing is converted "best fit" (ł in 1252 is '?', never 'l'), every UTF-16
// unit a code page cannot represent becomes one '?' (a surrogate pair two),
// and bytes a code page leaves undefined read as ICU reads them.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "runtime/codepage.h"
#include "runtime/codepage_system.h"

namespace vk::syscp {

namespace {

// Single bytes that Windows reads otherwise than ICU; the SDK keeps ICU's
// reading on every platform. 0xFFFD marks a byte the code page leaves
// undefined (Windows reads most of them as private-use or control
// characters). A character whose Windows byte reads back as something else
// is written '?'.
struct FixedByte {
  uint32_t CodePage;
  uint8_t Byte;
  char16_t Char;
};
constexpr FixedByte kFixedBytes[] = {
    {437, 0xE6, 0x03BC},  // Greek small mu, not the micro sign
    {932, 0x80, 0xFFFD}, {932, 0xA0, 0xFFFD}, {932, 0xFD, 0xFFFD}, {932, 0xFE, 0xFFFD}, {932, 0xFF, 0xFFFD},
    {936, 0xFF, 0xF8F5}, {949, 0xFF, 0xF8F7}, {950, 0xFF, 0xF8F8},
    {1253, 0xAA, 0x00AA}, {1253, 0xD2, 0xFFFD}, {1253, 0xFF, 0xFFFD},
    {1255, 0xCA, 0xFFFD}, {1255, 0xD9, 0xFFFD}, {1255, 0xDA, 0xFFFD}, {1255, 0xDB, 0xFFFD},
    {1255, 0xDC, 0xFFFD}, {1255, 0xDD, 0xFFFD}, {1255, 0xDE, 0xFFFD}, {1255, 0xDF, 0xFFFD},
    {1255, 0xFB, 0xFFFD}, {1255, 0xFC, 0xFFFD}, {1255, 0xFF, 0xFFFD},
    {1257, 0xA1, 0xFFFD}, {1257, 0xA5, 0xFFFD},
};

// The reading of a single byte where Windows and ICU differ, else -1. US-ASCII
// (20127) has no bytes above 7F: Windows drops their top bit (E9 reads 'i').
int32_t FixedRead(uint32_t cp, uint8_t b) {
  if (cp == 20127 && b >= 0x80) return 0xFFFD;
  for (const auto& f : kFixedBytes)
    if (f.CodePage == cp && f.Byte == b) return f.Char;
  return -1;
}

// The byte ICU writes for a character Windows has no byte for, else -1.
int32_t FixedWrite(uint32_t cp, char16_t c) {
  for (const auto& f : kFixedBytes)
    if (f.CodePage == cp && f.Char == c && c != 0xFFFD) return f.Byte;
  return -1;
}

// What ICU reads for a byte sequence that is no character: U+001A in 932
// (its converter's substitute), U+FFFD elsewhere; a well-formed pair that the
// code page leaves undefined is U+FFFD everywhere. A trail byte that cannot
// be one (below 0x40, 0x7F, 0xFF; in 932 also 0xFD and 0xFE) is not taken
// with its lead byte and reads on its own.
char16_t Substitute(uint32_t cp) { return cp == 932 ? 0x1A : 0xFFFD; }
bool CanBeTrail(uint32_t cp, uint8_t b) { return b >= 0x40 && b != 0x7F && b != 0xFF && !(cp == 932 && b >= 0xFD); }

// Code pages whose conversion takes no flags and no default character (the
// stateful ISO-2022 pages, HZ, ISCII, UTF-7, GB18030 and the Symbol page).
bool TakesNoFlags(uint32_t cp) {
  return (cp >= 50220 && cp <= 50229) || (cp >= 57002 && cp <= 57011) || cp == 65000 || cp == 54936 ||
         cp == 52936 || cp == 42;
}

// What the SDK knows about one code page: whether it converts at all, whether
// it reads and writes ASCII as the same single bytes (then ASCII text needs no
// system call), its lead bytes and whether the table above mends it.
struct CodePageInfo {
  bool known = false;
  bool asciiSame = false;
  bool multiByte = false;
  bool fixed = false;
  bool lead[256] = {};
  bool fixedByte[256] = {};
};

CodePageInfo Probe(uint32_t cp) {
  CodePageInfo info;
  CPINFO ci{};
  if (!IsValidCodePage(cp) || !GetCPInfo(cp, &ci)) return info;
  // Some valid numbers (UTF-32) do not convert through these calls.
  WCHAR one[1];
  if (MultiByteToWideChar(cp, 0, "A", 1, one, 1) != 1) return info;
  info.known = true;
  info.multiByte = ci.MaxCharSize > 1;
  for (int i = 0; i + 1 < MAX_LEADBYTES && ci.LeadByte[i] != 0; i += 2)
    for (int b = ci.LeadByte[i]; b <= ci.LeadByte[i + 1]; ++b) info.lead[b] = true;
  for (int b = 0; b < 256; ++b) {
    info.fixedByte[b] = FixedRead(cp, static_cast<uint8_t>(b)) >= 0;
    info.fixed = info.fixed || info.fixedByte[b];
  }
  char bytes[128], again[512];
  WCHAR units[128], back[256];
  for (int i = 0; i < 128; ++i) bytes[i] = static_cast<char>(i), units[i] = static_cast<WCHAR>(i);
  info.asciiSame = !TakesNoFlags(cp) && MultiByteToWideChar(cp, 0, bytes, 128, back, 256) == 128 &&
                   std::memcmp(back, units, sizeof units) == 0 &&
                   WideCharToMultiByte(cp, 0, units, 128, again, sizeof again, nullptr, nullptr) == 128 &&
                   std::memcmp(again, bytes, 128) == 0;
  return info;
}

// Worked out once per code page for the process. Each thread remembers the
// last one it used, so the hot path takes no lock; the thread-local cache is
// plain pointers, because objects with destructors in thread-local storage
// are freed in the wrong order at thread exit by some Windows runtimes.
const CodePageInfo& InfoFor(uint32_t cp) {
  thread_local uint32_t lastCp = 0;
  thread_local const CodePageInfo* last = nullptr;
  if (last && cp == lastCp) return *last;
  static std::mutex lock;
  static std::map<uint32_t, CodePageInfo> infos;  // elements never move
  {
    std::lock_guard<std::mutex> hold(lock);
    auto it = infos.find(cp);
    if (it == infos.end()) it = infos.emplace(cp, Probe(cp)).first;
    last = &it->second;
  }
  lastCp = cp;
  return *last;
}

// Appends the bytes of n units; false when the call fails. `usedDefault` is
// set when a unit had no byte of its own (where the code page can say so).
bool ToBytes(uint32_t cp, const char16_t* s, size_t n, TVKBytes& out, bool& usedDefault) {
  const auto* w = reinterpret_cast<LPCWCH>(s);
  const int len = static_cast<int>(n);
  const bool plain = TakesNoFlags(cp);
  BOOL used = FALSE;
  auto call = [&](char* to, int room) {
    return plain ? WideCharToMultiByte(cp, 0, w, len, to, room, nullptr, nullptr)
                 : WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, w, len, to, room, "?", &used);
  };
  usedDefault = false;
  const int need = call(nullptr, 0);
  if (need <= 0) return false;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(need));
  const int got = call(reinterpret_cast<char*>(out.data() + at), need);
  out.resize(at + static_cast<size_t>(got > 0 ? got : 0));
  usedDefault = used != FALSE;
  return got > 0;
}

// Appends the text of n bytes; false when the call fails (with
// MB_ERR_INVALID_CHARS: when some byte sequence is no character).
bool ToText(uint32_t cp, DWORD flags, const uint8_t* b, size_t n, std::u16string& out) {
  const auto* src = reinterpret_cast<LPCCH>(b);
  const int len = static_cast<int>(n);
  const int need = MultiByteToWideChar(cp, flags, src, len, nullptr, 0);
  if (need <= 0) return false;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(need));
  const int got = MultiByteToWideChar(cp, flags, src, len, reinterpret_cast<LPWSTR>(out.data() + at), need);
  out.resize(at + static_cast<size_t>(got > 0 ? got : 0));
  return got > 0;
}

// True when a single byte of the text (not the second byte of a pair, so
// that あ, 82 A0 in 932, does not count) is one the table above mends.
bool HasFixedByte(const CodePageInfo& info, const uint8_t* b, size_t n) {
  if (!info.fixed) return false;
  for (size_t i = 0; i < n; ++i) {
    if (info.lead[b[i]]) ++i;
    else if (info.fixedByte[b[i]]) return true;
  }
  return false;
}

// One code point (one unit, or a surrogate pair) the way ICU writes it.
void EncodeOne(uint32_t cp, const CodePageInfo& info, const char16_t* s, size_t n, TVKBytes& out) {
  const size_t at = out.size();
  if (info.fixed && n == 1) {
    if (const int32_t b = FixedWrite(cp, s[0]); b >= 0) {
      out.push_back(static_cast<uint8_t>(b));
      return;
    }
  }
  bool usedDefault = false;
  bool ok = ToBytes(cp, s, n, out, usedDefault) && !usedDefault;
  if (ok && out.size() - at == 1 && info.fixedByte[out[at]]) ok = n == 1 && FixedRead(cp, out[at]) == s[0];
  if (!ok) {
    out.resize(at);
    out.insert(out.end(), n, uint8_t('?'));
  }
}

// Reads one character at a time, where a sequence is no character or a byte
// reads otherwise than ICU reads it.
void DecodeOneByOne(uint32_t cp, const CodePageInfo& info, const uint8_t* b, size_t n, std::u16string& out) {
  size_t i = 0;
  while (i < n) {
    if (!info.lead[b[i]]) {
      const int32_t fixed = info.fixedByte[b[i]] ? FixedRead(cp, b[i]) : -1;
      if (fixed == 0xFFFD) out.push_back(Substitute(cp));
      else if (fixed >= 0) out.push_back(static_cast<char16_t>(fixed));
      else if (!ToText(cp, MB_ERR_INVALID_CHARS, b + i, 1, out)) out.push_back(Substitute(cp));
      ++i;
    } else if (i + 1 >= n) {  // cut short
      out.push_back(Substitute(cp));
      ++i;
    } else if (ToText(cp, MB_ERR_INVALID_CHARS, b + i, 2, out)) {
      i += 2;
    } else if (CanBeTrail(cp, b[i + 1])) {
      out.push_back(0xFFFD);  // a well-formed pair with no character
      i += 2;
    } else {
      out.push_back(Substitute(cp));
      ++i;  // the trail byte reads on its own
    }
  }
}

}  // namespace

uint32_t DefaultAnsiCodePage() { return GetACP(); }

bool IsKnown(uint32_t CodePage) { return CodePage != 0 && InfoFor(CodePage).known; }

void Encode(uint32_t CodePage, const char16_t* Text, size_t Size, TVKBytes& Out) {
  if (Size == 0 || Size > static_cast<size_t>(INT_MAX / 4) || !IsKnown(CodePage)) return;
  const CodePageInfo& info = InfoFor(CodePage);
  if (info.asciiSame && IsAsciiText(Text, Size)) {
    Out.insert(Out.end(), Text, Text + Size);
    return;
  }
  const size_t at = Out.size();
  bool usedDefault = false;
  if (ToBytes(CodePage, Text, Size, Out, usedDefault) && !usedDefault &&
      !HasFixedByte(info, Out.data() + at, Out.size() - at))
    return;
  if (TakesNoFlags(CodePage)) return;  // such pages cannot say what did not map
  // Some unit had no byte of its own (or the code page has bytes to mend):
  // convert one code point at a time, so each unit that does not map becomes
  // one '?' whatever default the system would put there.
  Out.resize(at);
  size_t i = 0;
  while (i < Size) {
    const bool pair = Text[i] >= 0xD800 && Text[i] <= 0xDBFF && i + 1 < Size && Text[i + 1] >= 0xDC00 &&
                      Text[i + 1] <= 0xDFFF;
    const size_t len = pair ? 2 : 1;
    EncodeOne(CodePage, info, Text + i, len, Out);
    i += len;
  }
}

void Decode(uint32_t CodePage, const uint8_t* Bytes, size_t Size, std::u16string& Out) {
  if (Size == 0 || Size > static_cast<size_t>(INT_MAX / 2) || !IsKnown(CodePage)) return;
  const CodePageInfo& info = InfoFor(CodePage);
  if (info.asciiSame && IsAsciiText(Bytes, Size)) {
    Out.append(Bytes, Bytes + Size);
    return;
  }
  const size_t at = Out.size();
  if (!info.multiByte) {
    // One unit per byte: read them all, then mend the bytes read otherwise.
    if (!ToText(CodePage, 0, Bytes, Size, Out)) return;
    if (info.fixed && Out.size() == at + Size)
      for (size_t i = 0; i < Size; ++i)
        if (const int32_t c = FixedRead(CodePage, Bytes[i]); c >= 0) Out[at + i] = static_cast<char16_t>(c);
    return;
  }
  if (!HasFixedByte(info, Bytes, Size) && ToText(CodePage, MB_ERR_INVALID_CHARS, Bytes, Size, Out)) return;
  Out.resize(at);
  if (TakesNoFlags(CodePage)) {
    ToText(CodePage, 0, Bytes, Size, Out);
    return;
  }
  DecodeOneByOne(CodePage, info, Bytes, Size, Out);
}

bool Normalize(bool Compose, std::u16string_view Text, std::u16string& Out) {
  if (Text.size() > static_cast<size_t>(INT_MAX / 4)) return false;
  if (Text.empty()) {
    Out.clear();
    return true;
  }
  const NORM_FORM form = Compose ? NormalizationC : NormalizationD;
  const auto* src = reinterpret_cast<LPCWSTR>(Text.data());
  const int len = static_cast<int>(Text.size());
  if (IsNormalizedString(form, src, len)) {
    Out.assign(Text);
    return true;
  }
  // The first size is an estimate; a call that finds it short says how much
  // room it needs.
  int room = NormalizeString(form, src, len, nullptr, 0);
  for (int tries = 0; tries < 4 && room > 0; ++tries) {
    Out.resize(static_cast<size_t>(room));
    const int got = NormalizeString(form, src, len, reinterpret_cast<LPWSTR>(Out.data()), room);
    if (got > 0) {
      Out.resize(static_cast<size_t>(got));
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    room = -got;
  }
  return false;
}

}  // namespace vk::syscp
