#include "data/table_ops.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "data/sysdata.h"
#include "data/text_file.h"

namespace vk {
namespace {

// A fixed value written into a field without a column.
bool SetMarker(const TVKCodecContext&, std::u16string_view, uint8_t* p, int32_t n) {
  for (int32_t i = 0; i < n; ++i) p[i] = 0xA5;
  return true;
}

// A four-digit group number split over two places: last two digits in the
// first, first two in the second.
bool SetSplit(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n, uint8_t* p1, int32_t n1) {
  uint8_t tmp[2];
  if (!TVKSysData::SetBCD(c, s, tmp, 2)) return false;
  return n >= 1 && n1 >= 1 && (p[0] = tmp[1], p1[0] = tmp[0], true);
}
std::u16string GetSplit(const TVKCodecContext& c, const uint8_t* p, int32_t n, const uint8_t* p1, int32_t n1) {
  if (n < 1 || n1 < 1) return u"";
  uint8_t tmp[2] = {p1[0], p[0]};
  return TVKSysData::GetBCD(c, tmp, 2);
}

std::u16string GetWithTab(const TVKCodecContext&, const uint8_t*, int32_t) { return u"a\tb"; }

// The two-place field ends furthest (at 12), not the last field (at 8).
constexpr TVKSDKRAMFieldInfo kFields[] = {
    FieldInfo(u"%Nil%", 0, &SetMarker, nullptr, 1),
    FieldInfo(u"ID", 1, &TVKSysData::SetBCD, &TVKSysData::GetBCD, 2),
    FieldInfo(u"Group", 3, nullptr, nullptr, 1, &SetSplit, &GetSplit, 11, 1),
    FieldInfo(u"Name", 4, &TVKSysData::SetASC, &TVKSysData::GetASC, 4),
};
static_assert(RecordLength(kFields, 4) == 12);
static_assert(FieldsFit(kFields, 4, 12));

TEST(TableOps, GenerateSizesRecordsFromTheFurthestPlace) {
  TVKStringsDynArray t{{u"name", u"group", u"id", u"unknown"}, {u"Tea", u"1234", u"42", u"x"}, {u"Cup"}};
  int32_t failed = -1;
  TVKBytesDynArray recs = GenerateDataDynArray(t, kFields, 4, {65001}, failed);
  EXPECT_EQ(failed, 0);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0], (TVKBytes{0xA5, 0x00, 0x42, 0x34, 'T', 'e', 'a', 0, 0, 0, 0, 0x12}));
  // A short row supplies empty cells.
  EXPECT_EQ(recs[1], (TVKBytes{0xA5, 0x00, 0x00, 0x00, 'C', 'u', 'p', 0, 0, 0, 0, 0x00}));
  EXPECT_EQ(RecordToText(recs[0], kFields, 4, {65001}), u"42\t1234\tTea");
}

TEST(TableOps, GenerateReportsTheRowThatCannotBeEncoded) {
  TVKStringsDynArray t{{u"ID"}, {u"1"}, {u"12345"}, {u"2"}};
  int32_t failed = 0;
  EXPECT_TRUE(GenerateDataDynArray(t, kFields, 4, {65001}, failed).empty());
  EXPECT_EQ(failed, 2);
}

TEST(TableOps, GenerateWithoutMatchingColumnsKeepsDefaults) {
  int32_t failed = 0;
  TVKBytesDynArray recs =
      GenerateDataDynArray(TVKStringsDynArray{{u"Foo"}, {u"1"}}, kFields, 4, {65001}, failed);
  ASSERT_EQ(recs.size(), 1u);
  TVKBytes want(12, 0);
  want[0] = 0xA5;
  EXPECT_EQ(recs[0], want);
  EXPECT_TRUE(GenerateDataDynArray(TVKStringsDynArray{{u"ID"}}, kFields, 4, {65001}, failed).empty());
  EXPECT_EQ(failed, 0);
}

