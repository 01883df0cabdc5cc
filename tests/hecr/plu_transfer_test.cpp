// PLU tables to and from a simulated Hecr scale, through the exported
// functions as a host calls them. The scale here is a small one of the
// test's own: it stores what it is sent, serves it back, and lets a test
// bend single answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/hecr_tables.h"
#include "sim/sim_device.h"
#include "support/hecr_scale.h"
#include "support/loopback.h"
#include "support/progress.h"
#include "support/sdk_loader.h"
#include "support/sim_support.h"

namespace {

namespace fs = std::filesystem;
using namespace vemkasim;
using vk::test::LoopbackAddr;

using vktest::Call;
using vktest::Recorder;

// The test INI with its own time-out and try count (the default text
// already names both).
std::string Ini(const fs::path& dir, int timeOut, int tryCount, const std::string& more = "") {
  return "[System]\nSyncTimeOut=" + std::to_string(timeOut) + "\nSyncTryCount=" + std::to_string(tryCount) +
         "\nGetDeviceTimeOut=200\nGetDeviceTryCount=1\nClearDataTimeOut=300\nClearDataTryCount=2\nDebugDir=" +
         dir.string() + "\n" + more;
}

uint64_t ReadBcd(const Bytes& b, size_t at, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v * 100 + (b[at + i] >> 4) * 10 + (b[at + i] & 15);
  return v;
}

// The simulated scale with its PLU table, plus a hook that may answer a
// download request in its place (to bend single answers).
class PluScale {
 public:
  explicit PluScale(HecrInfo info = {}, int host = 2) : addr_(LoopbackAddr(host)) {
    dev_ = &net_.AddHecr(addr_, info);
    dev_->AddHecrCommand(kHecrPluDownload, [this](const HecrFrame& f, const Peer&) -> std::optional<Answers> {
      std::function<std::optional<Answers>(const HecrFrame&)> hook;
      {
        std::lock_guard<std::mutex> g(hookLock_);
        hook = downHook_;
      }
      return hook ? hook(f) : std::nullopt;
    });
    tables_ = std::make_unique<SimHecrTables>(*dev_);
    net_.Start(false);
  }
  ~PluScale() {
    tables_->CancelLateAnswers();
    net_.Stop();
  }

  // Every received frame of one command, in arrival order.
  std::vector<HecrFrame> Frames(uint16_t cmd) const {
    std::vector<HecrFrame> out;
    for (const auto& d : dev_->Log().Of(Direction::Received)) {
      auto f = ParseHecr(d.bytes);
      if (f && f->cmd == cmd) out.push_back(*f);
    }
    return out;
  }
  std::map<uint32_t, Bytes> Records() const {
    std::map<uint32_t, Bytes> out;
    for (uint32_t id : tables_->PluIds()) out[id] = *tables_->PluRecord(id);
    return out;
  }
  const std::string& Addr() const { return addr_; }
  SimDevice& Device() { return *dev_; }
  SimHecrTables& Tables() { return *tables_; }

  // Answers to use instead of the table's store-and-acknowledge; set before
  // a task starts.
  void SetDownHook(std::function<std::optional<Answers>(const HecrFrame&)> hook) {
    std::lock_guard<std::mutex> g(hookLock_);
    downHook_ = std::move(hook);
  }

