#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/pecr_tables.h"
#include "sim/sim_device.h"
#include "support/loopback.h"
#include "support/raw_client.h"
#include "support/sim_support.h"

namespace vemkasim {
namespace {

using vk::test::LoopbackAddr;

// A frame written out from the layout: data type, Addr (LE), 256 data bytes.
Bytes Frame(uint8_t type, uint16_t addr, const Bytes& data = {}) {
  Bytes f = {type, uint8_t(addr), uint8_t(addr >> 8)};
  f.insert(f.end(), data.begin(), data.end());
  f.resize(259, 0);
  return f;
}

// A PLU record of `size` bytes whose ID is the BCD written as hex (0x000130:
// ID 130) at 36..38 and whose other bytes follow `tag`.
Bytes Rec(size_t size, uint32_t bcdId, uint8_t tag) {
  Bytes r(size);
  for (size_t i = 0; i < size; ++i) r[i] = uint8_t(tag + i);
  r[36] = uint8_t(bcdId >> 16);
  r[37] = uint8_t(bcdId >> 8);
  r[38] = uint8_t(bcdId);
  return r;
}

Bytes Cat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kMarker = {0xFF, 0xFF, 0xFF, 0xFF};

// An upload read of block `block` of the table `code`.
Bytes Upload(uint16_t block, uint16_t code) {
  return Frame(14, 3, {uint8_t(block), uint8_t(block >> 8), uint8_t(code), uint8_t(code >> 8)});
}

PecrInfo Info(uint8_t power, bool legacy = false) {
  PecrInfo info;
  info.power = power;
  info.legacyBoard = legacy;
  return info;
}

class PecrTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VKTEST_REQUIRE_IN_PROCESS_SCALES();
    Start(PecrInfo{});
  }
  void TearDown() override {
    if (tables_) tables_->CancelLateAnswers();
    if (device_) device_->Stop();
  }
  void Start(const PecrInfo& info) {
    if (device_) device_->Stop();
    device_ = SimDevice::Pecr(LoopbackAddr(4), info);
    tables_ = std::make_unique<SimPecrTables>(*device_);
    device_->Start();
    ASSERT_TRUE(client_.Open(101));
  }
  Bytes Ask(const Bytes& request, int waitMs = 2000) {
    return client_.Ask(device_->Addr(), kPecrPort, request, waitMs);
  }
  Bytes Receive(int waitMs) { return client_.Receive(waitMs); }

  std::unique_ptr<SimDevice> device_;
  std::unique_ptr<SimPecrTables> tables_;
  vktest::RawClient client_;
};

// Each non-zero record of a block is stored under its ID, a later one with
// the same ID replacing it; a block of the other layout is stored in its
// own record size.
TEST_F(PecrTablesTest, StoresBlockRecordsByIdInBothLayouts) {
  const struct {
    const char* name;
    uint8_t power;
    uint8_t type, otherType;
    size_t size, otherSize, scaleSize;
  } cases[] = {
      {"64-byte", 0x00, 11, 123, 64, 128, 64},
      {"128-byte", 0xAC, 123, 11, 128, 64, 128},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Start(Info(c.power));
    EXPECT_EQ(tables_->PluRecordSize(), c.scaleSize);
    const Bytes r30 = Rec(c.size, 0x000030, 1), r2 = Rec(c.size, 0x000002, 2), r100 = Rec(c.size, 0x000100, 3),
                r30b = Rec(c.size, 0x000030, 4), other = Rec(c.otherSize, 0x000007, 5);
    const Bytes zero(c.size, 0);
    // 128-byte blocks carry two records, 64-byte blocks four.
    const std::vector<Bytes> blocks =
        c.size == 64 ? std::vector<Bytes>{Cat({r30, zero, r2, r100}), Cat({zero, r30b})}
                     : std::vector<Bytes>{Cat({r30, zero}), Cat({r2, r100}), Cat({zero, r30b})};
    for (size_t i = 0; i < blocks.size(); ++i)
      EXPECT_EQ(Ask(Frame(c.type, c.type == 123 ? uint16_t(i) : 0, blocks[i])), Bytes{0x02}) << i;
    EXPECT_EQ(Ask(Frame(c.otherType, 0, other)), Bytes{0x02});

    EXPECT_EQ(tables_->PluRecords(), (std::vector<Bytes>{r2, other, r30b, r100}));
    EXPECT_EQ(tables_->PluRecord(30), r30b);
    EXPECT_FALSE(tables_->PluRecord(31));
    EXPECT_EQ(tables_->RequestsSeen(c.type), int(blocks.size()));
  }
}

