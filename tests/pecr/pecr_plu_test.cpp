// PLU tables on Pecr scales through the exported functions, against the
// simulated Pecr scale: the order of the datagrams, both record sizes and
// both layouts, prices by the scale's decimals, the end marker, clears, and
// the ways a task fails (each still closed with the closing frame).
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/pecr_tables.h"
#include "sim/sim_device.h"
#include "support/hecr_scale.h"
#include "support/loopback.h"
#include "support/sim_support.h"

namespace {

using namespace vemkasim;
namespace fs = std::filesystem;

constexpr int32_t kPlu = 0;

PecrInfo Info(bool record128, bool legacy = false) {
  PecrInfo i;
  i.power = record128 ? 0xAC : 0;
  i.legacyBoard = legacy;
  return i;
}

class PecrScale {
 public:
  // `first` may add request handlers that answer before the table's.
  explicit PecrScale(const PecrInfo& info = {}, int host = 3, const std::function<void(SimDevice&)>& first = {})
      : addr_(vk::test::LoopbackAddr(host)) {
    dev_ = &net_.AddPecr(addr_, info);
    if (first) first(*dev_);
    tables_ = std::make_unique<SimPecrTables>(*dev_);
    net_.Start(false);
  }
  ~PecrScale() {
    tables_->CancelLateAnswers();
    net_.Stop();
  }
  SimPecrTables& Tables() { return *tables_; }
  SimDevice& Device() { return *dev_; }
  const std::string& Addr() const { return addr_; }
  uint32_t Exec(uint32_t procType, int32_t dataType, const fs::path& file, vktest::Recorder* rec = nullptr) {
    vktest::Recorder local;
    vktest::Recorder* r = rec ? rec : &local;
    return vktest::LoadSdkDefault().Sync_ExecTask(vktest::U16(addr_).c_str(), 5001, 1, procType, dataType,
                                                  vktest::U16(file.string()).c_str(), &vktest::Recorder::Cb, r);
  }
  // The requests the scale received after detection: data type and Addr.
  std::vector<std::pair<int, int>> Requests() const {
    std::vector<std::pair<int, int>> out;
    for (const auto& d : dev_->Log().Of(Direction::Received)) {
      if (d.bytes.empty()) continue;
      const int addr = d.bytes.size() >= 3 ? d.bytes[1] | d.bytes[2] << 8 : -1;
      if (d.bytes[0] == 14 && addr == 3 && d.bytes.size() > 12 && d.bytes[3] == 0xFF) continue;  // detection
      out.emplace_back(d.bytes[0], addr);
    }
    return out;
  }
  std::vector<Bytes> Frames(uint8_t dataType) const {
    std::vector<Bytes> out;
    for (const auto& d : dev_->Log().Of(Direction::Received))
      if (!d.bytes.empty() && d.bytes[0] == dataType) out.push_back(d.bytes);
    return out;
  }

 private:
  std::string addr_;
  SimNetwork net_;
  SimDevice* dev_ = nullptr;
  std::unique_ptr<SimPecrTables> tables_;
};

const std::string kHeader128 =
    "ID\tName1\tLabel1ID\tDiscountID\tDepartmentID\tBarcodeType1\tPrice\tUnitID\tPCSType\tValidDate\tMessage1\t"
    "Message2\tPackageWeight\tPackageType\tTareValue\tItemCode\tName2\r\n";

TEST(PecrPlu, Record128DownloadSendsParameterReadClockBlocksAndClosingFrameInOrder) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  PecrScale scale(Info(true));
  std::string text = kHeader128;
  text += "123\tApple\t3\t5\t12\t\t12.5\t3\t2\t7\t1\t2\t150\t4\t25\t1234567890\tRed\r\n";
  for (int id = 2; id <= 5; ++id) text += std::to_string(id * 1000) + "\tP\t1\t0\t1\t7\t1\t0\t0\t0\t0\t0\t0\t0\t0\t0\t\r\n";
  vktest::Recorder r;
  ASSERT_EQ(scale.Exec(0, kPlu, vktest::WriteFile("p128.txt", text), &r), 0u);
  EXPECT_EQ(scale.Requests(), (std::vector<std::pair<int, int>>{{108, 0}, {14, 1}, {123, 0}, {123, 1}, {123, 2}, {14, 2}}));
  EXPECT_EQ(r.Calls(), (std::vector<vktest::Call>{{1, 0, 5}, {1, 2, 5}, {1, 4, 5}, {1, 5, 5}, {0, 5, 5}}));