 private:
  std::mutex hookLock_;
  std::function<std::optional<Answers>(const HecrFrame&)> downHook_;
  std::string addr_;
  SimNetwork net_;
  SimDevice* dev_ = nullptr;
  std::unique_ptr<SimHecrTables> tables_;
};

fs::path WriteFile(const std::string& name, const std::string& utf8) {
  fs::path p = vktest::TempDir() / name;
  std::ofstream(p, std::ios::binary) << utf8;
  return p;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

using vktest::ReadTable;

uint32_t Exec(vktest::Sdk& sdk, const PluScale& scale, uint32_t procType, uint32_t dataId, int32_t dataType,
              const std::u16string& file, Recorder* rec = nullptr) {
  Recorder local;
  Recorder* r = rec ? rec : &local;
  return sdk.Sync_ExecTask(vktest::U16(scale.Addr()).c_str(), 5002, 2, procType | dataId << 8, dataType,
                           file.c_str(), &Recorder::Cb, r);
}

std::u16string Path16(const fs::path& p) { return vktest::U16(p.string()); }

Bytes Slice(const Bytes& b, size_t at, size_t n) { return Bytes(b.begin() + at, b.begin() + at + n); }

// The whole request of a one-row download, byte for byte, from the record
// layout: ID BCD at 0, name at 13, price BCD at 138, and the template's
// barcode type 255 at 135 and flags 60 and 240 at 157 and 158.
TEST(HecrPlu, SingleRowDownloadSendsTheExactFrame) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path file = WriteFile("plu.txt", "ID\tName1\tPrice\r\n123\tApple\t12.5\r\n");
  Recorder r;
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file), &r), 0u);

  Bytes rec(512, 0);
  rec[0] = 0x00, rec[1] = 0x01, rec[2] = 0x23;
  const char* name = "Apple";
  for (int i = 0; i < 5; ++i) rec[13 + i] = static_cast<uint8_t>(name[i]);
  rec[135] = 0xFF;
  rec[142] = 0x12, rec[143] = 0x50;
  rec[157] = 0x3C, rec[158] = 0xF0;
  Bytes expected = {0xAA, 0, 0, 0, 0, 0x98, 0x2E, 0, 0, 0, 0x02, 0x00, 0x72};
  expected.insert(expected.end(), rec.begin(), rec.end());
  expected.push_back(0xE2);
  expected.push_back(0x8B);

  std::vector<Bytes> sent;
  for (const auto& d : scale.Device().Log().Of(Direction::Received))
    if (d.bytes.size() > 6 && d.bytes[5] == 0x98 && d.bytes[6] == 0x2E) sent.push_back(d.bytes);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Hex(sent[0]), Hex(expected));
  // The clock is set before the table, and progress ends with (0, 1, 1).
  std::vector<uint16_t> cmds;
  for (const auto& d : scale.Device().Log().Of(Direction::Received))
    if (auto f = ParseHecr(d.bytes); f && f->cmd != 0x7103) cmds.push_back(f->cmd);
  EXPECT_EQ(cmds, (std::vector<uint16_t>{0x7003, 0x982E}));
  EXPECT_EQ(r.Last().code, 0u);
  EXPECT_EQ(r.Last().index, 1u);
  EXPECT_EQ(r.Last().total, 1u);
}

TEST(HecrPlu, DownloadSendsRowsInAscendingIdOrder) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path file = WriteFile("plu.txt", "Name1\tID\nthirty\t30\ntwo\t2\nhundred\t100\n");
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  auto frames = scale.Frames(0x982E);
  ASSERT_EQ(frames.size(), 3u);
  const uint32_t ids[] = {2, 30, 100};
  for (uint16_t i = 0; i < 3; ++i) {
    EXPECT_EQ(frames[i].param, i);
    EXPECT_EQ(ReadBcd(frames[i].data, 0, 3), ids[i]);
  }
}

// Rows the table cannot take are found before the first frame; values a
// field cannot hold stop the task at their row.
TEST(HecrPlu, BadRowsAreRefusedWithTheirRowNumber) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  struct Case {
    const char* text;
    uint32_t code, index;
    size_t framesSent;
  } cases[] = {
      {"Name1\tPrice\nA\t1\n", 265, 0, 0},                    // no ID column
      {"ID\tName1\n1\tA\n2\tB\tC\n", 265, 2, 0},              // cell count differs
      {"ID\tName1\n1\tA\nx\tB\n", 265, 2, 0},                 // not a number
      {"ID\tName1\n0\tA\n", 265, 1, 0},                       // zero
      {"ID\tName1\n1\tA\n1234567\tB\n", 265, 2, 0},           // 7 digits in 3 BCD bytes
      {"ID\tName1\n5\tA\n-3\tB\n", 265, 2, 0},                // negative
      {"ID\tPrice\n1\t1\n2\t99999999999\n", 267, 2, 1},       // price beyond 12 digits
      {"ID\tProducedDate\n1\t2024-1-2\n2\tsoon\n", 267, 2, 1},  // not a date
      {"ID\tLabel1ID\n1\t256\n", 267, 1, 0},                  // one byte
  };
  for (const auto& c : cases) {
    scale.Device().Log().Clear();
    Recorder r;
    fs::path file = WriteFile("bad.txt", c.text);
    EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file), &r), c.code) << c.text;
    EXPECT_EQ(r.Last().index, c.index) << c.text;
    EXPECT_EQ(scale.Frames(0x982E).size(), c.framesSent) << c.text;
  }
}

