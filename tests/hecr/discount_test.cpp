// The discount table (99 discounts of 3 steps) to and from a simulated
// Hecr scale through the exported functions, the decoding of its upload
// replies driven directly, and offline conversion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hecr/hecr_protocol.h"
#include "hecr/items/discount_item.h"
#include "support/hecr_scale.h"
#include "support/sim_support.h"
#include "sim/sim_wire.h"

namespace {

using namespace vemkasim;
namespace fs = std::filesystem;

constexpr int32_t kDiscount = 5;
constexpr size_t kRecord = 42, kPackage = 128;

using vktest::Cells;

// Byte offset of a record's place (1..297) in the table.
size_t OffsetOf(size_t place) { return (place - 1) / 3 * kPackage + (place - 1) % 3 * kRecord; }

const std::string kHeader =
    "ID\tItemIndex\tMode\tBeginDateTime\tEndDateTime\tMinWeight\tMaxWeight\tMinTotalPrice\tMaxTotalPrice\t"
    "DiscountRate\tDiscountAmt\tFlag1";
const std::string kStep23 = "2\t3\t1\t2026-3-15 8:05:00\t2026-12-31 23:59:00\t0.5\t12.34\t10\t999.99\t15\t2.5\t3";
const std::string kStep11 = "1\t1\t2\t\t\t0\t0\t0\t0\t0\t0.01\t0";

// The record of kStep23 with two price and two weight decimals, by hand.
Bytes Step23Record() {
  Bytes r = {0x01,                                // Mode
             0x20, 0x26, 0x03, 0x15, 0x08, 0x05,  // BeginDateTime
             0x20, 0x26, 0x12, 0x31, 0x23, 0x59,  // EndDateTime
             0x00, 0x00, 0x00, 0x50,              // MinWeight 0.5 x 100
             0x00, 0x00, 0x12, 0x34,              // MaxWeight 12.34 x 100
             0x00, 0x00, 0x00, 0x00, 0x10, 0x00,  // MinTotalPrice 10 x 100
             0x00, 0x00, 0x00, 0x09, 0x99, 0x99,  // MaxTotalPrice 999.99 x 100
             0x0F,                                // DiscountRate
             0x00, 0x00, 0x00, 0x00, 0x02, 0x50,  // DiscountAmt
             0x03, 0x00};                         // Flag1, zero
  return r;
}

// Rows land at (ID - 1) x 3 + ItemIndex; a discount outside 1..99 or a step
// outside 1..3 has no place and is dropped instead of overwriting another
// record. The upload gives every place back in order, numbered by place.
TEST(HecrDiscount, RowsGoToTheirPlacesAndComeBackNumberedByPlace) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  vktest::HecrScale scale(HecrInfo{}, 2);
  const fs::path in = vktest::WriteFile("discount.txt", kHeader + "\r\n" + kStep23 + "\r\n" + kStep11 +
                                                    "\r\n100\t1\t9\t\t\t0\t0\t0\t0\t0\t0\t9\r\n"
                                                    "1\t4\t9\t\t\t0\t0\t0\t0\t0\t0\t9\r\n"
                                                    "1\t0\t9\t\t\t0\t0\t0\t0\t0\t0\t9\r\n");
  ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 0, kDiscount, in), 0u);
  EXPECT_EQ(scale.Frames(0x9811).size(), 99u);
  const Bytes area = scale.Tables().Area(kDiscount);
  ASSERT_EQ(area.size(), 99 * kPackage);
  EXPECT_EQ(Hex(Bytes(area.begin() + OffsetOf(6), area.begin() + OffsetOf(6) + kRecord)), Hex(Step23Record()));
  Bytes expected(area.size(), 0);
  const Bytes step23 = Step23Record();
  std::copy(step23.begin(), step23.end(), expected.begin() + OffsetOf(6));
  expected[OffsetOf(1)] = 2;                           // Mode of (1, 1)
  expected[OffsetOf(1) + 39] = 0x01;                   // its DiscountAmt 0.01
  EXPECT_EQ(Hex(area), Hex(expected));                 // nothing else, padding zero

  const fs::path out = vktest::TempDir() / "discount-up.txt";
  ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 1, kDiscount, out), 0u);
  const std::vector<std::string> lines = vktest::Lines(out);
  ASSERT_EQ(lines.size(), 1u + 297u);
  EXPECT_EQ(lines[0], kHeader);
  for (size_t place = 1; place <= 297; ++place) {
    const std::vector<std::string> cells = Cells(lines[place]);
    ASSERT_EQ(cells.size(), 12u) << place;
    ASSERT_EQ(cells[0], std::to_string((place - 1) / 3 + 1)) << place;
    ASSERT_EQ(cells[1], std::to_string((place - 1) % 3 + 1)) << place;
  }
  EXPECT_EQ(lines[6], kStep23);
  EXPECT_EQ(lines[1], kStep11);
  EXPECT_EQ(lines[4].substr(0, 4), "2\t1\t");
}

