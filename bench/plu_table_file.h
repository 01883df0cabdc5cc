// Shared by the table-file benchmarks: a large PLU-like table file (UTF-8,
// non-ASCII names, decimal prices, 25 columns), the tight baseline every
// table operation is compared with (the file read in large blocks and split
// at TAB and line ends without decoding), the SDK's own read-and-split, and
// min/median/max over interleaved rounds.
#pragma once

#include <algorithm>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "data/field_info.h"
#include "data/text_file.h"
#include "runtime/file_stream.h"

namespace benchtable {

namespace fs = std::filesystem;

// The code page the table file is written in.
inline constexpr uint32_t kCodePage = 65001;

// The order the table's rows are written in; every order holds the same rows.
enum class RowOrder { Ascending, Descending, Shuffled };

inline void WritePluTable(const fs::path& p, int rows, RowOrder order = RowOrder::Ascending) {
  std::vector<int> ids;
  if (order != RowOrder::Ascending) {
    for (int i = 1; i <= rows; ++i) ids.push_back(order == RowOrder::Descending ? rows + 1 - i : i);
    if (order == RowOrder::Shuffled) std::shuffle(ids.begin(), ids.end(), std::mt19937(20261211));
  }
  std::ofstream f(p, std::ios::binary);
  f << "ID\tDepartmentID\tItemCode\tName1\tName2\tName3\tLabel1ID\tLabel2ID\tBarcodeType1\tUnitID\tPrice\t"
       "FreshnessDate\tPackageWeight\tText1ID\tFlag1\tFlag2\tTareValue\tTax1\tValidDate\tLimitPrice\t"
       "PackagePrice\tMessage1\tUnitPrintName\tSpeedCode\tMemberPrice\r\n";
  static const char* kNames[] = {"苹果汁", "鲜牛奶", "五花肉", "Äpfel rot", "西红柿 500g", "Bananen"};
  std::string line;
  for (int k = 1; k <= rows; ++k) {
    const int i = ids.empty() ? k : ids[static_cast<size_t>(k) - 1];
    const char* name = kNames[i % 6];
    line.clear();
    line += std::to_string(i) + "\t" + std::to_string(i % 99 + 1) + "\t" + std::to_string(6900000000000LL + i) +
            "\t" + name + " " + std::to_string(i) + "\t" + name + "\t产地：山东\t" + std::to_string(i % 5 + 1) +
            "\t0\t" + std::to_string(i % 10) + "\t" + std::to_string(i % 12 + 1) + "\t" + std::to_string(i % 997) +
            "." + std::to_string(i % 100) + "\t" + std::to_string(i % 30) + "\t" + std::to_string(i % 7) + ".5\t" +
            std::to_string(i % 9) + "\t60\t240\t0.015\t13\t" + std::to_string(i % 365) + "\t999.99\t" +
            std::to_string(i % 50) + ".125\t" + std::to_string(i % 3) + "\tkg\tPG" + std::to_string(i) + "\t" +
            std::to_string(i % 800) + ".35\r\n";
    f << line;
  }
}

inline long PeakRssKb() {
  std::ifstream s("/proc/self/status");
  std::string key;
  while (s >> key) {
    if (key == "VmHWM:") {
      long kb = 0;
      s >> kb;
      return kb;
    }
    s.ignore(1 << 16, '\n');
  }
  return -1;
}

inline void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Processor time of the whole process (every thread, user and system): on a
// shared machine it varies far less than the elapsed time.
inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Phase {
  double seconds = 0;
  double cpu = 0;
  long peakKb = 0;
  uint64_t check = 0;
  int64_t rows = 0;
};

// The SDK's read-and-split: index the file, read every line, decode it to
// UTF-16 and split it into cells (header mapped to the field table); perRow
// adds the work being measured.
template <typename PerRow>
Phase ReadTable(const fs::path& p, const vk::TVKSDKRAMFieldInfo* fields, int32_t fieldCount, PerRow perRow) {
  using namespace vk;
  ResetPeakRss();
  Phase ph;
  const double c0 = CpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  auto f = TVKFileStream::OpenRead(p);
  TVKSDKLinesInfo index = GetFileLinesInfo(*f, kCodePage);
  TVKStrings header = SplitString(ReadLineFromFileStream(*f, index[0], kCodePage), u'\t');
  TVKIntegers map = GetFieldLineIndexs(header, fields, fieldCount);
  for (size_t i = 1; i < index.size(); ++i) {
    TVKStrings row = SplitString(ReadLineFromFileStream(*f, index[i], kCodePage), u'\t');
    if (row.size() != header.size()) {
      std::fprintf(stderr, "row %zu has %zu cells\n", i, row.size());
      std::exit(1);
    }
    ph.check += perRow(row, map);
    ++ph.rows;
  }
  ph.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ph.cpu = CpuSeconds() - c0;
  ph.peakKb = PeakRssKb();
  return ph;
}

// The SDK's read-and-split alone.
inline Phase ReadAndSplit(const fs::path& p) {
  return ReadTable(p, nullptr, 0, [](const vk::TVKStrings& row, const vk::TVKIntegers&) { return row.size(); });
}

// The tight baseline: the file read in 1 MiB blocks, every byte looked at
// once, cells (TAB or line end) and rows (line ends) counted, nothing
// decoded. With out given, the blocks are also written there until exactly
// outBytes are written (the buffer written again when the input is
// shorter), as the cost of producing an output of that size.
inline Phase TightReadSplit(const fs::path& p, const fs::path& out = {}, uintmax_t outBytes = 0) {
  Phase ph;
  const double c0 = CpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  std::FILE* in = std::fopen(p.c_str(), "rb");
  std::FILE* o = out.empty() ? nullptr : std::fopen(out.c_str(), "wb");
  if (!in || (!out.empty() && !o)) {
    std::fprintf(stderr, "cannot open %s\n", (in ? out : p).c_str());
    std::exit(1);
  }
  std::vector<unsigned char> buf(1 << 20);
  uint64_t cells = 0, rows = 0;
  uintmax_t written = 0;
  auto write = [&](size_t n) {
    const size_t w = static_cast<size_t>(std::min<uintmax_t>(n, outBytes - written));
    if (std::fwrite(buf.data(), 1, w, o) != w) {
      std::fprintf(stderr, "cannot write %s\n", out.c_str());
      std::exit(1);
    }
    written += w;
  };
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) {
    uint64_t c = 0, r = 0;
    for (size_t i = 0; i < n; ++i) {
      const unsigned char b = buf[i];
      c += b == '\t';
      r += b == '\n';
    }
    cells += c + r;
    rows += r;
    if (o && written < outBytes) write(n);
  }
  if (o)
    while (written < outBytes) write(buf.size());
  std::fclose(in);
  if (o) std::fclose(o);
  ph.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ph.cpu = CpuSeconds() - c0;
  ph.check = cells;
  ph.rows = static_cast<int64_t>(rows) - 1;  // without the header
  return ph;
}

// Figures of one measurement over the rounds.
struct Series {
  std::vector<double> v;
  void Add(double x) { v.push_back(x); }
  double Min() const { return *std::min_element(v.begin(), v.end()); }
  double Max() const { return *std::max_element(v.begin(), v.end()); }
  double Median() const {
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
  }
};

// "label  min / median / max" of times in seconds.
inline void PrintTimes(const char* label, const Series& s) {
  std::printf("  %-48s %7.3f / %7.3f / %7.3f s\n", label, s.Min(), s.Median(), s.Max());
}
// The same for a ratio of paired rounds; goal > 0 prints the goal beside it.
inline void PrintRatio(const char* label, const Series& s, double goal = 0) {
  std::printf("  %-48s %7.2f / %7.2f / %7.2f x", label, s.Min(), s.Median(), s.Max());
  if (goal > 0) std::printf("   goal: <= %.1fx", goal);
  std::printf("\n");
}

}  // namespace benchtable