TEST(HecrPlu, FieldCodecsWriteTheirBytes) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path file = WriteFile("plu.txt",
                            "ID\tPrice\tDiscountRate\tUnitID\tPackageWeight\tGroupID\tBarcodeType1\tTax1\n"
                            "1\t12.345\t5\t4\t1.5\t1234\t\t7.5\n"
                            "2\t1\t100\t0\t1.5\t7\t9\t0\n"
                            "3\t1\t-3\t11\t1.25\t0\t9\t0\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  auto recs = scale.Records();
  ASSERT_EQ(recs.size(), 3u);
  const Bytes& a = recs[1];
  EXPECT_EQ(Hex(Slice(a, 138, 6)), "00 00 00 00 12 34");  // half to even after scaling
  EXPECT_EQ(Hex(Slice(a, 177, 2)), "00 05");
  EXPECT_EQ(Hex(Slice(a, 148, 4)), "00 00 15 00");  // unit 4 weighs in thousandths
  EXPECT_EQ(a[4], 0x34);
  EXPECT_EQ(a[243], 0x12);
  EXPECT_EQ(a[135], 0xFF);  // empty barcode type
  EXPECT_EQ(Hex(Slice(a, 187, 2)), "07 50");
  EXPECT_EQ(a[157], 60);
  EXPECT_EQ(a[158], 240);
  const Bytes& b = recs[2];
  EXPECT_EQ(Hex(Slice(b, 177, 2)), "00 00");
  EXPECT_EQ(Hex(Slice(b, 148, 4)), "00 00 00 02");  // ratio 1: 1.5 rounds to 2
  EXPECT_EQ(b[4], 0x07);
  EXPECT_EQ(b[243], 0x00);
  EXPECT_EQ(b[135], 9);
  const Bytes& c = recs[3];
  EXPECT_EQ(Hex(Slice(c, 177, 2)), "00 00");
  EXPECT_EQ(Hex(Slice(c, 148, 4)), "00 00 00 12");  // unit 11: tenths, 12.5 rounds to 12
}

TEST(HecrPlu, ForcedValuesOverrideEveryRecord) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "",
                                                 "[Function]\nForceBarcode1=7\nForceFlag1=1\nForceFlag2=2\n"
                                                 "ForceFlag3=3\nForceProducedDateRule=4\nForcePackageDateFrom=5\n"
                                                 "ForceFreshnessDateFrom=6\nForceValidDateFrom=8\n"));
  PluScale scale;
  fs::path file = WriteFile("plu.txt",
                            "ID\tBarcodeType1\tFlag1\tFlag3\tValidDateFrom\n"
                            "1\t20\t30\t40\t50\n"
                            "2\t\t\t\t\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  for (auto& [id, rec] : scale.Records()) {
    EXPECT_EQ(rec[135], 7) << id;
    EXPECT_EQ(rec[157], 1) << id;
    EXPECT_EQ(rec[158], 2) << id;
    EXPECT_EQ(rec[170], 3) << id;
    EXPECT_EQ(rec[208], 4) << id;
    EXPECT_EQ(rec[209], 5) << id;
    EXPECT_EQ(rec[210], 6) << id;
    EXPECT_EQ(rec[211], 8) << id;
  }
}

TEST(HecrPlu, Minus2DeleteRetiresDashedNames) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "", "[Function]\nMinus2Delete=1\n"));
  HecrInfo info;
  info.codePage = 65001;
  PluScale scale(info);
  fs::path file = WriteFile("plu.txt", "ID\tName1\tPrice\n1\t---Apple\t3.5\n2\tPear\t4\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  auto recs = scale.Records();
  const std::string retired = "\xE6\xAD\xA4\xE5\x8D\x95\xE5\x93\x81\xE5\xB7\xB2\xE5\x81\x9C\xE5\x94\xAE";
  EXPECT_EQ(std::string(recs[1].begin() + 13, recs[1].begin() + 13 + retired.size()), retired);
  EXPECT_EQ(Hex(Slice(recs[1], 138, 6)), "00 00 00 00 00 00");
  EXPECT_EQ(Hex(Slice(recs[2], 138, 6)), "00 00 00 00 04 00");
}

TEST(HecrPlu, WeightUsegKeepsWeightsUnscaled) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "", "[Function]\nWeightUseg=1\n"));
  PluScale scale;
  fs::path file = WriteFile("plu.txt", "ID\tUnitID\tPackageWeight\n1\t4\t1.5\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  EXPECT_EQ(Hex(Slice(scale.Records()[1], 148, 4)), "00 00 00 02");
}

TEST(HecrPlu, ExpandName1GivesName1EightyBytes) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "", "[Function]\nExpandName1=1\n"));
  PluScale scale;
  const std::string longName(70, 'N');
  fs::path file = WriteFile("plu.txt", "ID\tName1\tName2\n1\t" + longName + "\tignored\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  Bytes rec = scale.Records()[1];
  EXPECT_EQ(std::string(rec.begin() + 13, rec.begin() + 83), longName);
  EXPECT_EQ(rec[83], 0);
  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(Exec(sdk, scale, 1, 0, 0, Path16(up)), 0u);
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][4], longName);
  EXPECT_EQ(rows[1][5], "");
}

TEST(HecrPlu, LabelCodeLength8PlacesTheIdAt239) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrInfo info;
  info.lfCodeLen = 8;
  PluScale scale(info);
  fs::path file = WriteFile("plu.txt", "ID\tName1\n12345678\tA\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  auto frames = scale.Frames(0x982E);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(Hex(Slice(frames[0].data, 0, 3)), "00 00 00");
  EXPECT_EQ(Hex(Slice(frames[0].data, 239, 4)), "12 34 56 78");
}

