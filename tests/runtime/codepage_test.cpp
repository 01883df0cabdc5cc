#include "runtime/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "runtime/codepage_tables.h"

namespace vk {
namespace {

struct EncodeCase {
  const char* name;
  uint32_t cp;
  std::u16string text;
  TVKBytes bytes;
  bool roundTrip;  // the bytes decode back to the text
};

TEST(CodePage, EncodesAndDecodesEveryKindOfCodePage) {
  const EncodeCase cases[] = {
      {"utf8 ascii", 65001, u"Apple", {0x41, 0x70, 0x70, 0x6C, 0x65}, true},
      {"utf8 multi", 65001, u"é中", {0xC3, 0xA9, 0xE4, 0xB8, 0xAD}, true},
      {"utf8 pair", 65001, u"\U0001F600", {0xF0, 0x9F, 0x98, 0x80}, true},
      {"utf8 lone surrogate", 65001, std::u16string(1, char16_t(0xD800)), {0xEF, 0xBF, 0xBD}, false},
      {"utf16le", 1200, u"A中", {0x41, 0x00, 0x2D, 0x4E}, true},
      {"utf16be", 1201, u"A中", {0x00, 0x41, 0x4E, 0x2D}, true},
      {"950 hiragana", 950, u"あい", {0xA3, 0xC0, 0xA3, 0xCA}, true},
      {"950 extra kanji", 950, u"苷酶", {0xF9, 0xDF, 0xF9, 0xE3}, true},
      {"950 last hiragana", 950, u"へを", {0xA3, 0xE2, 0xA3, 0xEE}, true},
      {"950 ordinary big5", 950, u"不變", {0xA4, 0xA3, 0xC5, 0xDC}, true},
      {"950 mixed", 950, u"A不あ", {0x41, 0xA4, 0xA3, 0xA3, 0xC0}, true},
      {"12541254 schwa", 12541254, u"Əə", {0xD7, 0xF7}, true},
      {"12541254 turkish", 12541254, u"ğş", {0xF0, 0xFE}, true},
      {"viscii letter", 12581258, u"Ạ", {0x80}, true},
      {"viscii control positions", 12581258, u"ẲẴẪỶỸỴ", {0x02, 0x05, 0x06, 0x14, 0x19, 0x1E}, true},
      {"viscii not a letter", 12581258, u"€", {0x00}, false},
      {"64386438", 64386438, u"A\u10D0\u1080\u10FF", {0x41, 0xD0, 0x80, 0xFF}, true},
      {"1252", 1252, u"€é", {0x80, 0xE9}, true},
      {"1252 unmappable", 1252, u"a中b", {0x61, 0x3F, 0x62}, false},
      {"1252 unmappable pair", 1252, u"\U0001F600", {0x3F, 0x3F}, false},
      {"936", 936, u"中文", {0xD6, 0xD0, 0xCE, 0xC4}, true},
      {"936 unmappable", 936, u"\u0E01", {0x3F}, false},
      {"1251", 1251, u"Жж", {0xC6, 0xE6}, true},
      {"932", 932, u"あ", {0x82, 0xA0}, true},
      {"949", 949, u"한", {0xC7, 0xD1}, true},
      {"874", 874, u"\u0E01", {0xA1}, true},
      {"1258", 1258, u"Ơ", {0xD5}, true},
      {"1252 ascii", 1252, u"Apple\t1", {0x41, 0x70, 0x70, 0x6C, 0x65, 0x09, 0x31}, true},
      {"ebcdic ascii letters", 37, u"AB1", {0xC1, 0xC2, 0xF1}, true},  // ASCII text not kept as it is
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StringToCodePageBytes(c.text, c.cp), c.bytes);
    if (c.roundTrip) {
      EXPECT_EQ(CodePageBytesToString(c.bytes, c.cp), c.text);
    }
  }
}

// Bytes from hex pairs ("5A 61 BF").
TVKBytes Hex(const char* text) {
  TVKBytes out;
  for (const char* p = text; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return out;
}

// Names in many scripts give the same bytes whichever converter the platform
// uses: nothing is written "best fit" (ł is '?', never 'l'; Greek in 1252 is
// not turned into Latin), every unit without a byte is one '?', a surrogate
// pair two.
TEST(CodePage, NamesGiveTheSameBytesOnEveryPlatform) {
  struct Case {
    uint32_t cp;
    std::u16string text;
    const char* hex;
    bool roundTrip;
  } cases[] = {
      {1250, u"Zażółć gęślą jaźń", "5A 61 BF F3 B3 E6 20 67 EA 9C 6C B9 20 6A 61 9F F1", true},
      {1250, u"Příliš žluťoučký kůň", "50 F8 ED 6C 69 9A 20 9E 6C 75 9D 6F 75 E8 6B FD 20 6B F9 F2", true},
      {1254, u"Şişli Ağaç", "DE 69 FE 6C 69 20 41 F0 61 E7", true},
      {1258, u"Phở bò", "50 68 F5 D2 20 62 6F CC", true},
      {1253, u"Αθήνα", "C1 E8 DE ED E1", true},
      {1251, u"Москва", "CC EE F1 EA E2 E0", true},
      {866, u"Москва", "8C AE E1 AA A2 A0", true},
      {437, u"Größe\x1A\x1C\x7F", "47 72 94 E1 65 1A 1C 7F", true},  // ASCII controls stay themselves
      {936, u"北京烤鸭", "B1 B1 BE A9 BF BE D1 BC", true},
      {950, u"臺北牛肉麵", "BB 4F A5 5F A4 FB A6 D7 C4 D1", true},
      {932, u"東京ラーメン", "93 8C 8B 9E 83 89 81 5B 83 81 83 93", true},
      {949, u"서울 김치", "BC AD BF EF 20 B1 E8 C4 A1", true},
      {874, u"กรุงเทพ", "A1 C3 D8 A7 E0 B7 BE", true},
      {65001, u"Café 😀", "43 61 66 C3 A9 20 F0 9F 98 80", true},
      {1201, u"Café 😀", "00 43 00 61 00 66 00 E9 00 20 D8 3D DE 00", true},
      {12000, u"é😀", "E9 00 00 00 00 F6 01 00", true},
      {12001, u"é😀", "00 00 00 E9 00 01 F6 00", true},
      {12000, std::u16string(1, char16_t(0xD800)) + u"B", "3F 00 00 00 42 00 00 00", false},  // stays aligned
      {1252, u"Kiełbasa śląska", "4B 69 65 3F 62 61 73 61 20 3F 6C 3F 73 6B 61", false},
      {1252, u"Αθήνα", "3F 3F 3F 3F 3F", false},
      {1252, u"Café 😀", "43 61 66 E9 20 3F 3F", false},
      {936, u"鸭😀", "D1 BC 3F 3F", false},
      {1250, u"€ ©", "80 20 A9", true},
      {1252, u"a" + std::u16string(1, char16_t(0xDC00)) + u"b", "61 3F 62", false},  // lone surrogate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cp << " " << c.hex);
    const TVKBytes bytes = Hex(c.hex);
    EXPECT_EQ(StringToCodePageBytes(c.text, c.cp), bytes);
    if (c.roundTrip) {
      EXPECT_EQ(CodePageBytesToString(bytes, c.cp), c.text);
    }
  }
}

// Bytes that are no character of their code page read the same on every
// platform: U+FFFD (U+001A in 932), and a byte that cannot be a trail byte
// is not swallowed by the lead byte before it.
TEST(CodePage, UndefinedBytesReadTheSameOnEveryPlatform) {
  struct Case {
    uint32_t cp;
    const char* hex;
    std::u16string text;
  } cases[] = {
      {1252, "41 81 42", u"A\u0081B"},
      {12000, "00 00 11 00 00 D8 00 00 41 00", u"\uFFFD\uFFFD\uFFFD"},  // too big, surrogate, part unit
      {1253, "AA D2", u"\u00AA\uFFFD"},
      {1255, "CA", u"\uFFFD"},
      {20127, "41 E9", u"A\uFFFD"},
      {936, "81 27 41", u"\uFFFD'A"},         // 27 is no trail byte
      {936, "81 7F", u"\uFFFD\u007F"},
      {936, "41 B1", u"A\uFFFD"},             // cut short
      {936, "80", u"€"},
      {950, "80 A4", u"\u0080\uFFFD"},
      {949, "FF", u"\uF8F7"},
      {932, "80 81 31", u"\u001A\u001A1"},
      {932, "85 40", u"\uFFFD"},              // a well-formed pair with no character
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cp << " " << c.hex);
    EXPECT_EQ(CodePageBytesToString(Hex(c.hex), c.cp), c.text);
  }
}

// Windows code pages that ICU knows under another name than "windows-N":
// each one converts as itself instead of falling back to the ANSI code page.
TEST(CodePage, WindowsCodePagesWithIcuNamesOfTheirOwn) {
  const EncodeCase cases[] = {
      {"20936 GB2312", 20936, u"中文", {0xD6, 0xD0, 0xCE, 0xC4}, true},
      {"51936 EUC-CN", 51936, u"中文", {0xD6, 0xD0, 0xCE, 0xC4}, true},
      {"52936 HZ", 52936, u"中文", {0x7E, 0x7B, 0x56, 0x50, 0x4E, 0x44, 0x7E, 0x7D}, true},  // ends in ASCII
      {"52936 HZ mixed", 52936, u"中A", {0x7E, 0x7B, 0x56, 0x50, 0x7E, 0x7D, 0x41}, true},
      {"20932 EUC-JP", 20932, u"日本", {0xC6, 0xFC, 0xCB, 0xDC}, true},
      {"51932 EUC-JP", 51932, u"日本", {0xC6, 0xFC, 0xCB, 0xDC}, true},
      {"50220 ISO-2022-JP", 50220, u"日本", {0x1B, 0x24, 0x42, 0x46, 0x7C, 0x4B, 0x5C, 0x1B, 0x28, 0x42}, true},
      {"20949 Wansung", 20949, u"한국", {0xC7, 0xD1, 0xB1, 0xB9}, true},
      {"50225 ISO-2022-KR", 50225, u"한", {0x1B, 0x24, 0x29, 0x43, 0x0E, 0x47, 0x51, 0x0F}, true},
      {"12000 UTF-32LE", 12000, u"A€", {0x41, 0, 0, 0, 0xAC, 0x20, 0, 0}, true},
      {"12001 UTF-32BE", 12001, u"A€", {0, 0, 0, 0x41, 0, 0, 0x20, 0xAC}, true},
      {"20273 EBCDIC German", 20273, u"AÄÜ", {0xC1, 0x4A, 0x5A}, true},
      {"708 ASMO Arabic", 708, u"ب", {0xC8}, true},
      {"38598 Hebrew logical", 38598, u"א", {0xE0}, true},
      {"28605 Latin-9", 28605, u"€", {0xA4}, true},
      {"50930 EBCDIC Japanese", 50930, u"A", {0xC1}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
#ifdef _WIN32
    // Windows may lack some of these pages (Wine has none of the stateful,
    // EUC or EBCDIC ones); a page the system does not have is only reported.
    if (!IsKnownCodePage(c.cp)) {
      std::printf("code page %s is not installed\n", c.name);
      continue;
    }
#endif
    EXPECT_EQ(ResolveCodePage(c.cp), c.cp);
    EXPECT_EQ(StringToCodePageBytes(c.text, c.cp), c.bytes);
    EXPECT_EQ(CodePageBytesToString(c.bytes, c.cp), c.text);
  }
}

// Code page 1258 writes the Vietnamese letters it has no byte for as a base
// letter and a tone mark, and reads them back composed.
TEST(CodePage, VietnameseLettersWithoutTheirOwnByteKeepTheirTone) {
  const EncodeCase cases[] = {
      {"sentence", 1258, u"Cà phê sữa đá",
       {0x43, 0xE0, 0x20, 0x70, 0x68, 0xEA, 0x20, 0x73, 0xFD, 0xDE, 0x61, 0x20, 0xF0, 0xE1}, true},
      {"every tone mark", 1258, u"ờớỡởợ", {0xF5, 0xCC, 0xF5, 0xEC, 0xF5, 0xDE, 0xF5, 0xD2, 0xF5, 0xF2}, true},
      {"dot below under a circumflex", 1258, u"ộẬ", {0xF4, 0xF2, 0xC2, 0xF2}, true},
      {"plain letters and hook", 1258, u"ảĂ", {0x61, 0xD2, 0xC3}, true},
      {"decomposed input", 1258, u"u\u031B\u0303", {0xFD, 0xDE}, false},
      {"no Vietnamese form", 1258, u"中", {0x3F}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StringToCodePageBytes(c.text, c.cp), c.bytes);
    if (c.roundTrip) {
      EXPECT_EQ(CodePageBytesToString(c.bytes, c.cp), c.text);
    }
  }
  // Every letter of the alphabet, each tone, both cases.
  const std::u16string alphabet =
      u"aàáảãạăằắẳẵặâầấẩẫậeèéẻẽẹêềếểễệiìíỉĩịoòóỏõọôồốổỗộơờớởỡợuùúủũụưừứửữựyỳýỷỹỵđ"
      u"AÀÁẢÃẠĂẰẮẲẴẶÂẦẤẨẪẬEÈÉẺẼẸÊỀẾỂỄỆIÌÍỈĨỊOÒÓỎÕỌÔỒỐỔỖỘƠỜỚỞỠỢUÙÚỦŨỤƯỪỨỬỮỰYỲÝỶỸỴĐ";
  const TVKBytes bytes = StringToCodePageBytes(alphabet, 1258);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), uint8_t('?')), 0);
  EXPECT_EQ(CodePageBytesToString(bytes, 1258), alphabet);
  // A cut field never keeps a base letter without its tone mark.
  EXPECT_EQ(StringToCodePageBytesCut(u"sữa", 1258, 2), (TVKBytes{0x73}));
}