  // The first record, byte for byte; the third frame holds one record and
  // 128 zero bytes.
  Bytes rec(128, 0);
  const std::string name = "Apple";
  std::copy(name.begin(), name.end(), rec.begin());
  rec[36] = 0x00, rec[37] = 0x01, rec[38] = 0x23;  // ID
  rec[39] = 0x01;                                  // Label1ID 3
  rec[40] = 143;                                   // DiscountID 5
  rec[41] = 0x12;                                  // DepartmentID
  rec[42] = 0xFF;                                  // BarcodeType1 empty
  rec[43] = 0x00, rec[44] = 0x00, rec[45] = 0x12, rec[46] = 0x50;  // 12.5 x 100
  rec[47] = 0x23;                                  // PCSType 2, UnitID 3
  rec[48] = 7;                                     // ValidDate, little-endian
  rec[50] = 1, rec[51] = 2;
  rec[52] = 0x00, rec[53] = 0x01, rec[54] = 0x50;  // PackageWeight 150
  rec[55] = 4;
  rec[56] = 0x00, rec[57] = 0x00, rec[58] = 0x25;  // TareValue 25
  rec[59] = 0x12, rec[60] = 0x34, rec[61] = 0x56, rec[62] = 0x78, rec[63] = 0x90;
  rec[64] = 'R', rec[65] = 'e', rec[66] = 'd';
  auto frames = scale.Frames(123);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(Hex(Bytes(frames[0].begin() + 3, frames[0].begin() + 131)), Hex(rec));
  EXPECT_EQ(Hex(Bytes(frames[2].begin() + 131, frames[2].end())), Hex(Bytes(128, 0)));
  EXPECT_EQ(scale.Tables().PluCount(), 5u);
}

TEST(PecrPlu, PricesFollowTheScaleDecimalsAndLegacyBoardsUseTwo) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  struct Case {
    int dotCount;
    bool legacy;
    uint32_t stored;  // BCD value of "0.125" ... as a number
  } cases[] = {{0, false, 0}, {1, false, 1}, {2, false, 12}, {3, false, 125}, {2, true, 12}};
  int host = 10;
  for (const auto& c : cases) {
    PecrScale scale(Info(false, c.legacy), host++);
    scale.Tables().SetDotCount(static_cast<uint8_t>(c.dotCount));
    ASSERT_EQ(scale.Exec(0, kPlu, vktest::WriteFile("p64.txt", "ID\tPrice\r\n7\t0.125\r\n8\t0.375\r\n9\t1\r\n")), 0u);
    auto recs = scale.Tables().PluRecords();
    ASSERT_EQ(recs.size(), 3u);
    const auto price = [](const Bytes& r) {
      uint32_t v = 0;
      for (int i = 43; i < 47; ++i) v = v * 100 + (r[i] >> 4) * 10 + (r[i] & 15);
      return v;
    };
    EXPECT_EQ(price(recs[0]), c.stored) << c.dotCount;
    EXPECT_EQ(scale.Frames(11).size(), 1u);  // three 64-byte records in one frame
    EXPECT_EQ(scale.Frames(108).size(), c.legacy ? 0u : 1u);
  }
}

TEST(PecrPlu, UploadReadsToTheEndMarkerInBothSizesAndLayouts) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  for (bool record128 : {false, true}) {
    PecrScale scale(Info(record128), record128 ? 21 : 20);
    const size_t size = record128 ? 128 : 64;
    for (uint32_t id : {5u, 2u, 9u}) {
      Bytes rec(size, 0);
      rec[36] = 0, rec[37] = 0, rec[38] = static_cast<uint8_t>(id);
      const std::string name = id == 9 ? std::string(29, 'B') : "N" + std::to_string(id);
      std::copy(name.begin(), name.end(), rec.begin());
      if (id == 9) rec[30] = 0xFF, rec[33] = 'x';  // layout B: a 29-byte Name1, bytes 30..35 no text
      rec[43 + 3] = 0x99;
      scale.Tables().PutPluRecord(rec);
    }
    const fs::path out = vktest::TempDir() / (record128 ? "up128.txt" : "up64.txt");
    vktest::Recorder r;
    ASSERT_EQ(scale.Exec(1, kPlu, out, &r), 0u);
    const auto rows = vktest::ReadTable(out);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].size(), record128 ? 17u : 16u);
    EXPECT_EQ(rows[0][0], "Name1");
    EXPECT_EQ(rows[1][0], "N2");
    EXPECT_EQ(rows[1][1], "2");
    EXPECT_EQ(rows[1][6], "0.99");
    EXPECT_EQ(rows[3][0], std::string(29, 'B'));
    EXPECT_EQ(r.Last(), (vktest::Call{0, 3, 3}));
  }
}