TEST(HecrPlu, ChineseMarketScalesTakeSpeedCodesFromNames) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrInfo info;
  info.country = 10;
  info.codePage = 936;
  PluScale scale(info);
  // 苹果 (ping guo) and a row whose own speed code wins.
  fs::path file = WriteFile("plu.txt",
                            "ID\tName1\tSpeedCode\n1\t\xE8\x8B\xB9\xE6\x9E\x9C\t\n"
                            "2\t\xE8\x8B\xB9\xE6\x9E\x9C\tXYZ\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  auto recs = scale.Records();
  EXPECT_EQ(std::string(recs[1].begin() + 250, recs[1].begin() + 252), "PG");
  EXPECT_EQ(recs[1][252], 0);
  EXPECT_EQ(std::string(recs[2].begin() + 250, recs[2].begin() + 253), "XYZ");
}

// Every column down and back up gives the same cells; an empty date stays
// empty.
TEST(HecrPlu, RoundTripOfEveryColumnIsExact) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrInfo info;
  info.codePage = 65001;
  PluScale scale(info);
  const std::string header =
      "ID\tDepartmentID\tGroupID\tItemCode\tName1\tName2\tName3\tLabel1ID\tLabel2ID\tBarcodeType1\t"
      "BarcodeType2\tUnitID\tPrice\tFreshnessDate\tPackageRange\tPackageType\tPackageWeight\tText1ID\t"
      "Text2ID\tText3ID\tText4ID\tDiscountID\tFlag1\tFlag2\tTareID\tICEValue\tProducedDate\tPackageDays\t"
      "PackageHours\tFlag3\tOriginID\tDiscountRate\tTareValue\tHalfDiscount\tQuarterDiscount\tTax1\tTax2\t"
      "ValidDate\tText5ID\tText6ID\tText7ID\tText8ID\tLimitPrice\tTraceabilityCode\tPackagePrice\t"
      "ProducedDateRule\tPackageDateFrom\tFreshnessDateFrom\tValidDateFrom\tDiscountBeginTime\t"
      "DiscountEndTime\tDiscountPrice\tDiscountFlag\tMessage1\tUnitPrintName\tMessage2\tLimitMinPrice\t"
      "SpeedCode\tMemberPrice\tminPackageWeight\tmaxPackageWeight";
  const std::string row1 =
      "7\t5\t1234\t1234567890123456\t\xC3\x84pfel rot\tName two\tn3\t1\t2\t7\t8\t4\t12.5\t300\t9\t2\t1.5\t1\t2\t3\t"
      "4\t3\t60\t240\t6\t7\t2024-3-5 14:07:00\t12\t5\t1\t300\t15\t0.25\t50\t25\t7.5\t19\t10\t5\t6\t7\t8\t"
      "99.99\t123456\t8.4\t1\t2\t3\t4\t\t2025-12-31 23:59:00\t10\t1\t258\tkg\t3\t1.5\tAPF\t11.25\t0.5\t2";
  const std::string row2 =
      "123\t0\t7\t0\t\xE8\x8B\xB9\xE6\x9E\x9C\t\t\t0\t0\t255\t0\t0\t0.01\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t"
      "0\t0\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t\t\t0\t0\t0\t\t0\t0\t\t0\t0\t0";
  fs::path down = WriteFile("all.txt", header + "\r\n" + row1 + "\r\n" + row2 + "\r\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(down)), 0u);
  fs::path up = vktest::TempDir() / "up.txt";
  Recorder r;
  ASSERT_EQ(Exec(sdk, scale, 1, 0, 0, Path16(up), &r), 0u);
  EXPECT_EQ(r.Last().total, 2u);
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 3u);
  auto expected = ReadTable(down);
  EXPECT_EQ(rows[0], expected[0]);
  EXPECT_EQ(rows[1], expected[1]);
  EXPECT_EQ(rows[2], expected[2]);
}

TEST(HecrPlu, UploadOfAListSkipsAbsentPlus) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path down = WriteFile("plu.txt", "ID\tName1\n1\tA\n5\tE\n7\tG\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(down)), 0u);
  fs::path dir = vktest::TempDir();
  std::ofstream(dir / "want.lst", std::ios::binary) << "7\r\n 4 \r\n\r\n1\r\n";
  Recorder r;
  ASSERT_EQ(Exec(sdk, scale, 1, 1, 0, Path16(dir / "want.txt"), &r), 0u);
  auto frames = scale.Frames(0x6071);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(Hex(frames[1].data), "00 00 00 04");
  auto rows = ReadTable(dir / "want.txt");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], "7");
  EXPECT_EQ(rows[2][0], "1");
  EXPECT_EQ(r.Last().code, 0u);
  EXPECT_EQ(r.Last().total, 3u);

  // Without the list file nothing is asked.
  scale.Device().Log().Clear();
  EXPECT_EQ(Exec(sdk, scale, 1, 1, 0, Path16(dir / "none.txt")), 264u);
  EXPECT_TRUE(scale.Frames(0x6071).empty());
}