TEST(CodePage, Big5ExtrasAreReadOnlyAtCharacterStarts) {
  // A3 C5 is an extra hiragana, but inside 不變 it is the second half of one
  // character and the first half of the next.
  EXPECT_EQ(CodePageBytesToString(TVKBytes{0xA4, 0xA3, 0xC5, 0xDC}, 950), u"不變");
  EXPECT_EQ(CodePageBytesToString(TVKBytes{0x41, 0xA3, 0xC5}, 950), u"Aは");
}

TEST(CodePage, OwnTablesRoundTripEveryCharacter) {
  for (const auto& x : kBig5Extras) {
    std::u16string s(1, x.Char);
    TVKBytes b = StringToCodePageBytes(s, 950);
    EXPECT_EQ(b, (TVKBytes{x.Lead, x.Trail}));
    EXPECT_EQ(CodePageBytesToString(b, 950), s);
  }
  for (int i = 0; i < 128; ++i) {
    std::u16string s(1, kVisciiHigh[i]);
    EXPECT_EQ(StringToCodePageBytes(s, 12581258), TVKBytes{uint8_t(0x80 + i)});
    EXPECT_EQ(CodePageBytesToString(TVKBytes{uint8_t(0x80 + i)}, 12581258), s);
  }
  for (int b = 1; b < 256; ++b) {
    std::u16string s = CodePageBytesToString(TVKBytes{uint8_t(b)}, 64386438);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0], b < 0x80 ? char16_t(b) : char16_t(0x1000 + b));
    EXPECT_EQ(StringToCodePageBytes(s, 64386438), TVKBytes{uint8_t(b)});
  }
}