// Nothing is sent for a file the scale could not take; the transfer is
// still closed.
TEST(PecrPlu, BadRowsFailBeforeAnyRecordIsSent) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  struct Case {
    const char* file;
    uint32_t code, index;
  } cases[] = {
      {"Name1\tPrice\r\nA\t1\r\n", 265, 0},
      {"ID\tPrice\r\n1\t1\r\nabc\t2\r\n", 265, 2},
      {"ID\tPrice\r\n1\t1\r\n0\t2\r\n", 265, 2},
      {"ID\tPrice\r\n1\t1\r\n2\t2\t3\r\n", 265, 2},
      {"ID\tPrice\r\n1\t1\r\n1234567\t2\r\n", 265, 2},
      {"ID\tPrice\r\n1\t1\r\n2\t1000000\r\n", 267, 2},
      {"ID\tDiscountID\r\n1\t118\r\n", 267, 1},
      {"ID\tUnitID\r\n1\t16\r\n", 267, 1},
  };
  int host = 30;
  for (const auto& c : cases) {
    PecrScale scale(Info(false), host++);
    vktest::Recorder r;
    EXPECT_EQ(scale.Exec(0, kPlu, vktest::WriteFile("bad.txt", c.file), &r), c.code) << c.file;
    EXPECT_EQ(r.Last().index, c.index) << c.file;
    EXPECT_TRUE(scale.Frames(11).empty()) << c.file;
    EXPECT_EQ(scale.Tables().ClosingFrames(), 1) << c.file;
  }
}

TEST(PecrPlu, RepliesTheItemCannotTakeEndWith266AndStillClose) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  struct Case {
    uint8_t dataType;
    PecrRequestFaults faults;
    uint32_t code;
    size_t framesOf11;
  };
  auto fault = [](int after, int PecrRequestFaults::*knob) {
    PecrRequestFaults f;
    f.after = after;
    f.*knob = -1;
    return f;
  };
  const Case cases[] = {
      {11, fault(1, &PecrRequestFaults::drop), 266, 3},  // the second block: SyncTryCount (2) sends
      {11, fault(0, &PecrRequestFaults::nak), 266, 1},
      {11, fault(0, &PecrRequestFaults::wrongType), 266, 1},
      {11, fault(0, &PecrRequestFaults::twoByteAck), 0, 2},
      {108, fault(0, &PecrRequestFaults::drop), 266, 0},  // no price decimals: nothing is sent
  };
  std::string text = "ID\r\n";
  for (int id = 1; id <= 8; ++id) text += std::to_string(id) + "\r\n";
  int host = 40;
  for (const auto& c : cases) {
    PecrScale scale(Info(false), host++);
    scale.Tables().SetFaults(c.dataType, c.faults);
    EXPECT_EQ(scale.Exec(0, kPlu, vktest::WriteFile("f.txt", text)), c.code) << int(c.dataType);
    EXPECT_EQ(scale.Frames(11).size(), c.framesOf11) << int(c.dataType);
    EXPECT_EQ(scale.Tables().ClosingFrames(), 1) << int(c.dataType);
  }
}

// A reply of another kind ends an upload with 266; a scale that never sends
// the end marker is read to the last slot an upload takes.
TEST(PecrPlu, UploadWithAWrongReplyOrWithoutEndMarker) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  PecrRequestFaults wrong, noEnd;
  wrong.wrongType = -1;
  noEnd.noEndMarker = -1;
  struct Case {
    PecrRequestFaults faults;
    vktest::Call last;
  } cases[] = {{wrong, {266, 1, 20480}}, {noEnd, {0, 20480, 20480}}};
  int host = 50;
  for (const auto& c : cases) {
    PecrScale scale(Info(false), host++);
    scale.Tables().SetFaults(14, c.faults);
    Bytes rec(64, 0);
    rec[38] = 1;
    scale.Tables().PutPluRecord(rec);
    vktest::Recorder r;
    scale.Exec(1, kPlu, vktest::TempDir() / "w.txt", &r);
    EXPECT_EQ(r.Last(), c.last);
  }
}