// Upload block b holds records b x n .. in ID order, then the end marker in
// the slot after the last record, then zeros; blocks past it are zero.
TEST_F(PecrTablesTest, UploadServesBlocksInIdOrderEndingWithTheMarker) {
  const struct {
    const char* name;
    uint16_t code;
    size_t size;
    int records;
  } cases[] = {
      {"64-byte, marker inside the block", 128, 64, 3},
      {"64-byte, marker opens a new block", 128, 64, 4},
      {"128-byte, marker inside the block", 132, 128, 3},
      {"128-byte, marker opens a new block", 132, 128, 2},
      {"empty table", 128, 64, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tables_->ClearPlu();
    std::vector<Bytes> recs;
    for (int i = c.records; i > 0; --i) tables_->PutPluRecord(Rec(c.size, uint32_t(0x10 * i), uint8_t(i)));
    for (int i = 1; i <= c.records; ++i) recs.push_back(Rec(c.size, uint32_t(0x10 * i), uint8_t(i)));
    Bytes stream = Cat(recs);  // the table as the blocks read in a row
    stream.insert(stream.end(), kMarker.begin(), kMarker.end());
    stream.resize(3 * 256, 0);
    for (uint16_t b = 0; b < 3; ++b)
      EXPECT_EQ(Ask(Upload(b, c.code)),
                Frame(14, 3, Bytes(stream.begin() + b * 256, stream.begin() + (b + 1) * 256)))
          << "block " << b;
  }
  // A record of the other size is cut or zero-filled to the table's.
  tables_->ClearPlu();
  const Bytes big = Rec(128, 0x000001, 9), small = Rec(64, 0x000002, 8);
  tables_->PutPluRecord(big);
  tables_->PutPluRecord(small);
  Bytes small128 = small;
  small128.resize(128, 0);
  EXPECT_EQ(Ask(Upload(0, 128)), Frame(14, 3, Cat({Bytes(big.begin(), big.begin() + 64), small, kMarker})));
  EXPECT_EQ(Ask(Upload(0, 132)), Frame(14, 3, Cat({big, small128})));

  // Another table code is not the table's: no answer, and the discovery
  // question (also 14 / 3) still gets the information block.
  EXPECT_TRUE(Ask(Upload(0, 0x99), 300).empty());
  EXPECT_EQ(Ask(Frame(14, 3, {0xFF, 0x0F, 0x00})), PecrInfo{}.Build());
}

// Clock, closing and clear frames are acknowledged with 02; a clear with
// other data is not one.
TEST_F(PecrTablesTest, ControlFramesKeepTheClockCountClosingAndClear) {
  EXPECT_TRUE(tables_->LastClock().empty());
  const Bytes clock = {0x26, 0x12, 0x11, 0x03, 0x55, 0x09};
  EXPECT_EQ(Ask(Frame(14, 1, Cat({{0, 0, 0, 0}, clock}))), Bytes{0x02});
  EXPECT_EQ(tables_->LastClock(), clock);
  EXPECT_EQ(tables_->ClockCount(), 1);

  EXPECT_EQ(Ask(Frame(14, 2)), Bytes{0x02});
  EXPECT_EQ(Ask(Frame(14, 2)), Bytes{0x02});
  EXPECT_EQ(tables_->ClosingFrames(), 2);

  tables_->PutPluRecord(Rec(64, 0x000005, 1));
  EXPECT_TRUE(Ask(Frame(14, 4, {0x00, 0x05}), 300).empty());
  EXPECT_EQ(tables_->PluCount(), 1u);
  EXPECT_EQ(Ask(Frame(14, 4, {0x00, 0x04})), Bytes{0x02});
  EXPECT_EQ(tables_->PluCount(), 0u);
  EXPECT_EQ(Ask(Upload(0, 128)), Frame(14, 3, kMarker));
}

// The short 108 request reads the parameter block, DotCount at byte 17; a
// legacy board stays silent.
TEST_F(PecrTablesTest, ParameterBlockCarriesDotCountExceptOnLegacyBoards) {
  const struct {
    const char* name;
    bool legacy;
    int dotCount;  // -1: left at its start value
    uint8_t expected;
  } cases[] = {
      {"start value", false, -1, 2},
      {"set", false, 3, 3},
      {"legacy board", true, 3, 0},
  };
  Bytes request(256, 0);
  request[0] = 108;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Start(Info(0, c.legacy));
    if (c.dotCount >= 0) tables_->SetDotCount(uint8_t(c.dotCount));
    if (c.legacy) {
      EXPECT_EQ(tables_->PluRecordSize(), 64u);
      EXPECT_TRUE(Ask(request, 300).empty());
    } else {
      Bytes block(256, 0);
      block[17] = c.expected;
      EXPECT_EQ(Ask(request), Frame(108, 0, block));
    }
    EXPECT_EQ(tables_->RequestsSeen(108), 1);
  }
}