// No count, or a count reply without the PLU counter (fewer than two data
// bytes), is no answer: 266 and no record asked for.
TEST(HecrPlu, UploadWithoutTableCountsFails) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  scale.Tables().PutPluRecord(Bytes(512, 0x01));
  HecrCommandFaults silent;
  silent.drop = -1;
  HecrCommandFaults empty;
  empty.emptyData = -1;
  for (const auto& faults : {silent, empty}) {
    scale.Tables().SetFaults(kHecrTableCounts, faults);
    fs::path up = vktest::TempDir() / "up.txt";
    EXPECT_EQ(Exec(sdk, scale, 1, 0, 0, Path16(up)), 266u);
    EXPECT_TRUE(scale.Frames(0x602E).empty());
  }
}

TEST(HecrPlu, DeleteClearsOnlyTheWholeTable) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path down = WriteFile("plu.txt", "ID\n5\n7\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(down)), 0u);
  // A list of PLUs must not wipe the table: refused, nothing sent.
  fs::path list = WriteFile("del.txt", "ID\n5\n");
  EXPECT_EQ(Exec(sdk, scale, 3, 0, 0, Path16(list)), 261u);
  EXPECT_TRUE(scale.Frames(0x9830).empty());
  EXPECT_EQ(scale.Records().size(), 2u);
  Recorder r;
  EXPECT_EQ(Exec(sdk, scale, 3, 0, 0, u"*", &r), 0u);
  EXPECT_EQ(scale.Frames(0x9830).size(), 1u);
  EXPECT_TRUE(scale.Records().empty());
  ASSERT_GE(r.calls.size(), 2u);
  EXPECT_EQ(r.calls[r.calls.size() - 2].code, 1u);
}

// Operations and tables this library has no item for end with 261 and send
// no table frame.
TEST(HecrPlu, UnsupportedOperationsEndWith261) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path file = WriteFile("t.txt", "ID\n1\n");
  struct Case {
    uint32_t procType;
    int32_t dataType;
  } cases[] = {{4, 0}, {5, 0}, {0, 4}, {0, 9999}};
  for (const auto& c : cases) {
    scale.Device().Log().Clear();
    EXPECT_EQ(Exec(sdk, scale, c.procType, 0, c.dataType, Path16(file)), 261u) << c.procType << " " << c.dataType;
    for (const auto& d : scale.Device().Log().Of(Direction::Received)) {
      auto f = ParseHecr(d.bytes);
      ASSERT_TRUE(f);
      EXPECT_TRUE(f->cmd == 0x7003 || f->cmd == 0x7103) << std::hex << f->cmd;
    }
  }
}

// An acknowledgement for an earlier request is not taken for this one: the
// task listens once more and takes the right one without resending.
TEST(HecrPlu, WrongParamAcknowledgementIsWaitedPast) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  scale.SetDownHook([](const HecrFrame& f) -> std::optional<Answers> {
    if (f.param != 1) return std::nullopt;
    return Answers{BuildHecr(0x800E, 0, {}), BuildHecr(0x800E, 1, {})};
  });
  fs::path file = WriteFile("plu.txt", "ID\n1\n2\n3\n");
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  EXPECT_EQ(scale.Frames(0x982E).size(), 3u);
}

// An answer that arrives after the time-out is still taken, and the stale
// copy that follows it does not confuse the next request.
TEST(HecrPlu, LateAcknowledgementIsAccepted) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();  // time-out 300 ms, 2 tries
  PluScale scale;
  std::atomic<bool> delayed{false};
  scale.SetDownHook([&](const HecrFrame& f) -> std::optional<Answers> {
    if (f.param == 1 && !delayed.exchange(true)) std::this_thread::sleep_for(std::chrono::milliseconds(450));
    return std::nullopt;
  });
  fs::path file = WriteFile("plu.txt", "ID\n1\n2\n3\n");
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  EXPECT_EQ(scale.Records().size(), 3u);
}

TEST(HecrPlu, WrongParamOnlyGivesUpAfterTheTryCount) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(Ini(dir, 300, 1));
  PluScale scale;
  scale.SetDownHook([](const HecrFrame& f) -> std::optional<Answers> {
    if (f.param != 1) return std::nullopt;
    return Answers{BuildHecr(0x800E, 7, {})};
  });
  fs::path file = WriteFile("plu.txt", "ID\n1\n2\n3\n");
  Recorder r;
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file), &r), 266u);
  EXPECT_EQ(r.Last().index, 2u);  // records built so far
  EXPECT_EQ(r.Last().total, 3u);
  // One frame for request 1: one send, one late wait, no resend.
  EXPECT_EQ(scale.Frames(0x982E).size(), 2u);
}

