// Every field table the library registers, checked the same way: a record
// decoded to cells and encoded again is stable (encode(decode(encode(
// decode(seed)))) is encode(decode(seed))), and decoding a record cut
// short anywhere stays inside the bytes and still gives every column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/table_ops.h"
#include "data/text_file.h"
#include "hecr/hecr_item_table.h"
#include "pecr/pecr_item.h"

namespace {

using namespace vk;

TVKCodecContext Context() {
  TVKCodecContext c;
  c.CodePage = 936;
  c.PriceMultiple = 100;
  c.WeightMultiple = 1000;
  c.RowWeightMultiple = 1000;
  c.RowId = 7;
  return c;
}

TVKStrings HeaderOf(const TVKSDKRAMDefineInfo& d) {
  return SplitString(FieldsHeaderLine(d.FieldInfoDynArray, d.FieldCount), u'\t');
}

// Decodes a record into one row of cells (a TAB never appears inside one).
TVKStrings Decode(const TVKSDKRAMDefineInfo& d, const TVKBytes& record, const TVKCodecContext& c) {
  return SplitString(RecordToText(record, d.FieldInfoDynArray, d.FieldCount, c), u'\t');
}

TVKBytes Encode(const TVKSDKRAMDefineInfo& d, const TVKStrings& cells, const TVKCodecContext& c) {
  int32_t failed = 0;
  TVKBytesDynArray recs = GenerateDataDynArray({HeaderOf(d), cells}, d.FieldInfoDynArray, d.FieldCount, c, failed);
  EXPECT_EQ(failed, 0);
  if (recs.empty()) return {};
  recs[0].resize(static_cast<size_t>(d.SingleDataLen));
  return recs[0];
}

// Every definition the families register, with the class that uses it.
std::vector<std::pair<std::string, const TVKSDKRAMDefineInfo*>> RegisteredTables() {
  std::vector<std::pair<std::string, const TVKSDKRAMDefineInfo*>> out;
  for (const auto& maker : HecrItemMakers())
    for (const TVKSDKRAMDefineInfo* d : maker.Tables) out.emplace_back(maker.ClassName, d);
  for (const TVKSDKRAMDefineInfo* d : PecrTableDefines()) out.emplace_back("Pecr", d);
  return out;
}

TEST(FieldTables, EveryRegisteredTableRoundTrips) {
  int layout = 0;
  for (const auto& [owner, d] : RegisteredTables()) {
    SCOPED_TRACE(owner + " layout " + std::to_string(layout++));
    ASSERT_TRUE(DefineFits(*d));
    const size_t columns = HeaderOf(*d).size();
    // Seeds: all zero, and bytes that read as digits in BCD and as text.
    for (uint8_t fill : {uint8_t{0}, uint8_t{0x31}}) {
      const TVKCodecContext c = Context();
      const TVKBytes seed(static_cast<size_t>(d->SingleDataLen), fill);
      const TVKStrings cells = Decode(*d, seed, c);
      ASSERT_EQ(cells.size(), columns);
      const TVKBytes once = Encode(*d, cells, c);
      const TVKStrings again = Decode(*d, once, c);
      EXPECT_EQ(Encode(*d, again, c), once) << "fill " << int(fill);
    }
    // A record cut short: every column is still there, no byte outside
    // the data is read (the sanitizers watch the heap copy).
    const TVKBytes full(static_cast<size_t>(d->SingleDataLen), 0x31);
    for (size_t len = 0; len < full.size(); ++len) {
      TVKBytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len));
      EXPECT_EQ(Decode(*d, cut, Context()).size(), columns) << "cut at " << len;
    }
  }
}

}  // namespace