// Each knob hits the second request only (after 1, count 1); the first and
// third are answered normally.
TEST_F(PecrTablesTest, FaultsHitTheirStretchOfRequests) {
  tables_->PutPluRecord(Rec(64, 0x000001, 1));
  const Bytes upload = Frame(14, 3, Cat({Rec(64, 0x000001, 1), kMarker}));
  Bytes params(256, 0);
  params[17] = 2;
  Bytes read(256, 0);
  read[0] = 108;
  const struct {
    const char* name;
    Bytes request, normal;
    PecrRequestFaults faults;
    Bytes expected;  // answer to the second request; empty: none
  } cases[] = {
      {"drop", Frame(14, 2), {0x02}, {.after = 1, .drop = 1}, {}},
      {"wrong type, ack", Frame(14, 2), {0x02}, {.after = 1, .wrongType = 1}, {0x03}},
      {"wrong type, frame", read, Frame(108, 0, params), {.after = 1, .wrongType = 1}, Frame(109, 0, params)},
      {"two-byte ack", Frame(11, 0), {0x02}, {.after = 1, .twoByteAck = 1}, {0x02, 0x00}},
      {"nak", Frame(14, 1), {0x02}, {.after = 1, .nak = 1}, {0x15}},
      {"no end marker", Upload(0, 128), upload, {.after = 1, .noEndMarker = 1}, Frame(14, 3, Rec(64, 0x000001, 1))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const uint8_t type = c.request[0];
    tables_->SetFaults(type, c.faults);
    EXPECT_EQ(Ask(c.request), c.normal);
    EXPECT_EQ(Ask(c.request, c.expected.empty() ? 300 : 2000), c.expected);
    EXPECT_EQ(Ask(c.request), c.normal);
    EXPECT_EQ(tables_->RequestsSeen(type), 3);
  }
}

TEST_F(PecrTablesTest, LateAnswersArriveAfterTheirDelay) {
  tables_->SetFaults(14, {.late = 1, .lateMs = 400});
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(Ask(Frame(14, 2), 100).empty());  // not yet
  EXPECT_EQ(Receive(3000), Bytes{0x02});
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(400));
  EXPECT_EQ(Ask(Frame(14, 2)), Bytes{0x02});  // only the first was late
}

}  // namespace
}  // namespace vemkasim
