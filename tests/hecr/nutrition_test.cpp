// Nutrition elements (data type 26) and nutrition information (27) to and
// from a simulated scale, through the exported functions.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/hecr_scale.h"
#include "support/sim_support.h"

namespace {

using namespace vktest;
namespace fs = std::filesystem;
using vemkasim::Bytes;
using vemkasim::Hex;

constexpr int32_t kElements = 26, kInfo = 27;
constexpr uint16_t kElementDown = 0x9834, kElementUp = 0x6032, kInfoDown = 0x9825, kInfoUp = 0x6023;

std::string HexAt(const Bytes& b, size_t at, size_t n) { return Hex(Bytes(b.begin() + at, b.begin() + at + n)); }

// The cells of each download row reappear under the same columns of the
// uploaded row with the same key (first column).
void ExpectSameCells(const fs::path& down, const fs::path& up) {
  auto in = ReadTable(down), out = ReadTable(up);
  ASSERT_FALSE(out.empty());
  std::map<std::string, std::vector<std::string>> byKey;
  for (size_t r = 1; r < out.size(); ++r) byKey[out[r][0]] = out[r];
  for (size_t r = 1; r < in.size(); ++r) {
    ASSERT_TRUE(byKey.count(in[r][0])) << in[r][0];
    const auto& row = byKey[in[r][0]];
    for (size_t c = 0; c < in[0].size(); ++c) {
      size_t at = 0;
      while (at < out[0].size() && out[0][at] != in[0][c]) ++at;
      ASSERT_LT(at, row.size()) << in[0][c];
      EXPECT_EQ(row[at], in[r][c]) << in[0][c] << " of " << in[r][0];
    }
  }
}

// Elements placed by ID; 20 records go as a package of 16 and one of 4;
// DailyValue 2000 is 00 00 07 D0 at 40; the upload gives the cells back.
TEST(HecrNutrition, ElementsGoDownInTwoPackagesAndComeBack) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale;
  fs::path down = WriteFile("elements.txt",
                            "ID\tName\tDailyValue\tUnit\tFlag\r\n3\tFat\t65\tg\t1\r\n1\tEnergy\t2000\tkcal\t0\r\n"
                            "20\tZinc\t11\tmg\t2\r\n");
  Recorder r;
  ASSERT_EQ(scale.Exec(sdk, 0, kElements, down, &r), 0u);
  auto frames = scale.Frames(kElementDown);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].param, 0);
  EXPECT_EQ(frames[0].data.size(), 1024u);
  EXPECT_EQ(frames[1].param, 1);
  EXPECT_EQ(frames[1].data.size(), 256u);
  EXPECT_EQ((r.calls.back()), (Call{0, 20, 20}));

  const Bytes area = scale.Tables().Area(kElements);
  ASSERT_EQ(area.size(), 20u * 64);
  EXPECT_EQ(HexAt(area, 0, 6), Hex({'E', 'n', 'e', 'r', 'g', 'y'}));
  EXPECT_EQ(HexAt(area, 40, 4), "00 00 07 D0");
  EXPECT_EQ(HexAt(area, 44, 5), Hex({'k', 'c', 'a', 'l', 0}));
  EXPECT_EQ(HexAt(area, 2 * 64 + 50, 1), "01");  // Fat's flag, ID 3
  EXPECT_EQ(HexAt(area, 19 * 64 + 40, 4), "00 00 00 0B");

  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kElements, up, &r), 0u);
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 21u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"ID", "Name", "DailyValue", "Unit", "Flag"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"2", "", "0", "", "0"}));
  ExpectSameCells(down, up);
}

// Three rows are three frames (Param 0, 1, 2) ending with (0, 3, 3); an
// amount is BIN of amount x 10^(weight decimals) and a percentage BCD of
// hundredths; the upload asks as many records as the scale counts.
TEST(HecrNutrition, InfoRecordsGoDownOnePerFrameAndComeBack) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  vemkasim::HecrInfo info;
  info.secondExponent = 2;
  HecrScale scale(info);
  fs::path down = WriteFile("info.txt",
                            "PLUID\tDepict\tSizeInfo\tUseCount\tElement1ID\tElement1Content\tElement1Per\t"
                            "Element20ID\tElement20Content\tElement20Flag\tElement20Per\tPerWeight\tPerCount\tPerUnit\r\n"
                            "7\tApple\t100 g\t2\t1\t1.25\t12.5\t3\t0.5\t1\t99.99\t100\t2\t1\r\n"
                            "123456\tPear\t\t1\t2\t0\t0\t0\t0\t0\t0\t0\t0\t0\r\n"
                            "5\tPlum\t\t0\t0\t-2.5\t0.01\t0\t0\t0\t0\t0\t0\t0\r\n");
  Recorder r;
  ASSERT_EQ(scale.Exec(sdk, 0, kInfo, down, &r), 0u);
  auto frames = scale.Frames(kInfoDown);
  ASSERT_EQ(frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(frames[i].param, i);
    EXPECT_EQ(frames[i].data.size(), 512u);
  }
  EXPECT_EQ(r.Last(), (Call{0, 3, 3}));

  const Bytes apple = *scale.Tables().Record(kInfo, 7);
  EXPECT_EQ(HexAt(apple, 0, 3), "00 00 07");
  EXPECT_EQ(HexAt(apple, 83, 2), "02 01");           // UseCount, Element1ID
  EXPECT_EQ(HexAt(apple, 91, 4), "00 00 00 7D");     // 1.25 x 100
  EXPECT_EQ(HexAt(apple, 95, 2), "12 50");           // 12.5 %
  EXPECT_EQ(HexAt(apple, 388, 1), "03");             // Element20ID at 84 + 16 x 19
  EXPECT_EQ(HexAt(apple, 393, 1), "01");             // Element20Flag
  EXPECT_EQ(HexAt(apple, 395, 6), "00 00 00 32 99 99");
  EXPECT_EQ(HexAt(apple, 404, 7), "00 00 00 64 00 02 01");
  EXPECT_EQ(HexAt(*scale.Tables().Record(kInfo, 5), 91, 4), "FF FF FF 06");  // -250

  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kInfo, up, &r), 0u);
  EXPECT_EQ(r.Last(), (Call{0, 3, 3}));
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 4u);
  ASSERT_EQ(rows[0].size(), 5u + 20 * 4 + 3);
  EXPECT_EQ(rows[0][5], "Element1ID");
  EXPECT_EQ(rows[0][6], "Element1Content");
  EXPECT_EQ(rows[0][7], "Element1Flag");
  EXPECT_EQ(rows[0][8], "Element1Per");
  EXPECT_EQ(rows[0].back(), "PerUnit");
  ExpectSameCells(down, up);

  // The whole table is cleared with "*"; then an upload has nothing to ask.
  ASSERT_EQ(scale.Exec(sdk, 3, kInfo, "*", &r), 0u);
  EXPECT_EQ(scale.Tables().Count(kInfo), 0u);
  scale.Device().Log().Clear();
  Recorder none;
  ASSERT_EQ(scale.Exec(sdk, 1, kInfo, up, &none), 0u);
  EXPECT_EQ(none.Last(), (Call{0, 0, 0}));
  EXPECT_TRUE(scale.Frames(kInfoUp).empty());
}

