#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "hecr/hecr_frame.h"
#include "sim/hecr_tables.h"
#include "sim/sim_device.h"
#include "support/loopback.h"
#include "transport/udp_socket.h"

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
  void SetUp() override { Start(HecrInfo{}); }
  void TearDown() override {
    if (tables_) tables_->CancelLateAnswers();
    if (device_) device_->Stop();
  }
  void Start(const HecrInfo& info) {
    if (device_) device_->Stop();
    device_ = SimDevice::Hecr(LoopbackAddr(2), info);
    tables_ = std::make_unique<SimHecrTables>(*device_);
    device_->Start();
    ASSERT_TRUE(sock_.IsOpen() || sock_.Open(LoopbackAddr(100), 0));
  }
  // Sends one request and returns the answer (empty when none comes within
  // waitMs).
  Bytes Ask(const Bytes& request, int waitMs = 2000) {
    uint32_t a = 0;
    EXPECT_TRUE(vk::ParseDottedIPv4(device_->Addr(), a));
    EXPECT_TRUE(sock_.SendTo(a, kHecrPort, request.data(), request.size()));
    return Receive(waitMs);
  }
  Bytes Receive(int waitMs) {
    std::vector<uint8_t> buf(65536);
    size_t got = 0;
    uint32_t from = 0;
    uint16_t port = 0;
    if (sock_.ReceiveFrom(buf.data(), buf.size(), waitMs, got, from, port) != vk::UdpSocket::RecvStatus::Ok)
      return {};
    buf.resize(got);
    return buf;
  }

  std::unique_ptr<SimDevice> device_;
  std::unique_ptr<SimHecrTables> tables_;
  vk::UdpSocket sock_;
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

}  // namespace
}  // namespace vemkasim
