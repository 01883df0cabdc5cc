// Conversion between UTF-16 text and the encodings the SDK speaks.
//
// UTF-8 and UTF-16 are converted by hand (they are the hot path of every
// table file), and so is UTF-32, which the Windows API does not convert. Other Windows code pages go through the system's converter
// (codepage_system.h), with one '?' written for every UTF-16 unit a code page
// cannot represent (two for a surrogate pair). The SDK's own numbers (950
// with its extra characters, 12541254, 12581258 and 64386438) are built here
// around their own tables and are never given to the system's converter
// under their own numbers. Code page 1258 adds its base-letter-and-tone-mark
// forms around the system's converter, and HZ text is closed here.
#include "runtime/codepage.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>

#include "runtime/codepage_system.h"
#include "runtime/codepage_tables.h"
#include "runtime/sysparams.h"

namespace vk {

namespace {

constexpr uint32_t kUtf16LE = 1200;
constexpr uint32_t kUtf16BE = 1201;
constexpr uint32_t kUtf32LE = 12000;
constexpr uint32_t kUtf32BE = 12001;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kBig5 = 950;
constexpr uint32_t kTurkishPlus = 12541254;
constexpr uint32_t kViscii = 12581258;
constexpr uint32_t kGeorgian = 64386438;
constexpr uint32_t kHz = 52936;
constexpr uint32_t kVietnamese = 1258;

// ------------------------------------------------------------ Unicode ----

void EncodeUtf8(std::u16string_view t, TVKBytes& out) {
  size_t n = t.size();
  size_t pos = out.size();
  out.resize(pos + n * 3);
  uint8_t* p = out.data() + pos;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = t[i];
    if (c < 0x80) {
      *p++ = static_cast<uint8_t>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<uint8_t>(0xC0 | (c >> 6));
      *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
      *p++ = static_cast<uint8_t>(0xF0 | (cp >> 18));
      *p++ = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    } else {
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // lone surrogate
      *p++ = static_cast<uint8_t>(0xE0 | (c >> 12));
      *p++ = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    }
  }
  out.resize(static_cast<size_t>(p - out.data()));
}

// Invalid or truncated sequences read as U+FFFD, one per offending byte.
void DecodeUtf8(const uint8_t* b, size_t n, std::u16string& out) {
  size_t pos = out.size();
  out.resize(pos + n);
  char16_t* p = out.data() + pos;
  size_t i = 0;
  while (i < n) {
    uint8_t c = b[i];
    if (c < 0x80) {
      *p++ = c;
      ++i;
      continue;
    }
    uint32_t cp = 0;
    size_t len = 0;
    uint32_t min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4, cp = c & 0x07, min = 0x10000;
    }
    bool ok = len != 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) {
      uint8_t cc = b[i + k];
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      *p++ = 0xFFFD;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *p++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *p++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *p++ = static_cast<char16_t>(cp);
    }
    i += len;
  }
  out.resize(static_cast<size_t>(p - out.data()));
}

void EncodeUtf16(std::u16string_view t, bool bigEndian, TVKBytes& out) {
  size_t pos = out.size();
  out.resize(pos + t.size() * 2);
  uint8_t* p = out.data() + pos;
  for (char16_t c : t) {
    uint8_t lo = static_cast<uint8_t>(c & 0xFF), hi = static_cast<uint8_t>(c >> 8);
    *p++ = bigEndian ? hi : lo;
    *p++ = bigEndian ? lo : hi;
  }
}

// A trailing odd byte is not a whole unit and is dropped.
void DecodeUtf16(const uint8_t* b, size_t n, bool bigEndian, std::u16string& out) {
  size_t pos = out.size();
  out.resize(pos + n / 2);
  char16_t* p = out.data() + pos;
  for (size_t i = 0; i + 1 < n; i += 2)
    *p++ = bigEndian ? static_cast<char16_t>((b[i] << 8) | b[i + 1])
                     : static_cast<char16_t>(b[i] | (b[i + 1] << 8));
}

// One 4-byte unit per code point. A lone surrogate is written as '?' (a
// whole unit, so the text after it stays aligned).
void EncodeUtf32(std::u16string_view t, bool bigEndian, TVKBytes& out) {
  for (size_t i = 0; i < t.size(); ++i) {
    uint32_t c = t[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = '?';
    }
    for (int k = 0; k < 4; ++k) {
      const int shift = bigEndian ? 24 - 8 * k : 8 * k;
      out.push_back(static_cast<uint8_t>(c >> shift));
    }
  }
}

