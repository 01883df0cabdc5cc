#include <gtest/gtest.h>

#include "pecr/pecr_frame.h"

namespace vk {
namespace {

TEST(PecrFrame, PackageIsAlways259BytesWithLittleEndianAddr) {
  TVKBytes payload(300);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i + 1);
  const TVKBytes cut = TVKPecrProtocol::Package(2, 1016, payload);
  ASSERT_EQ(cut.size(), 259u);
  EXPECT_EQ(cut[0], 2);
  EXPECT_EQ(cut[1], 0xF8);
  EXPECT_EQ(cut[2], 0x03);
  EXPECT_EQ(TVKBytes(cut.begin() + 3, cut.end()), TVKBytes(payload.begin(), payload.begin() + 256));

  TVKBytes shortFrame(259, 0);
  shortFrame[0] = 14;
  shortFrame[1] = 3;
  shortFrame[3] = 0xFF;
  shortFrame[4] = 0x0F;
  const TVKBytes req = {0xFF, 0x0F, 0x00};
  EXPECT_EQ(TVKPecrProtocol::Package(14, 3, req), shortFrame);
  EXPECT_EQ(TVKPecrProtocol::Package(TVKPecrHeadInfo{14, 3}, req), shortFrame);
  EXPECT_EQ(TVKPecrProtocol::Package(14, 3, req.data(), 3), shortFrame);
  EXPECT_EQ(TVKSysPecr::Package(14, 3, req), shortFrame);
  EXPECT_EQ(TVKSysPecr::Package(14, 3, req.data(), 3), shortFrame);

  TVKBytes empty(259, 0);
  empty[0] = 14;
  empty[1] = 2;
  EXPECT_EQ(TVKPecrProtocol::Package(14, 2, TVKBytes{}), empty);
  EXPECT_EQ(TVKSysPecr::Package(14, 2, nullptr, -5), empty);
}

TEST(PecrFrame, OnlyExactly259BytesParse) {
  TVKBytes frame(259, 0x55);
  frame[0] = 14;
  frame[1] = 0x34;
  frame[2] = 0x12;
  EXPECT_TRUE(TVKPecrProtocol::CheckPackage(frame));
  const TVKPecrHeadInfo h = TVKPecrProtocol::GetHeadInfo(frame);
  EXPECT_EQ(+h.DataType, 14);
  EXPECT_EQ(+h.Addr, 0x1234);
  EXPECT_EQ(TVKPecrProtocol::GetData(frame), TVKBytes(256, 0x55));

  for (size_t n : {size_t{0}, size_t{1}, size_t{258}, size_t{260}}) {
    SCOPED_TRACE(n);
    const TVKBytes other(n, 0x55);
    EXPECT_FALSE(TVKPecrProtocol::CheckPackage(other));
    EXPECT_TRUE(TVKPecrProtocol::GetData(other).empty());
    const TVKPecrHeadInfo z = TVKPecrProtocol::GetHeadInfo(other);
    EXPECT_EQ(+z.DataType, 0);
    EXPECT_EQ(+z.Addr, 0);
  }
}

TEST(PecrFrame, SysPecrSettersKeepTheBufferAt259Bytes) {
  TVKSysPecr p(123, 7, TVKBytes(256, 0xEE));
  EXPECT_EQ(p.GetDT(), 123);
  EXPECT_EQ(p.GetAddr(), 7);
  // A shorter payload clears what a longer one left behind.
  p.SetData(TVKBytes{1, 2});
  TVKBytes want(256, 0);
  want[0] = 1;
  want[1] = 2;
  EXPECT_EQ(p.GetData(), want);
  p.SetAddr(0xABCD);
  EXPECT_EQ(p.GetPackageBuff()[1], 0xCD);
  EXPECT_EQ(p.GetPackageBuff()[2], 0xAB);
  EXPECT_EQ(p.GetPackageBuff().size(), 259u);
}

TEST(PecrFrame, CheckReturnWantsTheSingleByte02) {
  const struct {
    TVKBytes reply;
    bool ok;
  } cases[] = {{{0x02}, true}, {{0x02, 0x00}, false}, {{0x03}, false}, {{}, false}};
  for (const auto& c : cases) EXPECT_EQ(TVKSysPecr::CheckReturn(c.reply), c.ok);
}

}  // namespace
}  // namespace vk
