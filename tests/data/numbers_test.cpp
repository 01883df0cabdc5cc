#include "data/numbers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vk {
namespace {

TEST(Numbers, IntegerRule) {
  struct Case {
    std::u16string text;
    TVKIntParse r32;
    int32_t v32;
  } cases[] = {
      {u"123", TVKIntParse::ipOk, 123},
      {u"  -42", TVKIntParse::ipOk, -42},
      {u"+7", TVKIntParse::ipOk, 7},
      {u"$1F", TVKIntParse::ipOk, 31},
      {u"0x1f", TVKIntParse::ipOk, 31},
      {u"$FFFFFFFF", TVKIntParse::ipOk, -1},
      {u"-2147483648", TVKIntParse::ipOk, INT32_MIN},
      {u"2147483648", TVKIntParse::ipOverflow, 0},
      {u"$100000000", TVKIntParse::ipOverflow, 0},
      {u"", TVKIntParse::ipInvalid, 0},
      {u"-", TVKIntParse::ipInvalid, 0},
      {u"12 ", TVKIntParse::ipInvalid, 0},
      {u"1.5", TVKIntParse::ipInvalid, 0},
      {u"abc", TVKIntParse::ipInvalid, 0},
  };
  for (const auto& c : cases) {
    int32_t v = 0;
    EXPECT_EQ(ParseInt32(c.text, v), c.r32) << std::string(c.text.begin(), c.text.end());
    if (c.r32 == TVKIntParse::ipOk) {
  EXPECT_EQ(v, c.v32);
    }
  }
  EXPECT_EQ(StrToIntDef(u"x", 9), 9);
  EXPECT_EQ(StrToInt64Def(u"9223372036854775807", 0), INT64_MAX);
  EXPECT_EQ(StrToInt64Def(u"9223372036854775808", -5), -5);
  uint64_t u = 0;
  EXPECT_EQ(ParseUInt64(u"18446744073709551615", u), TVKIntParse::ipOk);
  EXPECT_EQ(u, UINT64_MAX);
  EXPECT_EQ(ParseUInt64(u"18446744073709551616", u), TVKIntParse::ipOverflow);
  EXPECT_EQ(ParseUInt64(u"-1", u), TVKIntParse::ipInvalid);
}

TEST(Numbers, ScaleDecimalIsExactAndRoundsHalfToEven) {
  struct Case {
    std::u16string text;
    int64_t multiple;
    bool fits;
    int64_t out;
  } cases[] = {
      {u"12.345", 100, true, 1234},
      {u"1.015", 100, true, 102},
      {u"0.125", 100, true, 12},
      {u"0.135", 100, true, 14},
      {u"12,5", 100, true, 1250},
      {u"12.5", 1, true, 12},
      {u"13.5", 1, true, 14},
      {u"-2.5", 1, true, -2},
      {u"-2.51", 1, true, -3},
      {u"0.0049", 100, true, 0},
      {u"0.005000001", 100, true, 1},
      {u"1.5", 1000, true, 1500},
      {u"1.5E2", 10, true, 1500},
      {u" 3 ", 10, true, 30},
      {u"2.5", 5, true, 12},  // 12.5 -> 12
      {u"", 100, true, 0},
      {u"abc", 100, true, 0},
      {u"1,234.5", 100, true, 0},  // a thousands separator is not a number
      {u"92233720368547758.07", 100, true, INT64_MAX},
      {u"92233720368547758.08", 100, false, 0},
      {u"-92233720368547758.08", 100, true, INT64_MIN},
      {u"1E30", 1, false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = -99;
    EXPECT_EQ(ScaleDecimal(c.text, c.multiple, v), c.fits) << std::string(c.text.begin(), c.text.end());
    if (c.fits) {
  EXPECT_EQ(v, c.out) << std::string(c.text.begin(), c.text.end());
    }
  }
}

TEST(Numbers, FormatScaledPrintsShortestForm) {
  EXPECT_EQ(FormatScaled(1250, 100), u"12.5");
  EXPECT_EQ(FormatScaled(1200, 100), u"12");
  EXPECT_EQ(FormatScaled(5, 1000), u"0.005");
  EXPECT_EQ(FormatScaled(-5, 100), u"-0.05");
  EXPECT_EQ(FormatScaled(0, 100), u"0");
  EXPECT_EQ(FormatScaled(INT64_MIN, 1), u"-9223372036854775808");
  EXPECT_EQ(FormatScaled(25, 2), u"12.5");
  // Export then import gives the same integer.
  for (int64_t v : {1LL, 99LL, 123456789012LL, -7LL}) {
    int64_t back = 0;
    ASSERT_TRUE(ScaleDecimal(FormatScaled(v, 1000), 1000, back));
    EXPECT_EQ(back, v);
  }
}

TEST(Numbers, FloatTextUsesDotOrCommaBothWays) {
  EXPECT_DOUBLE_EQ(MyStrToFloatDef(u"12,50", -1), 12.5);
  EXPECT_DOUBLE_EQ(MyStrToFloatDef(u"1.5", -1), 1.5);
  EXPECT_DOUBLE_EQ(MyStrToFloatDef(u"-1e3", -1), -1000);
  EXPECT_DOUBLE_EQ(MyStrToFloatDef(u"1.234,5", -1), -1);
  EXPECT_DOUBLE_EQ(MyStrToFloatDef(u"", -1), -1);
  EXPECT_DOUBLE_EQ(MyStrToFloatDef(u"1.5x", -1), -1);
  EXPECT_EQ(MyFloatToStr(12.5), u"12.5");
  EXPECT_EQ(MyFloatToStr(0.1), u"0.1");
  EXPECT_EQ(MyFloatToStr(100), u"100");
  EXPECT_EQ(MyFloatToStr(1e20), u"1E20");
  EXPECT_EQ(MyFloatToStr(0.00001), u"1E-5");
  EXPECT_EQ(MyFloatToStr(1.0 / 3), u"0.333333333333333");
}

TEST(Numbers, DatesReadAndWriteTheSameFormat) {
  TDateTime d = MyStrToDateTimeDef(u"2024/3/5 8:07", -1);
  int y, mo, day, h, mi, s, ms;
  DecodeDateTime(d, y, mo, day, h, mi, s, ms);
  EXPECT_EQ((std::vector<int>{y, mo, day, h, mi, s}), (std::vector<int>{2024, 3, 5, 8, 7, 0}));
  EXPECT_EQ(MyDateTimeToStr(d), u"2024-3-5 8:07:00");
  EXPECT_EQ(MyDateTimeToStr(MyStrToDateTimeDef(u"2024-12-31", -1)), u"2024-12-31");
  EXPECT_DOUBLE_EQ(MyStrToDateTimeDef(u"1899-12-30", -1), 0);
  EXPECT_EQ(MyDateTimeToStr(MyStrToDateTimeDef(u"2024-3-5 23:59:58", -1)), u"2024-3-5 23:59:58");
  for (const char16_t* bad : {u"2024-2-30", u"2024-13-1", u"2024-1-1 25:00", u"5.3.2024", u"", u"2024-1-1x"})
    EXPECT_DOUBLE_EQ(MyStrToDateTimeDef(bad, -7), -7);
}

}  // namespace
}  // namespace vk