// A unit above 10FFFF or in the surrogate range, and a trailing part unit,
// read as U+FFFD.
void DecodeUtf32(const uint8_t* b, size_t n, bool bigEndian, std::u16string& out) {
  size_t i = 0;
  for (; i + 3 < n; i += 4) {
    const uint32_t c = bigEndian ? (uint32_t{b[i]} << 24 | uint32_t{b[i + 1]} << 16 | uint32_t{b[i + 2]} << 8 | b[i + 3])
                                 : (uint32_t{b[i + 3]} << 24 | uint32_t{b[i + 2]} << 16 | uint32_t{b[i + 1]} << 8 | b[i]);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(0xFFFD);
    } else if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  if (i < n) out.push_back(0xFFFD);
}

// ------------------------------------------------- the SDK's own sets ----

int Big5ExtraIndexOf(char16_t c) {
  // All 51 characters are hiragana (3041..3093) or one of five CJK ideographs.
  if (c < 0x3041 || (c > 0x3093 && c != 0x82F7 && c != 0x83D3 && c != 0x7FAB && c != 0x8137 &&
                     c != 0x9176))
    return -1;
  for (int i = 0; i < kBig5ExtraCount; ++i)
    if (kBig5Extras[i].Char == c) return i;
  return -1;
}

int Big5ExtraIndexOf(uint8_t lead, uint8_t trail) {
  if (lead == 0xF9) return (trail >= 0xDF && trail <= 0xE3) ? trail - 0xDF : -1;
  if (lead != 0xA3) return -1;
  if (trail >= 0xC0 && trail <= 0xE0) return 5 + (trail - 0xC0);
  if (trail >= 0xE2 && trail <= 0xEE) return 38 + (trail - 0xE2);
  return -1;
}

// Encodes through the system's code page `sysCp`, except that characters for
// which `over` yields bytes are written as those bytes.
template <typename Override>
void EncodeWithOverrides(std::u16string_view t, uint32_t sysCp, Override over, TVKBytes& out) {
  size_t run = 0;
  uint8_t extra[2];
  for (size_t i = 0; i < t.size(); ++i) {
    int n = over(t[i], extra);
    if (n == 0) continue;
    syscp::Encode(sysCp, t.data() + run, i - run, out);
    out.insert(out.end(), extra, extra + n);
    run = i + 1;
  }
  syscp::Encode(sysCp, t.data() + run, t.size() - run, out);
}

void EncodeBig5(std::u16string_view t, TVKBytes& out) {
  EncodeWithOverrides(t, kBig5,
                      [](char16_t ch, uint8_t* b) {
                        int k = Big5ExtraIndexOf(ch);
                        if (k < 0) return 0;
                        b[0] = kBig5Extras[k].Lead;
                        b[1] = kBig5Extras[k].Trail;
                        return 2;
                      },
                      out);
}

// The extra codes are recognised only where a character starts: a lead byte
// 81..FE and its trail byte form one character, so the middle of 不變
// (A4 A3 C5 DC) is never read as the pair A3 C5.
void DecodeBig5(const uint8_t* b, size_t n, std::u16string& out) {
  size_t run = 0, i = 0;
  while (i < n) {
    if (b[i] >= 0x81 && b[i] <= 0xFE && i + 1 < n) {
      int k = Big5ExtraIndexOf(b[i], b[i + 1]);
      if (k >= 0) {
        syscp::Decode(kBig5, b + run, i - run, out);
        out.push_back(kBig5Extras[k].Char);
        i += 2;
        run = i;
        continue;
      }
      i += 2;
    } else {
      ++i;
    }
  }
  syscp::Decode(kBig5, b + run, n - run, out);
}

void EncodeTurkishPlus(std::u16string_view t, TVKBytes& out) {
  EncodeWithOverrides(t, 1254,
                      [](char16_t ch, uint8_t* b) {
                        if (ch == 0x018F) return b[0] = 0xD7, 1;
                        if (ch == 0x0259) return b[0] = 0xF7, 1;
                        return 0;
                      },
                      out);
}