// What the tables refuse, each with its code and nothing stored past it.
TEST(HecrNutrition, RowsAndRepliesThatCannotBeTakenFail) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  vemkasim::HecrInfo lf8;
  lf8.lfCodeLen = 8;
  HecrScale scale(lf8);
  struct Case {
    const char* what;
    std::string file;
    uint32_t code, index;
  };
  const Case cases[] = {
      // Two BCD bytes hold up to 99.99 %.
      {"percentage 100", "PLUID\tElement1Per\r\n1\t99.99\r\n2\t100\r\n", 267, 2},
      {"negative percentage", "PLUID\tElement1Per\r\n1\t-1\r\n", 267, 1},
      // The PLU number has three bytes even where PLUs have eight digits.
      {"PLU number of 7 digits", "PLUID\tDepict\r\n5\tA\r\n1234567\tB\r\n", 265, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scale.Tables().Clear(kInfo);
    Recorder r;
    EXPECT_EQ(scale.Exec(sdk, 0, kInfo, WriteFile("bad.txt", c.file), &r), c.code);
    EXPECT_EQ(r.Last().index, c.index);
    EXPECT_EQ(scale.Tables().Count(kInfo), c.index - 1);
  }

  // A delete of a list would need a per-record delete the scale lacks.
  scale.Tables().Clear(kInfo);
  scale.Tables().PutRecord(kInfo, Bytes(512, 0));
  EXPECT_EQ(scale.Exec(sdk, 3, kInfo, WriteFile("del.txt", "PLUID\r\n0\r\n")), 261u);
  EXPECT_EQ(scale.Tables().Count(kInfo), 1u);
  EXPECT_TRUE(scale.Frames(0x9824).empty());
}

// A reply to the upload command that carries no record, before the table
// is complete, ends the upload with 266 instead of asking on for ever.
TEST(HecrNutrition, UploadReplyWithoutARecordIs266) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale;
  scale.Tables().PutRecord(kInfo, Bytes(512, 0));
  vemkasim::HecrCommandFaults empty;
  empty.emptyData = -1;
  for (auto [type, cmd] : {std::pair{kInfo, kInfoUp}, std::pair{kElements, kElementUp}}) {
    SCOPED_TRACE(type);
    scale.Tables().SetFaults(cmd, empty);
    Recorder r;
    EXPECT_EQ(scale.Exec(sdk, 1, type, vktest::TempDir() / "up.txt", &r), 266u);
    EXPECT_EQ(r.Last().index, 1u);
    EXPECT_EQ(scale.Tables().RequestsSeen(cmd), 1);
  }
}

// Text to binary and back gives the same cells, for both tables.
TEST(HecrNutrition, ConversionRoundTrip) {
  auto& sdk = vktest::LoadSdkDefault();
  struct Case {
    int32_t type;
    const char* text;
  };
  const Case cases[] = {
      {kElements, "ID\tName\tDailyValue\tUnit\tFlag\r\n2\tSalt\t6\tg\t1\r\n"},
      {kInfo, "PLUID\tDepict\tElement2Content\tElement2Per\r\n42\tBread\t3.5\t7.25\r\n9\tJam\t0.125\t0\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    fs::path dir = vktest::TempDir(), txt = WriteFile("in.txt", c.text), bin = dir / "t.bin", back = dir / "back.txt";
    ASSERT_EQ(Convert(sdk, u"CodePage=1252;WeightMultiple=1000", 0, c.type, txt, bin), 0u);
    ASSERT_EQ(Convert(sdk, u"CodePage=1252;WeightMultiple=1000", 1, c.type, back, bin), 0u);
    ExpectSameCells(txt, back);
  }
}

}  // namespace
