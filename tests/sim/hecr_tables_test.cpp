#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "hecr/hecr_frame.h"
#include "sim/hecr_tables.h"
#include "sim/sim_device.h"
#include "support/loopback.h"
#include "support/raw_client.h"
#include "support/sim_support.h"

namespace vemkasim {
namespace {

using vk::test::LoopbackAddr;

// A frame written out from the layout: 13-byte head with its sum, data, CRC.
Bytes Frame(uint16_t cmd, uint16_t param, const Bytes& data = {}) {
  Bytes f = {0xAA, 0, 0, 0, 0, uint8_t(cmd >> 8), uint8_t(cmd), uint8_t(param >> 8), uint8_t(param), 0,
             uint8_t(data.size() >> 8), uint8_t(data.size()), 0};
  unsigned sum = 0;
  for (int i = 0; i < 12; ++i) sum += f[i];
  f[12] = uint8_t(sum);
  if (data.empty()) return f;
  f.insert(f.end(), data.begin(), data.end());
  const uint16_t crc = vk::HecrCrc16(data);
  f.push_back(uint8_t(crc >> 8));
  f.push_back(uint8_t(crc));
  return f;
}

// A 512-byte PLU record whose ID sits as 3 BCD bytes at 0 and whose name
// byte 13 tells records apart.
Bytes PluRecord(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t tag) {
  Bytes r(512, 0);
  r[0] = b0;
  r[1] = b1;
  r[2] = b2;
  r[13] = tag;
  return r;
}

class HecrTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VKTEST_REQUIRE_IN_PROCESS_SCALES();
    Start(HecrInfo{});
  }
  void TearDown() override {
    if (tables_) tables_->CancelLateAnswers();
    if (device_) device_->Stop();
  }
  void Start(const HecrInfo& info) {
    if (device_) device_->Stop();
    device_ = SimDevice::Hecr(LoopbackAddr(2), info);
    tables_ = std::make_unique<SimHecrTables>(*device_);
    device_->Start();
    ASSERT_TRUE(client_.Open(100));
  }
  Bytes Ask(const Bytes& request, int waitMs = 2000) {
    return client_.Ask(device_->Addr(), kHecrPort, request, waitMs);
  }
  Bytes Receive(int waitMs) { return client_.Receive(waitMs); }

  std::unique_ptr<SimDevice> device_;
  std::unique_ptr<SimHecrTables> tables_;
  vktest::RawClient client_;
};

TEST_F(HecrTablesTest, StoresPluRecordsAndServesThemBackInIdOrder) {
  const Bytes r30 = PluRecord(0x00, 0x00, 0x30, 'a'), r2 = PluRecord(0x00, 0x00, 0x02, 'b'),
              r100 = PluRecord(0x00, 0x01, 0x00, 'c');
  EXPECT_EQ(Ask(Frame(0x982E, 0, r30)), Frame(0x800E, 0));
  EXPECT_EQ(Ask(Frame(0x982E, 1, r2)), Frame(0x800E, 1));
  EXPECT_EQ(Ask(Frame(0x982E, 7, r100)), Frame(0x800E, 7));
  // The same ID again replaces the record.
  const Bytes r30b = PluRecord(0x00, 0x00, 0x30, 'd');
  EXPECT_EQ(Ask(Frame(0x982E, 3, r30b)), Frame(0x800E, 3));
  // A record that is not 512 bytes is neither kept nor acknowledged.
  EXPECT_TRUE(Ask(Frame(0x982E, 4, Bytes(511, 0x11)), 300).empty());

  EXPECT_EQ(tables_->PluCount(), 3u);
  EXPECT_EQ(tables_->PluIds(), (std::vector<uint32_t>{2, 30, 100}));
  EXPECT_EQ(tables_->PluRecord(30), r30b);
  EXPECT_EQ(tables_->PluReceived(), 4u);

  Bytes counts(16, 0);
  counts[1] = 3;
  counts[3] = 9;  // a counter set by the test (text table 12)
  tables_->SetCounter(2, 9);
  EXPECT_EQ(Ask(Frame(0x6033, 0)), Frame(0x6033, 0, counts));

  EXPECT_EQ(Ask(Frame(0x602E, 0)), Frame(0x602E, 0, r2));
  EXPECT_EQ(Ask(Frame(0x602E, 1)), Frame(0x602E, 1, r30b));
  EXPECT_EQ(Ask(Frame(0x602E, 2)), Frame(0x602E, 2, r100));
  EXPECT_EQ(Ask(Frame(0x602E, 3)), Frame(0x602E, 3));  // past the end: no data

  EXPECT_EQ(Ask(Frame(0x6071, 5, {0x00, 0x00, 0x01, 0x00})), Frame(0x6071, 5, r100));
  EXPECT_EQ(Ask(Frame(0x6071, 6, {0x00, 0x00, 0x00, 0x31})), Frame(0x6071, 6));  // absent

  EXPECT_EQ(Ask(Frame(0x9830, 0)), Frame(0x800E, 0));
  EXPECT_EQ(tables_->PluCount(), 0u);
  EXPECT_EQ(Ask(Frame(0x602E, 0)), Frame(0x602E, 0));
}