void DecodeTurkishPlus(const uint8_t* b, size_t n, std::u16string& out) {
  size_t run = 0;
  for (size_t i = 0; i < n; ++i) {
    if (b[i] != 0xD7 && b[i] != 0xF7) continue;
    syscp::Decode(1254, b + run, i - run, out);
    out.push_back(b[i] == 0xD7 ? 0x018F : 0x0259);
    run = i + 1;
  }
  syscp::Decode(1254, b + run, n - run, out);
}

// Code page 1258 has its own bytes for only some Vietnamese letters. Any
// other letter is written as a base letter it has followed by one of its
// five combining tone marks, as Windows writes it: ữ is ư + tilde (FD DE),
// ộ is ô + dot below (F4 F2). The table is worked out once from the
// canonical decompositions of the system's normalizer.
struct VietnameseForms {
  std::unordered_map<char16_t, std::array<uint8_t, 2>> map;

  VietnameseForms() {
    if (!syscp::IsKnown(kVietnamese)) return;
    // The one byte code page 1258 writes for a character, or nothing.
    auto byteOf = [&](char16_t ch) -> std::optional<uint8_t> {
      TVKBytes b;
      syscp::Encode(kVietnamese, &ch, 1, b);
      if (b.size() != 1 || (b[0] == '?' && ch != u'?')) return std::nullopt;
      return b[0];
    };
    constexpr std::pair<char16_t, uint8_t> kToneMarks[] = {
        {0x0300, 0xCC}, {0x0301, 0xEC}, {0x0303, 0xDE}, {0x0309, 0xD2}, {0x0323, 0xF2}};
    for (const auto& [first, last] : {std::pair<char16_t, char16_t>{0x00C0, 0x024F}, {0x1E00, 0x1EFF}}) {
      for (char16_t ch = first; ch <= last; ++ch) {
        std::u16string d, base;
        if (byteOf(ch) || !syscp::Normalize(false, std::u16string_view(&ch, 1), d)) continue;
        std::optional<uint8_t> tone;
        for (size_t i = 1; i < d.size(); ++i) {
          bool isTone = false;
          for (const auto& [mark, byte] : kToneMarks)
            if (d[i] == mark && !tone) tone = byte, isTone = true;
          if (!isTone) base.push_back(d[i]);
        }
        if (!tone) continue;
        std::u16string composed;
        if (!syscp::Normalize(true, d.substr(0, 1) + base, composed) || composed.size() != 1) continue;
        if (auto b = byteOf(composed[0])) map.emplace(ch, std::array<uint8_t, 2>{*b, *tone});
      }
    }
  }
};

// Text is composed first, so decomposed input (u + horn + tilde) is written
// the same way as ữ.
void EncodeVietnamese(std::u16string_view t, TVKBytes& out) {
  static const VietnameseForms forms;
  std::u16string composed;
  if (!IsAsciiText(t.data(), t.size()) && syscp::Normalize(true, t, composed)) t = composed;
  EncodeWithOverrides(t, kVietnamese,
                      [](char16_t ch, uint8_t* b) {
                        if (ch < 0xC0) return 0;
                        auto it = forms.map.find(ch);
                        if (it == forms.map.end()) return 0;
                        b[0] = it->second[0];
                        b[1] = it->second[1];
                        return 2;
                      },
                      out);
}

// A base letter and a tone mark read back as the composed letter.
void DecodeVietnamese(const uint8_t* b, size_t n, std::u16string& out) {
  const size_t at = out.size();
  syscp::Decode(kVietnamese, b, n, out);
  bool marks = false;
  for (size_t i = 0; i < n && !marks; ++i)
    marks = b[i] == 0xCC || b[i] == 0xEC || b[i] == 0xDE || b[i] == 0xD2 || b[i] == 0xF2;
  std::u16string composed;
  if (marks && syscp::Normalize(true, std::u16string_view(out).substr(at), composed)) {
    out.resize(at);
    out += composed;
  }
}

struct VisciiReverse {
  std::unordered_map<char16_t, uint8_t> map;
  VisciiReverse() {
    for (int i = 0; i < 128; ++i) map.emplace(kVisciiHigh[i], static_cast<uint8_t>(0x80 + i));
    for (const auto& l : kVisciiLow) map.emplace(l.Char, l.Byte);
  }
};

