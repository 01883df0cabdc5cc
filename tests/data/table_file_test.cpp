#include "data/table_file.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>
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

// A copy of the first `rows` rows of the table, for a test that cuts it.
fs::path SmallTable(const char* name, int32_t rows) {
  fs::path file = vktest::TempDir() / name;
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  f << "\xEF\xBB\xBFID\tName\tPrice\r\n";
  for (int32_t r = 0; r < rows; ++r) f << Utf16ToUtf8(RowText(r)) << "\r\n";
  return file;
}

// Reads each row and tells which were read; a row reported read must read
// right, and one that is not leaves no cells.
std::vector<bool> ReadableRows(TVKTableFileReader& reader, std::initializer_list<int32_t> rows) {
  std::vector<bool> out;
  for (int32_t r : rows) {
    const bool ok = reader.ReadRow(r);
    std::u16string joined;
    for (std::u16string_view c : reader.Cells()) joined += std::u16string(c) + u"\t";
    if (ok) {
      EXPECT_EQ(Utf16ToUtf8(joined), Utf16ToUtf8(RowText(r) + u"\t")) << "row " << r;
    } else {
      EXPECT_TRUE(reader.Cells().empty()) << "row " << r;
    }
    out.push_back(ok);
  }
  return out;
}

// A table cut short by another program while its rows are read through a
// mapped view: rows past the new end are unreadable (as a short read made
// them), the process goes on, and a row still inside the file reads right.
// False when the system refuses to shorten a mapped file.
bool CutShortWhileRead(const char* name) {
  const fs::path file = SmallTable(name, 3000);
  auto stream = TVKFileStream::OpenRead(file);
  EXPECT_TRUE(stream);
  if (!stream) return true;
  TVKTableFileReader reader;
  reader.Open(stream.get(), 65001, {});
  EXPECT_EQ(reader.RowCount(), 3000);
  EXPECT_EQ(ReadableRows(reader, {0, 1, 2999}), std::vector<bool>(3, true));
  std::error_code ec;
  fs::resize_file(file, 1000, ec);
  if (ec) return false;
  // Row 1 ends well inside the first 1000 bytes; the others are pages past
  // the new end (the first of them is read through the damaged view, the
  // rest through what is left of the file).
  EXPECT_EQ(ReadableRows(reader, {2999, 1500, 2998, 1}), (std::vector<bool>{false, false, false, true}));
  EXPECT_GT(stream->MappedViews(), 1u);
  return true;
}

TEST(TableFileReader, FileCutShortWhileReadGivesRowErrorsNotACrash) {
  if (!CutShortWhileRead("cut_short.txt")) GTEST_SKIP() << "the system refuses to shorten a mapped file";
}

#if defined(__linux__)
std::atomic<int> g_hostBusErrors{0};

// A host's own SIGBUS handler: counts what reaches it and mends a fault of
// its own mapping with a page of zeros.
void HostBusHandler(int, siginfo_t* info, void*) {
  g_hostBusErrors.fetch_add(1);
  if (info->si_code > 0) {
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    void* at = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(info->si_addr) & ~(page - 1));
    if (mmap(at, page, PROT_READ, MAP_FIXED | MAP_ANONYMOUS | MAP_PRIVATE, -1, 0) == MAP_FAILED) std::_Exit(3);
  }
}

// In a fresh process (so the host's handler comes before the reader's): the
// reader's handler is installed behind the host's, mends faults in the
// reader's views, and passes every other SIGBUS on to the host's handler,
// both one sent with raise and a fault of the host's own cut-short mapping.
TEST(TableFileReader, HostSigbusHandlerStillSeesFaultsOutsideTheReadersViews) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        struct sigaction sa {};
        sa.sa_sigaction = HostBusHandler;
        sa.sa_flags = SA_SIGINFO;
        sigemptyset(&sa.sa_mask);
        if (sigaction(SIGBUS, &sa, nullptr) != 0) std::_Exit(4);
        if (!CutShortWhileRead("cut_short_host.txt") || ::testing::Test::HasFailure()) std::_Exit(5);
        if (g_hostBusErrors.load() != 0) std::_Exit(6);
        raise(SIGBUS);
        if (g_hostBusErrors.load() != 1) std::_Exit(7);

        const fs::path own = SmallTable("cut_short_own.txt", 3000);
        const int fd = open(own.c_str(), O_RDONLY);
        const size_t size = static_cast<size_t>(fs::file_size(own));
        void* p = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (fd < 0 || p == MAP_FAILED) std::_Exit(8);
        fs::resize_file(own, 200);
        const volatile uint8_t* last = static_cast<const uint8_t*>(p) + size - 1;
        if (*last != 0 || g_hostBusErrors.load() != 2) std::_Exit(9);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
#else
TEST(TableFileReader, HostSigbusHandlerStillSeesFaultsOutsideTheReadersViews) {
  GTEST_SKIP() << "signals of a cut-short mapping are a Linux matter";
}
#endif

}  // namespace
}  // namespace vk