// A reply that fails its own check is no answer: it is noted in the debug
// file, the request goes out again, and when no intact answer comes the
// task ends with 266 at that row.
TEST(HecrPlu, DamagedAcknowledgementCountsAsNoAnswer) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  fs::path debugDir;
  auto& sdk = vktest::LoadSdkDefault(&debugDir);  // 2 tries
  PluScale scale;
  HecrCommandFaults bad;
  bad.badCrc = -1;
  scale.Tables().SetFaults(kHecrPluDownload, bad);
  fs::path file = WriteFile("plu.txt", "ID\n1\n2\n");
  Recorder r;
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file), &r), 266u);
  EXPECT_EQ(r.Last().index, 1u);
  EXPECT_EQ(scale.Frames(0x982E).size(), 2u);  // row 1, once per try
  int noted = 0;
  for (const auto& e : fs::directory_iterator(debugDir)) {
    const std::string text = ReadFile(e.path());
    for (size_t at = text.find("Invalid Package!"); at != std::string::npos; at = text.find("Invalid Package!", at + 1))
      ++noted;
  }
  EXPECT_EQ(noted, 2);
}

// A scale that did not store a PLU and answers with a garbled frame: the
// row is sent again instead of being counted as stored.
TEST(HecrPlu, DamagedAcknowledgementIsNotTakenForTheRow) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  std::atomic<bool> garbled{false};
  scale.SetDownHook([&](const HecrFrame& f) -> std::optional<Answers> {
    if (f.param != 1 || garbled.exchange(true)) return std::nullopt;
    Bytes ack = BuildHecr(0x800E, 1, {});
    ack[3] ^= 0x10;  // head sum no longer matches
    return Answers{ack};
  });
  fs::path file = WriteFile("plu.txt", "ID\n1\n2\n3\n");
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file)), 0u);
  EXPECT_EQ(scale.Records().size(), 3u);
  EXPECT_EQ(scale.Frames(0x982E).size(), 4u);
}

// Upload replies (by position, by list) and the table count with one bit
// flipped once: the damaged frame is asked for again, so the file holds
// exactly the scale's rows.
TEST(HecrPlu, DamagedUploadRepliesAreAskedAgain) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path dir = vktest::TempDir();
  fs::path down = WriteFile("plu.txt", "ID\tName1\n11\tA\n12\tB\n13\tC\n");
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(down)), 0u);
  fs::path clean = dir / "clean.txt";
  ASSERT_EQ(Exec(sdk, scale, 1, 0, 0, Path16(clean)), 0u);
  ASSERT_EQ(ReadTable(clean).size(), 4u);
  std::ofstream(dir / "list.lst", std::ios::binary) << "11\r\n12\r\n13\r\n";

  struct Case {
    const char* name;
    uint16_t cmd;
    size_t damageAt;  // byte of the reply whose lowest bit flips
    uint32_t dataId;
  } cases[] = {
      {"record by position", kHecrPluUpload, 13 + 2, 0},  // the ID's last BCD byte
      {"record by ID", kHecrPluById, 13 + 13, 1},         // a name byte
      {"table count", kHecrTableCounts, 13 + 1, 0},       // 3 PLUs would read as 2
      {"head", kHecrPluUpload, 8, 0},                     // Param
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HecrCommandFaults once;
    once.after = c.cmd == kHecrTableCounts ? 0 : 1;
    once.damage = 1;
    once.damageAt = c.damageAt;
    scale.Tables().ClearFaults();
    scale.Tables().SetFaults(c.cmd, once);
    fs::path up = dir / "list.txt";
    EXPECT_EQ(Exec(sdk, scale, 1, c.dataId, 0, Path16(up)), 0u);
    EXPECT_EQ(ReadTable(up), ReadTable(clean));
    EXPECT_EQ(scale.Tables().RequestsSeen(c.cmd), (c.cmd == kHecrTableCounts ? 2 : 4));
  }
  scale.Tables().ClearFaults();

  // A delete whose acknowledgement never arrives intact is no success.
  HecrCommandFaults bad;
  bad.badCrc = -1;
  scale.Tables().SetFaults(kHecrPluClear, bad);
  EXPECT_EQ(Exec(sdk, scale, 3, 0, 0, u"*"), 266u);
}

// A scale that sends every acknowledgement three times: the copies for
// earlier rows are thrown away, never use up a try, and each row goes out
// once. Uploads take each record once.
TEST(HecrPlu, RepeatedAnswersDoNotUseUpTries) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(Ini(dir, 300, 1));
  PluScale scale;
  Faults thrice;
  thrice.extraCopies = 2;
  scale.Device().SetFaults(thrice);
  std::string text = "ID\tName1\n";
  for (int i = 1; i <= 10; ++i) text += std::to_string(i) + "\tItem " + std::to_string(i) + "\n";
  fs::path file = WriteFile("plu.txt", text);
  Recorder r;
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file), &r), 0u);
  EXPECT_EQ(r.Last().index, 10u);
  EXPECT_EQ(scale.Frames(0x982E).size(), 10u);
  EXPECT_EQ(scale.Records().size(), 10u);

  fs::path up = dir / "up.txt";
  EXPECT_EQ(Exec(sdk, scale, 1, 0, 0, Path16(up)), 0u);
  EXPECT_EQ(scale.Frames(0x602E).size(), 10u);
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 11u);
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i][0], std::to_string(i));
}

