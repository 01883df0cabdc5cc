// The parameters text of a conversion becomes the raw block the items read.
#include <gtest/gtest.h>

#include "tasks/convert_task.h"

namespace {

TEST(ConvertParams, TextSetsCodePageLabelCodeLengthAndExponents) {
  struct Case {
    std::u16string text;
    uint32_t codePage;
    uint8_t lfCodeLen, exponent, weightExponent;
  } cases[] = {
      {u"", 936, 8, 2, 0},
      {u"CodePage=1251;LFCodeLen=7", 1251, 7, 2, 0},
      {u"codepage=1252,lfcodelen=6,unitpricemultiple=100", 1252, 6, 2, 0},
      {u"UnitPriceMultiple=1000", 936, 8, 3, 0},
      {u"UnitPriceMultiple=1", 936, 8, 0, 0},
      {u"UnitPriceMultiple=10", 936, 8, 1, 0},
      {u"UnitPriceMultiple=5", 936, 8, 2, 0},
      {u"CodePage=abc;LFCodeLen=x", 936, 8, 2, 0},
      {u"CodePage=65001;CodePage=1252", 65001, 8, 2, 0},
      {u"WeightMultiple=1000", 936, 8, 2, 3},
      {u"weightmultiple = 1 ; UnitPriceMultiple=10", 936, 8, 1, 0},
      {u"WeightMultiple=10,CodePage=1252", 1252, 8, 2, 1},
      {u"WeightMultiple=1000000000", 936, 8, 2, 9},
  };
  for (const auto& c : cases) {
    vk::TVKSDKDeviceRawData raw;
    ASSERT_TRUE(vk::ConvertDeviceRawData(c.text, raw));
    EXPECT_EQ(raw.ProtocolType, 2);
    EXPECT_EQ(raw.PeerIP, 0u);
    EXPECT_EQ(raw.PeerPort, 5002u);
    EXPECT_EQ(raw.RawLE32(80), c.codePage);
    EXPECT_EQ(raw.Raw[147], c.lfCodeLen);
    EXPECT_EQ(raw.Raw[30], c.exponent);
    EXPECT_EQ(raw.Raw[32], c.weightExponent);
  }
}

// A weight multiple that is not a power of ten would scale every weight
// wrongly: the text is refused.
TEST(ConvertParams, WeightMultipleThatIsNotAPowerOfTenIsRefused) {
  for (std::u16string text : {u"WeightMultiple=5", u"WeightMultiple=0", u"WeightMultiple=-10", u"WeightMultiple=",
                              u"WeightMultiple=abc", u"WeightMultiple=100.5", u"WeightMultiple=2147483647"}) {
    vk::TVKSDKDeviceRawData raw;
    EXPECT_FALSE(vk::ConvertDeviceRawData(text, raw)) << std::string(text.begin(), text.end());
  }
}

}  // namespace