TEST(TableOps, FullStringDataItemsPlacesRowsById) {
  TVKStringsDynArray in{{u"Name", u"id"}, {u"a", u"3"}, {u"b", u"3"}, {u"c", u"25"}, {u"d", u"0"}, {u"e", u"x"}};
  TVKStringsDynArray out = FullStringDataItems(in, u"ID", 0, 25);
  ASSERT_EQ(out.size(), 26u);
  EXPECT_EQ(out[0], in[0]);
  EXPECT_EQ(out[4], in[1]);  // the first of the two rows with ID 3
  EXPECT_EQ(out[1], in[4]);  // ID 0
  EXPECT_EQ(out[2], (TVKStrings{u"", u""}));
  for (const auto& row : out)
    EXPECT_NE(row, in[3]);  // ID 25 is outside 0..24
  // Without the order column rows keep their order.
  TVKStringsDynArray plain = FullStringDataItems(in, u"", 1, 3);
  ASSERT_EQ(plain.size(), 4u);
  EXPECT_EQ(plain[3], in[3]);
  EXPECT_TRUE(FullStringDataItems({}, u"ID", 0, 5).empty());
}

TEST(TableOps, TrimPackageCutsRecordsIntoPackages) {
  TVKBytesDynArray recs(25, TVKBytes(16, 1));
  TVKBytesDynArray p = TrimPackage(recs, 256, 16, 0, false);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].size(), 256u);
  EXPECT_EQ(p[1].size(), 144u);

  TVKBytesDynArray three{TVKBytes(16, 1), TVKBytes(10, 2), TVKBytes(16, 3)};
  p = TrimPackage(three, 256, 16, 0, true);
  ASSERT_EQ(p.size(), 1u);
  ASSERT_EQ(p[0].size(), 256u);
  EXPECT_EQ(p[0][16], 2);
  EXPECT_EQ(p[0][26], 0);  // a short record is completed with zeros
  EXPECT_EQ(p[0][32], 3);
  for (size_t i = 48; i < 256; ++i) ASSERT_EQ(p[0][i], 0);

  EXPECT_EQ(TrimPackage(recs, 256, 16, 17, false).size(), 2u);
  EXPECT_EQ(TrimPackage(recs, 256, 16, 17, false)[1].size(), 16u);
  EXPECT_THROW(TrimPackage(recs, 8, 16, 0, false), std::invalid_argument);
  EXPECT_THROW(TrimPackage(recs, 256, 0, 0, false), std::invalid_argument);
}

TEST(TableOps, CalcPackageCount) {
  EXPECT_EQ(CalcPackageCount(0, 16), 0);
  EXPECT_EQ(CalcPackageCount(16, 16), 1);
  EXPECT_EQ(CalcPackageCount(17, 16), 2);
  EXPECT_EQ(CalcPackageCount(5, 0), 0);
}

TEST(TableOps, RecordToTextHandlesShortDataAndOffsets) {
  const TVKSDKRAMFieldInfo fields[] = {
      FieldInfo(u"A", 0, nullptr, &TVKSysData::GetBIN, 2),
      FieldInfo(u"%Nil%", 2, nullptr, &TVKSysData::GetBIN, 1),
      FieldInfo(u"B", 2, nullptr, &TVKSysData::GetASC, 4),
      FieldInfo(u"C", 6, nullptr, nullptr, 1),
      FieldInfo(u"T", 0, nullptr, &GetWithTab, 1),
      FieldInfo(u"D", 8, nullptr, &TVKSysData::GetBIN, 1),
  };
  TVKBytes data{0xFF, 0x00, 0x01, 0x02, 'X', 'Y', 'Z'};
  TVKCodecContext ctx{65001};
  // B is cut by the end of the data; D lies beyond it; C has no export.
  EXPECT_EQ(RecordToText(data.data(), 5, fields, 6, ctx), u"65280\tX\t\tab\t");
  // Second record of a package.
  EXPECT_EQ(RecordToText(data.data(), 7, fields, 1, ctx, 5), u"22874");
}

}  // namespace
}  // namespace vk