// CR and LF in text fields read from a scale are written as cell escapes:
// one line per record, and the file downloads back to the same bytes.
TEST(HecrPlu, LineBreaksInTextFieldsUploadAsEscapes) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  Bytes rec(512, 0);
  rec[2] = 0x01;
  auto put = [&](size_t at, const std::string& t) { std::copy(t.begin(), t.end(), rec.begin() + at); };
  put(13, "A\r\nB");    // Name1
  put(53, "C\nD");       // Name2
  put(233, "k\rg");      // UnitPrintName
  put(250, "X\nY");      // SpeedCode
  rec[135] = 0xFF, rec[157] = 60, rec[158] = 240;
  scale.Tables().PutPluRecord(rec);

  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(Exec(sdk, scale, 1, 0, 0, Path16(up)), 0u);
  const std::string text = ReadFile(up);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][4], "A{$0D}{$0A}B");
  EXPECT_EQ(rows[1][5], "C{$0A}D");
  EXPECT_EQ(rows[1][54], "k{$0D}g");
  EXPECT_EQ(rows[1][57], "X{$0A}Y");

  scale.Tables().ClearPlu();
  ASSERT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(up)), 0u);
  ASSERT_EQ(scale.Records().size(), 1u);
  EXPECT_EQ(Hex(scale.Records()[1]), Hex(rec));
}

// The clock is set before the records of every PLU task: downloads,
// uploads (after the table count the item asks for when it is made) and
// deletes.
TEST(HecrPlu, ClockGoesBeforeEveryPluTask) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  PluScale scale;
  fs::path file = WriteFile("plu.txt", "ID\n1\n");
  fs::path up = vktest::TempDir() / "up.txt";
  struct Case {
    uint32_t procType;
    std::u16string file;
    std::vector<uint16_t> cmds;
  } cases[] = {{0, Path16(file), {0x7003, 0x982E}},
               {1, Path16(up), {0x6033, 0x7003, 0x602E}},
               {3, u"*", {0x7003, 0x9830}}};
  for (const auto& c : cases) {
    scale.Device().Log().Clear();
    ASSERT_EQ(Exec(sdk, scale, c.procType, 0, 0, c.file), 0u) << c.procType;
    std::vector<uint16_t> cmds;
    for (const auto& d : scale.Device().Log().Of(Direction::Received))
      if (auto f = ParseHecr(d.bytes); f && f->cmd != 0x7103) cmds.push_back(f->cmd);
    EXPECT_EQ(cmds, c.cmds) << c.procType;
  }
}

// A Force value a byte cannot hold fails the task with 267 before any
// record is sent, with or without its column, and the debug and log files
// name the key and its value.
TEST(HecrPlu, OutOfRangeForceValueFailsBeforeSending) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(dir, "", "[Function]\nForceFlag1=300\n"));
  PluScale scale;
  for (const char* text : {"ID\tName1\n1\tA\n", "ID\tFlag1\n1\t5\n"}) {
    SCOPED_TRACE(text);
    Recorder r;
    EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(WriteFile("plu.txt", text)), &r), 267u);
    EXPECT_EQ(r.Last().index, 0u);
    EXPECT_TRUE(scale.Frames(0x982E).empty());
  }
  int debugFiles = 0, logFiles = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (ReadFile(e.path()).find("ForceFlag1=300") == std::string::npos) continue;
    debugFiles += name.find("_debug") != std::string::npos;
    logFiles += name.find("_log") != std::string::npos;
  }
  EXPECT_EQ(debugFiles, 2);
  EXPECT_EQ(logFiles, 2);
}

TEST(HecrPlu, NoAnswerEndsWith266AtThatRow) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();  // 2 tries
  PluScale scale;
  scale.SetDownHook([](const HecrFrame& f) -> std::optional<Answers> {
    if (f.param == 1) return Answers{};
    return std::nullopt;
  });
  fs::path file = WriteFile("plu.txt", "ID\n1\n2\n3\n");
  Recorder r;
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file), &r), 266u);
  EXPECT_EQ(r.Last().index, 2u);
  EXPECT_EQ(r.Last().total, 3u);
  EXPECT_EQ(scale.Frames(0x982E).size(), 3u);  // request 0, then request 1 twice
}