// Units up to 7F are written as themselves (so U+0002 and Ẳ share byte 02);
// a unit above 7F that is no VISCII letter becomes 00.
void EncodeViscii(std::u16string_view t, TVKBytes& out) {
  static const VisciiReverse rev;
  for (char16_t ch : t) {
    if (ch < 0x80) {
      out.push_back(static_cast<uint8_t>(ch));
      continue;
    }
    auto it = rev.map.find(ch);
    out.push_back(it == rev.map.end() ? 0 : it->second);
  }
}

void DecodeViscii(const uint8_t* b, size_t n, std::u16string& out) {
  for (size_t i = 0; i < n; ++i) {
    uint8_t x = b[i];
    char16_t ch = x;
    if (x >= 0x80) {
      ch = kVisciiHigh[x - 0x80];
    } else {
      for (const auto& l : kVisciiLow)
        if (l.Byte == x) ch = l.Char;
    }
    out.push_back(ch);
  }
}

// 64386438: one byte per character; U+1080..U+10FF travel as 80..FF.
void EncodeGeorgian(std::u16string_view t, TVKBytes& out) {
  for (char16_t ch : t) out.push_back(static_cast<uint8_t>(ch & 0xFF));
}

void DecodeGeorgian(const uint8_t* b, size_t n, std::u16string& out) {
  for (size_t i = 0; i < n; ++i) out.push_back(b[i] < 0x80 ? b[i] : static_cast<char16_t>(0x1000 + b[i]));
}

// HZ text switches to GB2312 with "~{" and back with "~}" ("~~" is a '~').
// A converter may leave text that ends in a Chinese character in GB2312
// mode (ICU's does); it is closed here, so the text ends in ASCII as HZ requires and
// whatever follows it in a file or field reads as ASCII.
void CloseHzText(size_t from, TVKBytes& out) {
  bool gb = false;
  size_t i = from;
  while (i < out.size()) {
    if (out[i] == '~' && i + 1 < out.size()) {  // a GB2312 pair never starts with '~'
      if (out[i + 1] == '{') gb = true;
      else if (out[i + 1] == '}') gb = false;
      i += 2;
      continue;
    }
    i += gb ? 2 : 1;
  }
  if (gb) out.insert(out.end(), {'~', '}'});
}

bool IsOwnOrHandled(uint32_t cp) {
  return cp == kUtf16LE || cp == kUtf16BE || cp == kUtf32LE || cp == kUtf32BE || cp == kUtf8 || cp == kBig5 || cp == kTurkishPlus ||
         cp == kViscii || cp == kGeorgian;
}

}  // namespace

// System/AnsiCodePage when it names a code page that converts, else the
// system's own choice (UTF-8 on Linux, the ANSI code page on Windows).
uint32_t AnsiCodePage() {
  const uint32_t cp = SysParams().AnsiCodePage;
  if (cp != 0 && (IsOwnOrHandled(cp) || syscp::IsKnown(cp))) return cp;
  const uint32_t sys = syscp::DefaultAnsiCodePage();
  return IsOwnOrHandled(sys) || syscp::IsKnown(sys) ? sys : kUtf8;
}

// 0 stands for the ANSI code page; a number that is neither handled here nor
// known to the system's converter falls back to the ANSI code page too.
uint32_t ResolveCodePage(uint32_t CodePage) {
  if (CodePage == 0) return AnsiCodePage();
  if (IsOwnOrHandled(CodePage) || syscp::IsKnown(CodePage)) return CodePage;
  return AnsiCodePage();
}

bool IsKnownCodePage(uint32_t CodePage) {
  return CodePage == 0 || IsOwnOrHandled(CodePage) || syscp::IsKnown(CodePage);
}