TEST_F(HecrTablesTest, KeysRecordsByTheIdAt239WhenLabelCodesHaveEightDigits) {
  HecrInfo info;
  info.lfCodeLen = 8;
  Start(info);
  Bytes r(512, 0);
  r[239] = 0x12;
  r[240] = 0x34;
  r[241] = 0x56;
  r[242] = 0x78;
  EXPECT_EQ(Ask(Frame(0x982E, 0, r)), Frame(0x800E, 0));
  EXPECT_EQ(tables_->PluIds(), (std::vector<uint32_t>{12345678}));
  EXPECT_EQ(Ask(Frame(0x6071, 0, {0x12, 0x34, 0x56, 0x78})), Frame(0x6071, 0, r));
}

TEST_F(HecrTablesTest, IgnoresRequestsThatFailTheFrameCheck) {
  const Bytes good = Frame(0x982E, 0, PluRecord(0, 0, 0x42, 'q'));
  Bytes badCrc = good, badSum = good, longer = good;
  ++badCrc.back();
  ++badSum[12];
  longer.push_back(0);  // one byte more than DataLen says
  for (const Bytes& f : {badCrc, badSum, longer}) EXPECT_TRUE(Ask(f, 300).empty());
  EXPECT_EQ(tables_->PluCount(), 0u);
  EXPECT_EQ(Ask(good), Frame(0x800E, 0));
  EXPECT_EQ(tables_->PluIds(), (std::vector<uint32_t>{42}));
}

TEST_F(HecrTablesTest, KeepsTheLastClockBytes) {
  EXPECT_TRUE(tables_->LastClock().empty());
  const Bytes clock = {0x26, 0x12, 0x10, 0x13, 0x05, 0x09, 0x00};
  EXPECT_EQ(Ask(Frame(0x7003, 0, clock)), Frame(0x800E, 0));
  EXPECT_EQ(tables_->LastClock(), clock);
  EXPECT_EQ(tables_->ClockCount(), 1);
}

