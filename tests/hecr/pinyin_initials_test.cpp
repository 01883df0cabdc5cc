#include "hecr/items/pinyin_initials.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/types.h"

namespace vk {
namespace {

struct BytesCase {
  const char* what;
  std::vector<uint8_t> bytes;  // GB2312 (or GBK) bytes, written out by hand
  const char* expected;
};

TEST(PinyinInitials, ReducesGb2312BytesToInitials) {
  const BytesCase cases[] = {
      {"level-1 characters (苹果)", {0xC6, 0xBB, 0xB9, 0xFB}, "PG"},
      {"ASCII is copied and upper-cased", {'a', 'p', 'p', 'l', 'e', ' ', '1', '-'}, "APPLE 1-"},
      {"mixed ASCII and characters (苹a果)", {0xC6, 0xBB, 'a', 0xB9, 0xFB}, "PAG"},
      {"first and last code of the A range (啊 澳)", {0xB0, 0xA1, 0xB0, 0xC4}, "AA"},
      {"first code of the B range (芭)", {0xB0, 0xC5}, "B"},
      {"last level-1 character (座)", {0xD7, 0xF9}, "Z"},
      {"unused codes after the last level-1 character", {0xD7, 0xFA, 0xD7, 0xFE}, ""},
      {"full-width forms in zone 3 add nothing (Ａ１)", {0xA3, 0xC1, 0xA3, 0xB1}, ""},
      {"punctuation in zone 1 adds nothing (、)", {0xA1, 0xA2, 'x'}, "X"},
      {"level-2 characters (亍 鬲 齄)", {0xD8, 0xA1, 0xD8, 0xAA, 0xF7, 0xFE}, "CGZ"},
      {"a lone lead byte at the end ends the walk", {'a', 0xC6, 0xBB, 0xB9}, "AP"},
      {"a lone lead byte only", {0xC6}, ""},
      {"GBK character outside GB2312 (蘋) adds nothing", {0xCC, 0x4F, 0xB9, 0xFB}, "G"},
      {"GBK character with a low lead byte (丂)", {0x81, 0x40, 'b'}, "B"},
      {"lead bytes 80 and FF never match a character", {0x80, 0xA1, 0xFF, 0xA1}, ""},
      {"empty input", {}, ""},
  };
  for (const BytesCase& c : cases) {
    EXPECT_EQ(PinyinInitialsFromBytes(c.bytes.data(), c.bytes.size()), Widen(c.expected)) << c.what;
  }
}

// Reads the name as GB2312 whatever the ANSI code page is.
TEST(PinyinInitials, TextIsReadAsGb2312) {
  EXPECT_EQ(PinyinInitials(u"苹果 Apple1"), u"PG APPLE1");
  EXPECT_EQ(PinyinInitials(u"此单品已停售"), u"CDPYTS");
  EXPECT_EQ(PinyinInitials(u""), u"");
}

}  // namespace
}  // namespace vk