void AppendCodePageBytes(std::u16string_view Text, uint32_t CodePage, TVKBytes& Out) {
  switch (ResolveCodePage(CodePage)) {
    case kUtf8: EncodeUtf8(Text, Out); return;
    case kUtf16LE: EncodeUtf16(Text, false, Out); return;
    case kUtf16BE: EncodeUtf16(Text, true, Out); return;
    case kUtf32LE: EncodeUtf32(Text, false, Out); return;
    case kUtf32BE: EncodeUtf32(Text, true, Out); return;
    case kBig5: EncodeBig5(Text, Out); return;
    case kTurkishPlus: EncodeTurkishPlus(Text, Out); return;
    case kViscii: EncodeViscii(Text, Out); return;
    case kGeorgian: EncodeGeorgian(Text, Out); return;
    case kVietnamese: EncodeVietnamese(Text, Out); return;
    case kHz: {
      const size_t at = Out.size();
      syscp::Encode(kHz, Text.data(), Text.size(), Out);
      CloseHzText(at, Out);
      return;
    }
    default: {
      const uint32_t cp = ResolveCodePage(CodePage);
      if (syscp::IsKnown(cp)) syscp::Encode(cp, Text.data(), Text.size(), Out);
      else EncodeUtf8(Text, Out);
      return;
    }
  }
}

void AppendCodePageString(const uint8_t* Bytes, size_t Size, uint32_t CodePage, std::u16string& Out) {
  switch (ResolveCodePage(CodePage)) {
    case kUtf8: DecodeUtf8(Bytes, Size, Out); return;
    case kUtf16LE: DecodeUtf16(Bytes, Size, false, Out); return;
    case kUtf16BE: DecodeUtf16(Bytes, Size, true, Out); return;
    case kUtf32LE: DecodeUtf32(Bytes, Size, false, Out); return;
    case kUtf32BE: DecodeUtf32(Bytes, Size, true, Out); return;
    case kBig5: DecodeBig5(Bytes, Size, Out); return;
    case kTurkishPlus: DecodeTurkishPlus(Bytes, Size, Out); return;
    case kViscii: DecodeViscii(Bytes, Size, Out); return;
    case kGeorgian: DecodeGeorgian(Bytes, Size, Out); return;
    case kVietnamese: DecodeVietnamese(Bytes, Size, Out); return;
    default: {
      const uint32_t cp = ResolveCodePage(CodePage);
      if (syscp::IsKnown(cp)) syscp::Decode(cp, Bytes, Size, Out);
      else DecodeUtf8(Bytes, Size, Out);
      return;
    }
  }
}

TVKBytes StringToCodePageBytes(std::u16string_view Text, uint32_t CodePage) {
  TVKBytes out;
  AppendCodePageBytes(Text, CodePage, out);
  return out;
}

std::u16string CodePageBytesToString(const uint8_t* Bytes, size_t Size, uint32_t CodePage) {
  std::u16string out;
  AppendCodePageString(Bytes, Size, CodePage, out);
  return out;
}

// Encodes Text and, when it needs more than MaxBytes, keeps only the whole
// characters that fit: a multi-byte character is never cut in two.
TVKBytes StringToCodePageBytesCut(std::u16string_view Text, uint32_t CodePage, size_t MaxBytes) {
  TVKBytes out;
  uint32_t cp = ResolveCodePage(CodePage);
  AppendCodePageBytes(Text, cp, out);
  if (out.size() <= MaxBytes) return out;
  switch (cp) {
    case kUtf8: {
      size_t n = MaxBytes;
      while (n > 0 && (out[n] & 0xC0) == 0x80) --n;  // out[n] starts the first dropped character
      out.resize(n);
      return out;
    }
    case kUtf16LE:
    case kUtf16BE: {
      size_t units = MaxBytes / 2;
      if (units > 0) {
        char16_t last = Text[units - 1];
        if (last >= 0xD800 && last <= 0xDBFF) --units;  // keep a surrogate pair together
      }
      out.resize(units * 2);
      return out;
    }
    case kUtf32LE:
    case kUtf32BE:
      out.resize(MaxBytes / 4 * 4);
      return out;
    case kTurkishPlus:
    case kViscii:
    case kGeorgian:
      out.resize(MaxBytes);
      return out;
    default:
      break;
  }
  // Multi-byte Windows code pages: add one code point at a time.
  out.clear();
  TVKBytes one;
  size_t i = 0;
  while (i < Text.size()) {
    size_t len = (Text[i] >= 0xD800 && Text[i] <= 0xDBFF && i + 1 < Text.size()) ? 2 : 1;
    one.clear();
    AppendCodePageBytes(Text.substr(i, len), cp, one);
    if (out.size() + one.size() > MaxBytes) break;
    out.insert(out.end(), one.begin(), one.end());
    i += len;
  }
  return out;
}

}  // namespace vk