// Each knob hits the second request only (after 1, count 1); the first and
// third are answered normally.
TEST_F(HecrTablesTest, CommandFaultsHitTheirStretchOfRequests) {
  const std::vector<Bytes> recs = {PluRecord(0, 0, 1, 'x'), PluRecord(0, 0, 2, 'y'), PluRecord(0, 0, 3, 'z')};
  for (const auto& r : recs) tables_->PutPluRecord(r);
  auto badSum = [](Bytes f) { ++f[12]; return f; };
  auto badCrc = [](Bytes f) { ++f.back(); return f; };
  struct Case {
    const char* name;
    uint16_t cmd;
    HecrCommandFaults faults;
    Bytes expected;  // answer to the second request (Param 1); empty: none
  } cases[] = {
      {"drop", 0x7003, {.after = 1, .drop = 1}, {}},
      {"wrong Param", 0x7003, {.after = 1, .wrongParam = 1}, Frame(0x800E, 0)},
      {"wrong CMD", 0x7003, {.after = 1, .wrongCmd = 1}, Frame(0x800F, 1)},
      {"bad sum", 0x7003, {.after = 1, .badCrc = 1}, badSum(Frame(0x800E, 1))},
      {"empty data", 0x602E, {.after = 1, .emptyData = 1}, Frame(0x602E, 1)},
      {"bad CRC", 0x602E, {.after = 1, .badCrc = 1}, badCrc(Frame(0x602E, 1, recs[1]))},
      {"wrong CMD with data", 0x602E, {.after = 1, .wrongCmd = 1}, Frame(0x602F, 1, recs[1])},
  };
  const Bytes clock(7, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tables_->SetFaults(c.cmd, c.faults);
    auto request = [&](uint16_t param) {
      return c.cmd == 0x602E ? Frame(0x602E, param) : Frame(0x7003, param, clock);
    };
    auto normal = [&](uint16_t param) {
      return c.cmd == 0x602E ? Frame(0x602E, param, recs[param]) : Frame(0x800E, param);
    };
    EXPECT_EQ(Ask(request(0)), normal(0));
    EXPECT_EQ(Ask(request(1), c.expected.empty() ? 300 : 2000), c.expected);
    EXPECT_EQ(Ask(request(2)), normal(2));
    EXPECT_EQ(tables_->RequestsSeen(c.cmd), 3);
  }
}

TEST_F(HecrTablesTest, LateAnswersArriveAfterTheirDelay) {
  tables_->SetFaults(0x7003, {.late = 1, .lateMs = 400});
  const Bytes clock(7, 0);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(Ask(Frame(0x7003, 0, clock), 100).empty());  // not yet
  EXPECT_EQ(Receive(3000), Frame(0x800E, 0));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(400));
  EXPECT_EQ(Ask(Frame(0x7003, 1, clock)), Frame(0x800E, 1));  // only the first was late
}

// Bytes that tell every place apart: byte i of a block tagged t.
Bytes Pattern(size_t n, uint8_t tag) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 7 + i / 251 + tag);
  return b;
}

Bytes Slice(const Bytes& b, size_t from, size_t n) {
  if (from >= b.size()) return {};
  return Bytes(b.begin() + long(from), b.begin() + long(std::min(b.size(), from + n)));
}

