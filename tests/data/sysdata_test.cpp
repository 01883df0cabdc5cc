#include "data/sysdata.h"

#include <gtest/gtest.h>

namespace vk {
namespace {

using SetFn = bool (*)(const TVKCodecContext&, std::u16string_view, uint8_t*, int32_t);
using GetFn = std::u16string (*)(const TVKCodecContext&, const uint8_t*, int32_t);

struct SetCase {
  const char* name;
  SetFn set;
  std::u16string text;
  TVKBytes want;  // the field after Set (it starts filled with EE)
  bool ok;
};

TEST(SysData, SetWritesTheFieldOrRefusesWhatDoesNotFit) {
  const uint8_t E = 0xEE;  // untouched
  const SetCase cases[] = {
      {"BCD 1234", &TVKSysData::SetBCD, u"1234", {0x12, 0x34}, true},
      {"BCD 5", &TVKSysData::SetBCD, u"5", {0x00, 0x05}, true},
      {"BCD 99 in one byte", &TVKSysData::SetBCD, u"99", {0x99}, true},
      {"BCD 100 in one byte", &TVKSysData::SetBCD, u"100", {E}, false},
      {"BCD 98765 in two", &TVKSysData::SetBCD, u"98765", {E, E}, false},
      {"BCD 1234567 in three", &TVKSysData::SetBCD, u"1234567", {E, E, E}, false},
      {"BCD empty", &TVKSysData::SetBCD, u"", {0x00, 0x00}, true},
      {"BCD not a number", &TVKSysData::SetBCD, u"12a", {0x00, 0x00}, true},
      {"BCD 20 digits", &TVKSysData::SetBCD, u"99999999999999999999", {E, E, E, E, E, E, E, E, E, E}, false},
      {"BIN 300 in one byte", &TVKSysData::SetBIN, u"300", {E}, false},
      {"BIN 255 in one byte", &TVKSysData::SetBIN, u"255", {0xFF}, true},
      {"BIN -128 in one byte", &TVKSysData::SetBIN, u"-128", {0x80}, true},
      {"BIN -129 in one byte", &TVKSysData::SetBIN, u"-129", {E}, false},
      {"BIN -1 in two", &TVKSysData::SetBIN, u"-1", {0xFF, 0xFF}, true},
      {"BIN 65536 in two", &TVKSysData::SetBIN, u"65536", {E, E}, false},
      {"BIN 258 in two", &TVKSysData::SetBIN, u"258", {0x01, 0x02}, true},
      {"BIN 4294967295 in four", &TVKSysData::SetBIN, u"4294967295", {E, E, E, E}, false},
      {"BIN $FFFFFFFF in four", &TVKSysData::SetBIN, u"$FFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}, true},
      {"BIN -2 in four", &TVKSysData::SetBIN, u"-2", {0xFF, 0xFF, 0xFF, 0xFE}, true},
      {"BIN x", &TVKSysData::SetBIN, u"x", {0x00, 0x00}, true},
      {"BIN size 3 untouched", &TVKSysData::SetBIN, u"5", {E, E, E}, true},
      {"BIN size 8", &TVKSysData::SetBIN, u"-2", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, true},
      {"UBIN 4294967295", &TVKSysData::SetUBIN, u"4294967295", {0xFF, 0xFF, 0xFF, 0xFF}, true},
      {"UBIN 4294967296", &TVKSysData::SetUBIN, u"4294967296", {E, E, E, E}, false},
      {"UBIN -1 in four", &TVKSysData::SetUBIN, u"-1", {0xFF, 0xFF, 0xFF, 0xFF}, true},
      {"UBIN 2 bytes as BIN", &TVKSysData::SetUBIN, u"258", {0x01, 0x02}, true},
      {"BINLE 258", &TVKSysData::SetBINLE, u"258", {0x02, 0x01}, true},
      {"BINLE 70000 in two", &TVKSysData::SetBINLE, u"70000", {E, E}, false},
      {"BINLE four", &TVKSysData::SetBINLE, u"$01020304", {0x04, 0x03, 0x02, 0x01}, true},
      {"PecrBIN 258", &TVKSysData::SetPecrBIN, u"258", {0x02, 0x01}, true},
  };
  TVKCodecContext ctx{65001};
  for (const auto& c : cases) {
    TVKBytes field(c.want.size(), E);
    EXPECT_EQ(c.set(ctx, c.text, field.data(), static_cast<int32_t>(field.size())), c.ok) << c.name;
    EXPECT_EQ(field, c.want) << c.name;
  }
}

struct GetCase {
  const char* name;
  GetFn get;
  TVKBytes bytes;
  std::u16string want;
};

TEST(SysData, GetReadsTheField) {
  const GetCase cases[] = {
      {"BCD", &TVKSysData::GetBCD, {0x00, 0x12, 0x34}, u"1234"},
      {"BCD zero", &TVKSysData::GetBCD, {0x00, 0x00, 0x00}, u"0"},
      {"BCD not decimal", &TVKSysData::GetBCD, {0x0A, 0x00}, u"0"},
      {"BIN -1 size 4", &TVKSysData::GetBIN, {0xFF, 0xFF, 0xFF, 0xFF}, u"-1"},
      {"BIN size 2 unsigned", &TVKSysData::GetBIN, {0xFF, 0xFF}, u"65535"},
      {"BIN size 1", &TVKSysData::GetBIN, {0xFE}, u"254"},
      {"BIN size 8", &TVKSysData::GetBIN, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, u"-2"},
      {"BIN size 3", &TVKSysData::GetBIN, {0x01, 0x02, 0x03}, u""},
      {"UBIN size 4", &TVKSysData::GetUBIN, {0xFF, 0xFF, 0xFF, 0xFF}, u"4294967295"},
      {"BINLE", &TVKSysData::GetBINLE, {0x02, 0x01}, u"258"},
      {"BINLE size 4", &TVKSysData::GetBINLE, {0xFE, 0xFF, 0xFF, 0xFF}, u"-2"},
      {"ASC", &TVKSysData::GetASC, {0x41, 0x42, 0, 0, 0, 0, 0, 0, 0, 0}, u"AB"},
      {"ASC blanks", &TVKSysData::GetASC, {0x20, 0x41, 0x20, 0x42, 0x0D, 0x00}, u"A B"},
      {"Text", &TVKSysData::GetText, {0x41, 0x0D, 0x0A, 0x09, 0x42, 0x00}, u"A{$0D}{$0A}{$09}B"},
  };
  TVKCodecContext ctx{65001};
  for (const auto& c : cases)
    EXPECT_EQ(c.get(ctx, c.bytes.data(), static_cast<int32_t>(c.bytes.size())), c.want) << c.name;
}

TEST(SysData, AscCutsAtWholeCharactersAndZeroFills) {
  struct Case {
    uint32_t cp;
    std::u16string text;
    TVKBytes want;
  } cases[] = {
      {1252, u"ABCDEFGHIJKL", {'A', 'B', 'C', 'D', 'E'}},
      {1252, u"AB", {'A', 'B', 0, 0, 0}},
      {65001, u"ABC中", {'A', 'B', 'C', 0, 0}},
      {65001, u"中A", {0xE4, 0xB8, 0xAD, 'A', 0}},
      {936, u"苹果汁", {0xC6, 0xBB, 0xB9, 0xFB, 0}},
      {950, u"Aあい", {'A', 0xA3, 0xC0, 0xA3, 0xCA}},
  };
  for (const auto& c : cases) {
    TVKBytes field(5, 0xEE);
    EXPECT_TRUE(TVKSysData::SetASC({c.cp}, c.text, field.data(), 5));
    EXPECT_EQ(field, c.want) << c.cp;
  }
}

TEST(SysData, TextUnescapesOnSetAndEscapesOnGet) {
  TVKCodecContext ctx{65001};
  TVKBytes field(8, 0);
  ASSERT_TRUE(TVKSysData::SetText(ctx, u"A{$0D}{$0A}B", field.data(), 8));
  EXPECT_EQ(field, (TVKBytes{'A', 0x0D, 0x0A, 'B', 0, 0, 0, 0}));
  EXPECT_EQ(TVKSysData::GetText(ctx, field.data(), 8), u"A{$0D}{$0A}B");
  EXPECT_EQ(TVKSysData::UnescapeControlChars(u"a\\r\\n\\tb<br>c{$09}"), u"a\r\n\tb\r\nc\t");
}

// Every codec: encode -> decode -> encode gives the same bytes.
TEST(SysData, EveryCodecRoundTrips) {
  struct Pair {
    SetFn set;
    GetFn get;
    int32_t size;
    std::u16string text;
  } pairs[] = {
      {&TVKSysData::SetBCD, &TVKSysData::GetBCD, 6, u"123456789012"},
      {&TVKSysData::SetBIN, &TVKSysData::GetBIN, 1, u"-1"},
      {&TVKSysData::SetBIN, &TVKSysData::GetBIN, 2, u"-300"},
      {&TVKSysData::SetBIN, &TVKSysData::GetBIN, 4, u"-123456"},
      {&TVKSysData::SetBIN, &TVKSysData::GetBIN, 8, u"-1234567890123"},
      {&TVKSysData::SetUBIN, &TVKSysData::GetUBIN, 4, u"-5"},
      {&TVKSysData::SetBINLE, &TVKSysData::GetBINLE, 4, u"70000"},
      {&TVKSysData::SetASC, &TVKSysData::GetASC, 6, u"Ṭest中"},
      {&TVKSysData::SetText, &TVKSysData::GetText, 12, u"a\r\nb\tc"},
  };
  TVKCodecContext ctx{65001};
  for (const auto& p : pairs) {
    TVKBytes a(p.size, 0), b(p.size, 0);
    ASSERT_TRUE(p.set(ctx, p.text, a.data(), p.size));
    std::u16string back = p.get(ctx, a.data(), p.size);
    ASSERT_TRUE(p.set(ctx, back, b.data(), p.size));
    EXPECT_EQ(a, b) << std::string(back.begin(), back.end());
  }
}

}  // namespace
}  // namespace vk