TEST(PecrPlu, ClearOnlyAsAWholeTable) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  PecrScale scale(Info(true), 60);
  Bytes rec(128, 0);
  rec[38] = 1;
  scale.Tables().PutPluRecord(rec);
  vktest::Recorder r;
  EXPECT_EQ(scale.Exec(3, kPlu, vktest::WriteFile("list.txt", "ID\r\n1\r\n"), &r), 261u);
  EXPECT_EQ(scale.Tables().PluCount(), 1u);
  EXPECT_EQ(scale.Tables().ClosingFrames(), 1);
  vktest::Recorder all;
  EXPECT_EQ(scale.Exec(3, kPlu, "*", &all), 0u);
  EXPECT_EQ(scale.Tables().PluCount(), 0u);
  EXPECT_EQ(all.Calls(), (std::vector<vktest::Call>{{1, 0, 1}, {1, 1, 1}, {0, 1, 1}}));
}

// Tables whose item this library lacks end before any frame; an operation
// the PLU item does not have ends with 261 after the closing frame.
TEST(PecrPlu, MissingTablesAndOperationsEndWith261) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  PecrScale scale(Info(false), 70);
  const fs::path file = vktest::WriteFile("u.txt", "ID\r\n1\r\n");
  for (int32_t type : {1, 2}) {
    EXPECT_EQ(scale.Exec(0, type, file), 261u) << type;
    EXPECT_TRUE(scale.Requests().empty()) << type;
  }
  EXPECT_EQ(scale.Exec(4, kPlu, vktest::TempDir() / "l.txt"), 261u);
  EXPECT_EQ(scale.Tables().ClosingFrames(), 1);
  // The scale's program (8451) goes to the Pecr family without detection.
  scale.Device().Log().Clear();
  EXPECT_EQ(scale.Exec(0, 8451, file), 261u);
  EXPECT_TRUE(scale.Device().Log().Of(Direction::Received).empty());
}

// A reply that is neither a whole frame nor a short acknowledgement is no
// answer: the request goes out again, and in the end the task gives 266.
TEST(PecrPlu, RepliesThatFailTheFrameCheckAreNoAnswer) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  // The parameter block arrives cut to 100 bytes.
  PecrScale scale(Info(false), 90, [](SimDevice& d) {
    d.AddPecrRequest(108, [](const Bytes&, uint16_t, const Peer&) -> std::optional<Answers> {
      return Answers{Bytes(100, 108)};
    });
  });
  EXPECT_EQ(scale.Exec(1, kPlu, vktest::TempDir() / "cut.txt"), 266u);
  EXPECT_EQ(scale.Frames(108).size(), 2u);  // SyncTryCount sends, none taken
  EXPECT_EQ(scale.Tables().ClosingFrames(), 1);
}

TEST(PecrPlu, StopTaskEndsWith2AndStillCloses) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PecrScale scale(Info(false), 80);
  PecrRequestFaults slow;
  slow.late = -1;
  slow.lateMs = 100;
  scale.Tables().SetFaults(11, slow);
  std::string text = "ID\r\n";
  for (int id = 1; id <= 200; ++id) text += std::to_string(id) + "\r\n";
  const fs::path file = vktest::WriteFile("s.txt", text);
  vktest::Recorder r;
  std::atomic<bool> acked{false};
  r.onCall = [&](const vktest::Call& c) {
    if (c.code == 1 && c.index > 0) acked = true;
  };
  const uint32_t ip = 0x7F000000u | static_cast<uint32_t>(vk::test::LoopbackRange()) << 8 | 80u;
  VKSDK_TASK h = sdk.ExecTask(ip, 5001, 1, 0, kPlu, vktest::U16(file.string()).c_str(), &vktest::Recorder::Cb, &r);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  for (int i = 0; i < 500 && !acked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  sdk.StopTask(h);
  sdk.WaitForTask(h);
  EXPECT_EQ(r.Last().code, 2u);
  EXPECT_EQ(scale.Tables().ClosingFrames(), 1);
  EXPECT_LT(scale.Frames(11).size(), 50u);
}

}  // namespace
