// The parameters text of a conversion becomes the raw block the items read.
#include <gtest/gtest.h>

#include "tasks/convert_task.h"

namespace {

TEST(ConvertParams, TextSetsCodePageLabelCodeLengthAndPriceExponent) {
  struct Case {
    std::u16string text;
    uint32_t codePage;
    uint8_t lfCodeLen, exponent;
  } cases[] = {
      {u"", 936, 8, 2},
      {u"CodePage=1251;LFCodeLen=7", 1251, 7, 2},
      {u"codepage=1252,lfcodelen=6,unitpricemultiple=100", 1252, 6, 2},
      {u"UnitPriceMultiple=1000", 936, 8, 3},
      {u"UnitPriceMultiple=1", 936, 8, 0},
      {u"UnitPriceMultiple=10", 936, 8, 1},
      {u"UnitPriceMultiple=5", 936, 8, 2},
      {u"CodePage=abc;LFCodeLen=x", 936, 8, 2},
      {u"CodePage=65001;CodePage=1252", 65001, 8, 2},
  };
  for (const auto& c : cases) {
    vk::TVKSDKDeviceRawData raw = vk::ConvertDeviceRawData(c.text);
    EXPECT_EQ(raw.ProtocolType, 2);
    EXPECT_EQ(raw.PeerIP, 0u);
    EXPECT_EQ(raw.PeerPort, 5002u);
    EXPECT_EQ(raw.RawLE32(80), c.codePage);
    EXPECT_EQ(raw.Raw[147], c.lfCodeLen);
    EXPECT_EQ(raw.Raw[30], c.exponent);
  }
}

}  // namespace
