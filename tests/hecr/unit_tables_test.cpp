// Units and departments: whole tables placed by ID, sent in 256-byte
// packages, read back as one line per position.
#include <gtest/gtest.h>

#include "support/hecr_scale.h"
#include "support/sim_support.h"

namespace {

using namespace vemkasim;
using vktest::HecrScale;

constexpr int32_t kUnit = 1, kDepartment = 2;

TEST(HecrUnitTables, UnitsArePlacedByIdAndComeBackByPosition) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale;
  // 30 is outside the table; the second row with ID 3 loses to the first.
  auto file = vktest::WriteFile("unit.txt", "ID\tDescription\r\n3\tkg\r\n30\tzz\r\n3\tlb\r\n0\t\r\n");
  vktest::Recorder r;
  ASSERT_EQ(scale.Exec(sdk, 0, kUnit, file, &r), 0u);
  auto frames = scale.Frames(0x9823);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].data.size(), 256u);
  EXPECT_EQ(frames[1].data.size(), 144u);
  EXPECT_EQ(r.Last(), (vktest::Call{0, 25, 25}));
  Bytes area = scale.Tables().Area(kUnit);
  Bytes expected(400, 0);
  expected[48] = 0xAA, expected[49] = 0x55, expected[50] = 'k', expected[51] = 'g';
  EXPECT_EQ(Hex(area), Hex(expected));

  // A record without the marker has no name, whatever its bytes hold.
  area[80 + 2] = 'x';
  scale.Tables().SetArea(kUnit, area);
  auto back = vktest::TempDir() / "units_back.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kUnit, back), 0u);
  auto lines = vktest::Lines(back);
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[0], "ID\tDescription");
  EXPECT_EQ(lines[1], "0\t");
  EXPECT_EQ(lines[4], "3\tkg");
  EXPECT_EQ(lines[6], "5\t");
  EXPECT_EQ(lines[25], "24\t");
}

TEST(HecrUnitTables, DepartmentsAreCutAtThirtyBytesAndNumberedFromOne) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale;
  const std::string longName(35, 'N');
  auto file = vktest::WriteFile("dep.txt", "ID\tName\r\n1\tFruit\r\n99\t" + longName + "\r\n");
  ASSERT_EQ(scale.Exec(sdk, 0, kDepartment, file), 0u);
  auto frames = scale.Frames(0x9814);
  ASSERT_EQ(frames.size(), 25u);
  EXPECT_EQ(frames[24].data.size(), 192u);
  const Bytes area = scale.Tables().Area(kDepartment);
  EXPECT_EQ(std::string(area.begin() + 98 * 64, area.begin() + 98 * 64 + 31), std::string(30, 'N') + '\0');

  auto back = vktest::TempDir() / "dep_back.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kDepartment, back), 0u);
  auto lines = vktest::Lines(back);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines[1], "1\tFruit");
  EXPECT_EQ(lines[99], "99\t" + std::string(30, 'N'));
}

// A reply of the right command without a record, before the table is
// complete, is no answer: the task ends instead of asking for ever.
TEST(HecrUnitTables, AnEmptyUploadReplyEndsWith266) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale;
  HecrCommandFaults f;
  f.after = 1;
  f.emptyData = -1;
  scale.Tables().SetFaults(0x6022, f);
  vktest::Recorder r;
  EXPECT_EQ(scale.Exec(sdk, 1, kUnit, vktest::TempDir() / "u.txt", &r), 266u);
  EXPECT_LE(scale.Frames(0x6022).size(), 4u);
}

// Offline, the packages go to a file and come back as the same lines.
TEST(HecrUnitTables, ConversionRoundTrip) {
  auto& sdk = vktest::LoadSdkDefault();
  auto txt = vktest::WriteFile("units.txt", "ID\tDescription\r\n2\tbox\r\n24\tpcs\r\n");
  auto bin = vktest::TempDir() / "units.bin", back = vktest::TempDir() / "units_back.txt";
  ASSERT_EQ(vktest::Convert(sdk, u"CodePage=1252", 0, kUnit, txt, bin), 0u);
  EXPECT_EQ(vktest::ReadFile(bin).size(), 400u);
  ASSERT_EQ(vktest::Convert(sdk, u"CodePage=1252", 1, kUnit, back, bin), 0u);
  auto lines = vktest::Lines(back);
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[3], "2\tbox");
  EXPECT_EQ(lines[25], "24\tpcs");
}

}  // namespace