TEST(HecrPlu, StopBetweenRequestsSendsNoFurtherFrame) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(Ini(dir, 3000, 2));
  PluScale scale;
  scale.SetDownHook([](const HecrFrame& f) -> std::optional<Answers> {
    if (f.param == 1) std::this_thread::sleep_for(std::chrono::milliseconds(600));
    return std::nullopt;
  });
  std::string text = "ID\n";
  for (int i = 1; i <= 10; ++i) text += std::to_string(i) + "\n";
  fs::path file = WriteFile("plu.txt", text);
  Recorder r;
  VKSDK_TASK h = sdk.ExecTask(0x7F000000u | static_cast<uint32_t>(vk::test::LoopbackRange()) << 8 | 2, 5002, 2, 0,
                              0, Path16(file).c_str(), &Recorder::Cb, &r);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  ASSERT_TRUE(scale.Device().Log().WaitReceived(3, std::chrono::seconds(20)));  // discovery, clock, then frames
  while (scale.Frames(0x982E).size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  sdk.StopTask(h);
  EXPECT_EQ(scale.Frames(0x982E).size(), 2u);
  Call last = r.Last();
  EXPECT_EQ(last.code, 2u);
  EXPECT_EQ(last.index, 0u);
  EXPECT_EQ(last.total, 0u);
}

// Past 65535 requests the 16-bit Param wraps; acknowledgements still match.
TEST(HecrPlu, SeventyThousandRowsComplete) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(Ini(dir, 2000, 2, "OutputDebug=0\nOutputLog=0\n"));
  PluScale scale;
  std::string text = "ID\tName1\tPrice\n";
  for (int i = 1; i <= 70000; ++i) text += std::to_string(i) + "\tItem " + std::to_string(i) + "\t1.25\n";
  fs::path file = WriteFile("big.txt", text);
  Recorder r;
  EXPECT_EQ(Exec(sdk, scale, 0, 0, 0, Path16(file), &r), 0u);
  EXPECT_EQ(r.Last().index, 70000u);
  EXPECT_EQ(scale.Records().size(), 70000u);
}

// Offline: text to the scale's binary records in ascending ID order, and
// back to text.
TEST(HecrPlu, ConversionWritesRecordsInIdOrderAndReadsThemBack) {
  auto& sdk = vktest::LoadSdkDefault();
  fs::path text = WriteFile("plu.txt", "ID\tName1\tPrice\n30\tC\t3\n2\tA\t1\n100\tB\t2\n");
  fs::path dir = vktest::TempDir();
  fs::path bin = dir / "plu.bin";
  const std::u16string info = u"CodePage=1252;LFCodeLen=0;UnitPriceMultiple=100";
  Recorder r;
  VKSDK_TASK h = sdk.ExecConvertTask(info.c_str(), 2, 0, 0, Path16(text).c_str(), Path16(bin).c_str(), 0, 0,
                                     &Recorder::Cb, &r);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  sdk.WaitForTask(h);
  EXPECT_EQ(r.Last().code, 0u);
  std::string data = ReadFile(bin);
  ASSERT_EQ(data.size(), 3u * 512);
  EXPECT_EQ(data.substr(0, 3), std::string("\x00\x00\x02", 3));
  EXPECT_EQ(data.substr(512, 3), std::string("\x00\x00\x30", 3));
  EXPECT_EQ(data.substr(1024, 3), std::string("\x00\x01\x00", 3));

  fs::path back = dir / "back.txt";
  Recorder r2;
  h = sdk.ExecConvertTask(info.c_str(), 2, 1, 0, Path16(back).c_str(), Path16(bin).c_str(), 0, 0, &Recorder::Cb,
                          &r2);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  sdk.WaitForTask(h);
  EXPECT_EQ(r2.Last().code, 0u);
  EXPECT_EQ(r2.Last().total, 3u);
  auto rows = ReadTable(back);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][0], "2");
  EXPECT_EQ(rows[1][4], "A");
  EXPECT_EQ(rows[1][12], "1");
  EXPECT_EQ(rows[3][0], "100");
}

// Package indexes past 65535 still match their acknowledgements offline.
TEST(HecrPlu, ConversionKeepsEveryRecordPast65536) {
  auto dir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(Ini(dir, 300, 2, "OutputDebug=0\nOutputLog=0\n"));
  std::string text = "ID\n";
  for (int i = 1; i <= 70000; ++i) text += std::to_string(i) + "\n";
  fs::path src = WriteFile("big.txt", text);
  fs::path bin = vktest::TempDir() / "big.bin";
  Recorder r;
  VKSDK_TASK h = sdk.ExecConvertTask(u"LFCodeLen=0", 2, 0, 0, Path16(src).c_str(), Path16(bin).c_str(), 0, 0,
                                     &Recorder::Cb, &r);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  sdk.WaitForTask(h);
  EXPECT_EQ(r.Last().code, 0u);
  EXPECT_EQ(r.Last().index, 70000u);
  std::string data = ReadFile(bin);
  ASSERT_EQ(data.size(), 70000u * 512);
  EXPECT_EQ(data.substr(65536u * 512, 3), std::string("\x06\x55\x37", 3));  // ID 65537
}

}  // namespace
