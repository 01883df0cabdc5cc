#include "data/table_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <random>
#include <string>

#include "runtime/codepage.h"
#include "support/sdk_loader.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kRows = 20000;

// Row r of the table: its ID, a name (non-ASCII; every 97th one long enough
// to reach past a small view overlap) and a price.
std::u16string RowText(int32_t r) {
  std::u16string name = u"苹果 " + Utf8ToUtf16(std::to_string(r));
  if (r % 97 == 0) name += std::u16string(200, u'é');
  return Utf8ToUtf16(std::to_string(r + 1)) + u"\t" + name + u"\t" + Utf8ToUtf16(std::to_string(r % 997)) + u".5";
}

// The UTF-8 table (with its mark, CR LF line ends) all tests read.
const fs::path& TableFile() {
  static const fs::path p = [] {
    fs::path file = vktest::TempDir() / "order_table.txt";
    std::ofstream f(file, std::ios::binary);
    f << "\xEF\xBB\xBFID\tName\tPrice\r\n";
    for (int32_t r = 0; r < kRows; ++r) f << Utf16ToUtf8(RowText(r)) << "\r\n";
    return file;
  }();
  return p;
}

enum class Order { Ascending, Descending, Shuffled };

// The first `count` rows in the given order.
std::vector<int32_t> RowOrder(Order order, int32_t count) {
  std::vector<int32_t> rows(static_cast<size_t>(count));
  std::iota(rows.begin(), rows.end(), 0);
  if (order == Order::Descending) std::reverse(rows.begin(), rows.end());
  if (order == Order::Shuffled) std::shuffle(rows.begin(), rows.end(), std::mt19937(7));
  return rows;
}

// Reads the first `count` rows in the given order, checking their cells;
// returns the reads and views the stream made after the header.
uint64_t ReadRows(Order order, const TVKTableFileReader::ViewLimits& limits, int32_t count = kRows) {
  auto stream = TVKFileStream::OpenRead(TableFile());
  EXPECT_TRUE(stream);
  if (!stream) return 0;
  TVKTableFileReader reader;
  reader.SetViewLimits(limits);
  reader.Open(stream.get(), 65001, {});
  EXPECT_EQ(reader.RowCount(), kRows);
  EXPECT_EQ(reader.HeaderCells(), 3u);
  const uint64_t before = stream->ReadCalls() + stream->MappedViews();
  int bad = 0;
  for (int32_t r : RowOrder(order, count)) {
    const bool counted = reader.ReadRow(r);
    std::u16string joined;
    for (std::u16string_view c : reader.Cells()) joined += std::u16string(c) + u"\t";
    if ((!counted || joined != RowText(r) + u"\t") && ++bad <= 3)
      ADD_FAILURE() << "row " << r << " read as " << Utf16ToUtf8(joined);
  }
  return stream->ReadCalls() + stream->MappedViews() - before;
}

const char* Name(Order o) {
  return o == Order::Ascending ? "ascending" : o == Order::Descending ? "descending" : "shuffled";
}

// Reading the rows out of file order (as items do once they sort rows by
// ID) costs about what reading them in file order costs, with the default
// views and with views much smaller than the file.
TEST(TableFileReader, RowsInAnyOrderCostAboutWhatFileOrderCosts) {
  const TVKTableFileReader::ViewLimits cases[] = {
      TVKTableFileReader::kDefaultViews,
      {256 * 1024, 4096, 16},
  };
  for (const auto& limits : cases) {
    SCOPED_TRACE("view bytes " + std::to_string(limits.ViewBytes));
    const uint64_t ascending = ReadRows(Order::Ascending, limits);
    EXPECT_LE(ascending, fs::file_size(TableFile()) / limits.ViewBytes + 1);
    for (Order o : {Order::Descending, Order::Shuffled}) {
      SCOPED_TRACE(Name(o));
      EXPECT_LE(ReadRows(o, limits), ascending + 2);
    }
  }
}

// Rows read right in every order when few small views must be dropped and
// mapped again (the first 3,000 rows span three views of 64 KiB), when lines
// reach past a view's overlap (they go through the read window), and with
// the read window alone.
TEST(TableFileReader, RowsReadRightWhateverTheViews) {
  const TVKTableFileReader::ViewLimits cases[] = {
      {64 * 1024, 300, 2},
      {64 * 1024, 100, 2},
      {64 * 1024, 100, 0},
  };
  for (const auto& limits : cases) {
    SCOPED_TRACE("overlap " + std::to_string(limits.Overlap) + ", views " + std::to_string(limits.MaxViews));
    for (Order o : {Order::Ascending, Order::Descending, Order::Shuffled}) {
      SCOPED_TRACE(Name(o));
      ReadRows(o, limits, 3000);
    }
  }
}

}  // namespace
}  // namespace vk
