#include <gtest/gtest.h>

#include <string>

#include "hecr/hecr_frame.h"

namespace vk {
namespace {

TVKBytes B(std::initializer_list<int> v) {
  TVKBytes out;
  for (int x : v) out.push_back(static_cast<uint8_t>(x));
  return out;
}

TEST(HecrFrame, CrcMatchesTheXmodemCheckValue) {
  const std::string text = "123456789";
  EXPECT_EQ(HecrCrc16(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0x31C3);
  EXPECT_EQ(HecrCrc16(B({0x41})), 0x58E5);
  EXPECT_EQ(HecrCrc16(nullptr, 0), 0);
}

TEST(HecrFrame, PackageBuildsHeadSumAndCrcBigEndian) {
  struct Case {
    const char* name;
    int32_t deviceId;
    uint16_t cmd, param;
    TVKBytes data;
    TVKBytes expected;
  };
  const Case cases[] = {
      {"no data", 0, 0x982E, 3, {},
       B({0xAA, 0, 0, 0, 0, 0x98, 0x2E, 0x00, 0x03, 0x00, 0x00, 0x00, 0x73})},
      {"one data byte", 0, 0x982E, 3, B({0x41}),
       B({0xAA, 0, 0, 0, 0, 0x98, 0x2E, 0x00, 0x03, 0x00, 0x00, 0x01, 0x74, 0x41, 0x58, 0xE5})},
      {"device id most significant first", 0x01020304, 0x800E, 0x1234, {},
       B({0xAA, 0x01, 0x02, 0x03, 0x04, 0x80, 0x0E, 0x12, 0x34, 0x00, 0x00, 0x00,
          (0xAA + 1 + 2 + 3 + 4 + 0x80 + 0x0E + 0x12 + 0x34) & 0xFF})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TVKHecrProtocol::Package(0xAA, c.deviceId, c.cmd, c.param, 0, c.data), c.expected);
    EXPECT_EQ(TVKHecrProtocol::Package(0xAA, c.deviceId, c.cmd, c.param, 0, c.data.data(),
                                       static_cast<uint32_t>(c.data.size())),
              c.expected);
    TVKHecrHeadInfo head;
    head.Sign = 0xAA;
    head.DeviceID = c.deviceId;
    head.CMD = c.cmd;
    head.Param = c.param;
    head.DataLen = 999;  // ignored: the length comes from the data
    EXPECT_EQ(TVKHecrProtocol::Package(head, c.data), c.expected);
  }
}

TEST(HecrFrame, PackageOfAKilobyteCarriesLengthAndChecksOut) {
  TVKBytes data(1024);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  const TVKBytes f = TVKHecrProtocol::Package(0xAA, 0, 0x982E, 9, 0, data);
  ASSERT_EQ(f.size(), 1024u + 15);
  EXPECT_EQ(f[10], 0x04);
  EXPECT_EQ(f[11], 0x00);
  EXPECT_TRUE(TVKHecrProtocol::CheckPackage(f));
  EXPECT_EQ(TVKHecrProtocol::GetData(f), data);
}

TEST(HecrFrame, GetHeadInfoDecodesBigEndianAndZeroesShortInput) {
  const TVKBytes f = B({0x55, 0x81, 0x02, 0x03, 0x04, 0x60, 0x2E, 0xFF, 0xFE, 0x07, 0x01, 0x02, 0});
  const TVKHecrHeadInfo h = TVKHecrProtocol::GetHeadInfo(f);
  EXPECT_EQ(+h.Sign, 0x55);
  EXPECT_EQ(+h.DeviceID, static_cast<int32_t>(0x81020304u));
  EXPECT_EQ(+h.CMD, 0x602E);
  EXPECT_EQ(+h.Param, 0xFFFE);
  EXPECT_EQ(+h.PackageNO, 7);
  EXPECT_EQ(+h.DataLen, 0x0102);

  const TVKHecrHeadInfo z = TVKHecrProtocol::GetHeadInfo(TVKBytes(f.begin(), f.begin() + 12));
  EXPECT_EQ(+z.Sign, 0);
  EXPECT_EQ(+z.DeviceID, 0);
  EXPECT_EQ(+z.CMD, 0);
  EXPECT_EQ(+z.Param, 0);
  EXPECT_EQ(+z.PackageNO, 0);
  EXPECT_EQ(+z.DataLen, 0);
}

TEST(HecrFrame, CheckPackageNeedsHeadSumAndCrcButNotDataLen) {
  const TVKBytes bare = B({0xAA, 0, 0, 0, 0, 0x98, 0x2E, 0x00, 0x03, 0x00, 0x00, 0x00, 0x73});
  const TVKBytes one =
      B({0xAA, 0, 0, 0, 0, 0x98, 0x2E, 0x00, 0x03, 0x00, 0x00, 0x01, 0x74, 0x41, 0x58, 0xE5});
  auto with = [](TVKBytes f, size_t at, uint8_t v) { f[at] = v; return f; };
  // DataLen says 5 bytes; head sum re-made so only DataLen disagrees.
  TVKBytes lying = with(one, 11, 0x05);
  lying[12] = 0x78;

  struct Case {
    const char* name;
    TVKBytes frame;
    bool valid;
  };
  const Case cases[] = {
      {"bare head", bare, true},
      {"bare head, wrong sum", with(bare, 12, 0x74), false},
      {"twelve bytes", TVKBytes(bare.begin(), bare.begin() + 12), false},
      {"empty", {}, false},
      {"one data byte", one, true},
      {"wrong crc", with(one, 15, 0xE6), false},
      {"wrong data byte", with(one, 13, 0x42), false},
      {"wrong head sum with data", with(one, 12, 0x73), false},
      {"data length disagrees with frame length", lying, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TVKHecrProtocol::CheckPackage(c.frame), c.valid);
  }
}

TEST(HecrFrame, GetDataIsDecidedByFrameLength) {
  const TVKBytes head = B({0xAA, 0, 0, 0, 0, 0x98, 0x2E, 0x00, 0x03, 0x00, 0x00, 0x00, 0x73});
  EXPECT_TRUE(TVKHecrProtocol::GetData(head).empty());
  TVKBytes f15 = head;
  f15.insert(f15.end(), {0x12, 0x34});
  EXPECT_TRUE(TVKHecrProtocol::GetData(f15).empty());
  // DataLen claims 0 but three bytes sit between head and CRC.
  TVKBytes f18 = head;
  f18.insert(f18.end(), {0x01, 0x02, 0x03, 0xAB, 0xCD});
  EXPECT_EQ(TVKHecrProtocol::GetData(f18), B({1, 2, 3}));
}

}  // namespace
}  // namespace vk