TEST(CodePage, ZeroAndUnknownNumbersUseTheAnsiCodePage) {
  uint32_t ansi = AnsiCodePage();
  EXPECT_EQ(ResolveCodePage(0), ansi);
  EXPECT_EQ(ResolveCodePage(4242), ansi);
  EXPECT_EQ(ResolveCodePage(12581258), 12581258u);
  EXPECT_EQ(StringToCodePageBytes(u"é", 4242), StringToCodePageBytes(u"é", ansi));
}

TEST(CodePage, CutKeepsWholeCharacters) {
  struct Case {
    uint32_t cp;
    std::u16string text;
    size_t max;
    TVKBytes bytes;
  } cases[] = {
      {65001, u"aé", 2, {0x61}},
      {65001, u"aé", 3, {0x61, 0xC3, 0xA9}},
      {65001, u"中", 2, {}},
      {936, u"中文", 3, {0xD6, 0xD0}},
      {936, u"a中", 2, {0x61}},
      {950, u"Aあい", 4, {0x41, 0xA3, 0xC0}},
      {1200, u"a\U0001F600", 4, {0x61, 0x00}},
      {1252, u"abcdef", 3, {0x61, 0x62, 0x63}},
  };
  for (const auto& c : cases) EXPECT_EQ(StringToCodePageBytesCut(c.text, c.cp, c.max), c.bytes) << c.cp;
}

// ICU converters are per thread: threads converting at once never mix up
// each other's state.
TEST(CodePage, ThreadsConvertIndependently) {
  const std::u16string text = u"苹果汁 Äpfel 12.5 あい";
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  for (uint32_t cp : {936u, 950u, 1252u, 932u}) {
    threads.emplace_back([&, cp] {
      const TVKBytes want = StringToCodePageBytes(text, cp);
      for (int i = 0; i < 2000; ++i) {
        TVKBytes b = StringToCodePageBytes(text, cp);
        if (b != want || CodePageBytesToString(b, cp) != CodePageBytesToString(want, cp)) ++bad;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace vk