// Keyed tables: each record is stored under its BCD key (a later one with
// the same key replaces it), served back in ascending key order as stored,
// counted by its 6033 counter and cleared by the delete command.
TEST_F(HecrTablesTest, KeyedTablesServeTheirRecordsInKeyOrder) {
  const struct {
    const char* name;
    uint8_t dataType;
    uint16_t down, up, erase;
    size_t sizeA, sizeB;  // record sizes the table takes
    size_t counterAt;
  } cases[] = {
      {"plu", 0, 0x982E, 0x602E, 0x9830, 512, 512, 0},
      {"nutrition info", 27, 0x9825, 0x6023, 0x9824, 512, 512, 6},
      {"note1", 12, 0x9847, 0x6029, 0x9831, 505, 1017, 2},
      {"note2", 13, 0x9846, 0x6021, 0x9832, 1017, 505, 4},
      {"note3", 14, 0x985C, 0x605A, 0x985D, 505, 1017, 8},
      {"note4", 28, 0x9868, 0x6068, 0x9869, 1017, 505, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto rec = [](size_t size, uint8_t b1, uint8_t b2, uint8_t tag) {
      Bytes r = Pattern(size, tag);
      r[0] = 0;
      r[1] = b1;
      r[2] = b2;
      return r;
    };
    const Bytes k30 = rec(c.sizeA, 0x00, 0x30, 1), k2 = rec(c.sizeB, 0x00, 0x02, 2),
                k100 = rec(c.sizeA, 0x01, 0x00, 3), k30b = rec(c.sizeB, 0x00, 0x30, 4);
    EXPECT_EQ(Ask(Frame(c.down, 0, k30)), Frame(0x800E, 0));
    EXPECT_EQ(Ask(Frame(c.down, 1, k2)), Frame(0x800E, 1));
    EXPECT_EQ(Ask(Frame(c.down, 2, k100)), Frame(0x800E, 2));
    EXPECT_EQ(Ask(Frame(c.down, 3, k30b)), Frame(0x800E, 3));
    EXPECT_TRUE(Ask(Frame(c.down, 4, Bytes(511, 0x11)), 300).empty());  // not a record of the table

    EXPECT_EQ(Ask(Frame(c.up, 0)), Frame(c.up, 0, k2));
    EXPECT_EQ(Ask(Frame(c.up, 1)), Frame(c.up, 1, k30b));
    EXPECT_EQ(Ask(Frame(c.up, 2)), Frame(c.up, 2, k100));
    EXPECT_EQ(Ask(Frame(c.up, 3)), Frame(c.up, 3));
    EXPECT_EQ(tables_->Records(c.dataType), (std::vector<Bytes>{k2, k30b, k100}));
    EXPECT_EQ(tables_->Received(c.dataType), 4u);

    Bytes counts(16, 0);
    counts[c.counterAt + 1] = 3;
    EXPECT_EQ(Ask(Frame(0x6033, 0)), Frame(0x6033, 0, counts));

    EXPECT_EQ(Ask(Frame(c.erase, 5)), Frame(0x800E, 5));
    EXPECT_EQ(Ask(Frame(c.up, 0)), Frame(c.up, 0));
    EXPECT_EQ(Ask(Frame(0x6033, 0)), Frame(0x6033, 0, Bytes(16, 0)));
  }
}

TEST_F(HecrTablesTest, NotesAreKeyedByFourDigitsWhenLabelCodesHaveEightDigits) {
  HecrInfo info;
  info.lfCodeLen = 8;
  Start(info);
  Bytes note(505, 0);
  note[0] = 0x12, note[1] = 0x34, note[2] = 0x56, note[3] = 0x78;
  EXPECT_EQ(Ask(Frame(0x9847, 0, note)), Frame(0x800E, 0));
  EXPECT_EQ(tables_->Keys(12), (std::vector<uint32_t>{12345678}));
}

// Paged tables: download Param p writes at p x package (bytes past the area
// are ignored), upload Param p returns package p of the head block and the
// area, shorter at the end, with no data past it.
TEST_F(HecrTablesTest, PagedTablesPlacePackagesAndServeThemBack) {
  const struct {
    const char* name;
    uint8_t dataType;
    uint16_t down, up;
    size_t area, package, head, upPackage;
  } cases[] = {
      {"unit", 1, 0x9823, 0x6022, 25 * 16, 256, 0, 256},
      {"department", 2, 0x9814, 0x6014, 99 * 64, 256, 0, 256},
      {"nutrition element", 26, 0x9834, 0x6032, 20 * 64, 1024, 0, 1024},
      {"discount", 5, 0x9811, 0x6011, 99 * 128, 128, 128, 512},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(tables_->Area(c.dataType), Bytes(c.area, 0));
    const Bytes area = Pattern(c.area, c.dataType);
    const size_t packages = (c.area + c.package - 1) / c.package;
    // Whole packages, the last one running past the area; then one wholly
    // past it.
    for (size_t p = 0; p <= packages; ++p) {
      Bytes data = Slice(area, p * c.package, c.package);
      data.resize(c.package, 0xEE);
      EXPECT_EQ(Ask(Frame(c.down, uint16_t(p), data)), Frame(0x800E, uint16_t(p)));
    }
    EXPECT_EQ(tables_->Area(c.dataType), area);

    Bytes stream(c.head, 0);
    stream.insert(stream.end(), area.begin(), area.end());
    const size_t upPackages = (stream.size() + c.upPackage - 1) / c.upPackage;
    for (size_t p = 0; p < upPackages; ++p)
      EXPECT_EQ(Ask(Frame(c.up, uint16_t(p))),
                Frame(c.up, uint16_t(p), Slice(stream, p * c.upPackage, c.upPackage)))
          << p;
    EXPECT_EQ(Ask(Frame(c.up, uint16_t(upPackages))), Frame(c.up, uint16_t(upPackages)));
  }
}

// Hotkeys: events are a list (Param 0 starts it afresh), buttons an area of
// HotKeyCount records. The touch layout serves buttons with their own
// commands; the plain layout serves them with the event upload command, in
// turn after the events.
TEST_F(HecrTablesTest, HotkeyEventsAndButtonsInBothLayouts) {
  const struct {
    const char* name;
    uint8_t touch;
    uint16_t down, up, otherDown;  // otherDown: the other layout's button download
    size_t record, package;
  } cases[] = {
      {"plain", 0, 0x9812, 0x6013, 0x9884, 4, 256},
      {"touch", 2, 0x9884, 0x6079, 0x9812, 64, 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HecrInfo info;
    info.hotkeyCount = 70;
    info.touch = c.touch;
    Start(info);
    const bool plain = c.touch != 2;
    const Bytes buttons = Pattern(70 * c.record, 9);
    for (size_t p = 0; p * c.package < buttons.size(); ++p)
      EXPECT_EQ(Ask(Frame(c.down, uint16_t(p), Slice(buttons, p * c.package, c.package))),
                Frame(0x800E, uint16_t(p)));
    EXPECT_TRUE(Ask(Frame(c.otherDown, 0, Bytes(c.package, 1)), 300).empty());
    EXPECT_EQ(tables_->Area(3), buttons);

    // Ten events over two frames, after an earlier list that Param 0 drops.
    EXPECT_EQ(Ask(Frame(0x9813, 0, Bytes(64, 0x55))), Frame(0x800E, 0));
    const Bytes events = Pattern(10 * 32, 3);
    EXPECT_EQ(Ask(Frame(0x9813, 0, Slice(events, 0, 256))), Frame(0x800E, 0));
    EXPECT_EQ(Ask(Frame(0x9813, 1, Slice(events, 256, 256))), Frame(0x800E, 1));
    EXPECT_EQ(tables_->Events(3), events);

    auto events0 = Frame(0x6013, 0, Slice(events, 0, 256));
    auto buttonPackage = [&](uint16_t p) { return Frame(c.up, p, Slice(buttons, p * c.package, c.package)); };
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(Ask(Frame(0x6013, 0)), events0);
      EXPECT_EQ(Ask(Frame(0x6013, 1)), Frame(0x6013, 1, Slice(events, 256, 256)));
      EXPECT_EQ(Ask(Frame(0x6013, 2)), Frame(0x6013, 2));  // the events are over
      EXPECT_EQ(Ask(Frame(c.up, 0)), buttonPackage(0));
      EXPECT_EQ(Ask(Frame(c.up, 1)), buttonPackage(1));
      if (round == 0 && c.touch == 2) {
        EXPECT_EQ(Ask(Frame(c.up, 5)), Frame(c.up, 5));
      }
    }
    // Plain: a Param past the buttons also ends them.
    if (plain) {
      EXPECT_EQ(Ask(Frame(0x6013, 2)), Frame(0x6013, 2));
      EXPECT_EQ(Ask(Frame(0x6013, 9)), Frame(0x6013, 9));
      EXPECT_EQ(Ask(Frame(0x6013, 0)), events0);
    }

    // Events numbering HotKeyCount: their last package leads to the
    // buttons without an empty reply; a download starts with the events
    // again.
    const Bytes all = Pattern(70 * 32, 4);
    for (size_t p = 0; p * 256 < all.size(); ++p)
      EXPECT_EQ(Ask(Frame(0x9813, uint16_t(p), Slice(all, p * 256, 256))), Frame(0x800E, uint16_t(p)));
    for (uint16_t p = 0; p < 9; ++p)
      EXPECT_EQ(Ask(Frame(0x6013, p)), Frame(0x6013, p, Slice(all, p * 256, 256)));
    EXPECT_EQ(Ask(Frame(c.up, 0)), buttonPackage(0));
    EXPECT_EQ(Ask(Frame(c.down, 0, Slice(buttons, 0, c.package))), Frame(0x800E, 0));
    EXPECT_EQ(Ask(Frame(0x6013, 0)), Frame(0x6013, 0, Slice(all, 0, 256)));
  }
}

}  // namespace
}  // namespace vemkasim
