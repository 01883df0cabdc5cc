// Shared by the table-file benchmarks: a large PLU-like table file (UTF-8,
// non-ASCII names, decimal prices, 25 columns) and the read-and-split
// baseline every table operation is compared with.
#pragma once

#include <algorithm>
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

struct Phase {
  double seconds = 0;
  long peakKb = 0;
  uint64_t check = 0;
  int64_t rows = 0;
};

// The baseline: index the file, read every line and split it into cells
// (header mapped to the field table); perRow adds the work being measured.
template <typename PerRow>
Phase ReadTable(const fs::path& p, const vk::TVKSDKRAMFieldInfo* fields, int32_t fieldCount, PerRow perRow) {
  using namespace vk;
  ResetPeakRss();
  Phase ph;
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
  ph.peakKb = PeakRssKb();
  return ph;
}

// The baseline alone.
inline Phase ReadAndSplit(const fs::path& p) {
  return ReadTable(p, nullptr, 0, [](const vk::TVKStrings& row, const vk::TVKIntegers&) { return row.size(); });
}

}  // namespace benchtable