// An upload reply of the right command with no data ends the task with 266.
TEST(HecrDiscount, EmptyUploadReplyIs266) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  vktest::HecrScale scale(HecrInfo{}, 3);
  HecrCommandFaults empty;
  empty.after = 2;
  empty.emptyData = -1;
  scale.Tables().SetFaults(0x6011, empty);
  EXPECT_EQ(scale.Exec(vktest::LoadSdkDefault(), 1, kDiscount, vktest::TempDir() / "up.txt"), 266u);
  EXPECT_EQ(scale.Frames(0x6011).size(), 3u);
}

// Replies decoded one by one: the first one's head block is skipped, each
// package holds records at 0, 42 and 84 (never one across its padding), a
// record cut off by the end of the data is not written, and records are
// numbered by their place.
TEST(HecrDiscount, UploadRepliesAreDecodedByPackage) {
  const fs::path file = vktest::TempDir() / "up.txt";
  static constexpr vk::TVKDataTypeRow kRow{ptHecr, 5, "TVKSDKHecrDiscountItem", nullptr, {0x9811, 0x6011}};
  {
    vk::TVKTaskCreateArgs a;
    a.ProcType = 1;
    a.DataType = 5;
    a.FileName = file.u16string();
    a.Addr = u"127.0.0.1";
    a.Port = 5002;
    vk::TVKSDKHecrProtocol task(a);
    task.GetPExecParams()->Row = &kRow;
    task.GetPExecParams()->FileStream = vk::TVKFileStream::Create(file);
    auto item = vk::MakeHecrItem<vk::TVKSDKHecrDiscountItem>(&task);
    // Every record's Mode is its place; the padding bytes are 0xEE, which a
    // record read across them would show.
    auto package = [](int firstPlace) {
      Bytes p(kPackage, 0xEE);
      for (int k = 0; k < 3; ++k) {
        std::fill(p.begin() + k * kRecord, p.begin() + (k + 1) * kRecord, 0);
        p[k * kRecord] = static_cast<uint8_t>(firstPlace + k);
      }
      return p;
    };
    Bytes first(kPackage, 0xEE);  // the head block
    for (int place : {1, 4}) {
      Bytes p = package(place);
      first.insert(first.end(), p.begin(), p.end());
    }
    first.resize(first.size() - kPackage + kRecord + 10);  // the second package is cut inside its second record
    EXPECT_EQ(item->SetRecvData(0, BuildHecr(0x6011, 0, first)), vk::rcContinue);
    Bytes second = package(7);
    EXPECT_EQ(item->SetRecvData(1, BuildHecr(0x6011, 1, second)), vk::rcContinue);
    // No whole record at all: 266.
    EXPECT_EQ(item->SetRecvData(2, BuildHecr(0x6011, 2, Bytes(kRecord - 1, 0))), vk::rcStop);
  }
  const std::vector<std::string> lines = vktest::Lines(file);
  std::vector<std::string> modes;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> c = Cells(lines[i]);
    modes.push_back(c[0] + "." + c[1] + "=" + c[2]);
  }
  EXPECT_EQ(modes, (std::vector<std::string>{"1.1=1", "1.2=2", "1.3=3", "2.1=4", "3.1=7", "3.2=8", "3.3=9"}));
}

// Text to binary writes the 99 packages as they are sent; binary to text
// reads them back without a head block.
TEST(HecrDiscount, ConversionRoundTrip) {
  const fs::path txt = vktest::WriteFile("d.txt", kHeader + "\r\n" + kStep23 + "\r\n" + kStep11 + "\r\n");
  const fs::path bin = txt.parent_path() / "d.bin", back = txt.parent_path() / "back.txt";
  const std::u16string info = u"CodePage=1252;UnitPriceMultiple=100;WeightMultiple=100";
  ASSERT_EQ(vktest::Convert(vktest::LoadSdkDefault(), info, 0, kDiscount, txt, bin), 0u);
  const std::string records = vktest::ReadFile(bin);
  ASSERT_EQ(records.size(), 99 * kPackage);
  const Bytes rec = Step23Record();
  EXPECT_EQ(records.substr(OffsetOf(6), kRecord), std::string(rec.begin(), rec.end()));
  ASSERT_EQ(vktest::Convert(vktest::LoadSdkDefault(), info, 1, kDiscount, back, bin), 0u);
  const std::vector<std::string> lines = vktest::Lines(back);
  ASSERT_EQ(lines.size(), 1u + 297u);
  EXPECT_EQ(lines[6], kStep23);
  EXPECT_EQ(lines[1], kStep11);
}

}  // namespace
