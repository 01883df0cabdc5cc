// Reading and encoding a large PLU-like table file.
//
// Writes a 1,000,000-row tab-separated file (UTF-8, non-ASCII names, decimal
// prices, two dozen columns) into a temporary directory, then runs
// interleaved rounds of
//   (a) the tight baseline: the file read in large blocks and split at TAB
//       and line ends, nothing decoded;
//   (b) the SDK's read-and-split: index the file, read every line, decode it
//       to UTF-16, split it into cells;
//   (c) the same plus encoding every row into a 512-byte record with a
//       realistic field table (BCD numbers, names in code page 936, prices and
//       weights scaled exactly, BIN flags).
// Prints min/median/max of each elapsed time and of the ratios of paired
// rounds, the same ratios of processor time, and the peak resident memory
// of (b) and (c).
//
//   bench_data_files [rows] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/field_info.h"
#include "data/numbers.h"
#include "data/sysdata.h"
#include "data/table_ops.h"
#include "data/text_file.h"
#include "runtime/file_stream.h"

#include "plu_table_file.h"

namespace {

using namespace vk;
namespace fs = std::filesystem;

bool SetPriceBCD(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v;
  if (!ScaleDecimal(s, c.PriceMultiple, v) || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}
std::u16string GetPriceBCD(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  int64_t v;
  TVKSysData::ReadBCDValue(p, n, v);
  return FormatScaled(v, c.PriceMultiple);
}
bool SetPriceBIN(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v;
  return ScaleDecimal(s, c.PriceMultiple, v) && TVKSysData::WriteBINValue(v, p, n);
}
bool SetWeightBCD(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v;
  if (!ScaleDecimal(s, c.RowWeightMultiple, v) || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}
bool SetRateBCD(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  int64_t v;
  if (!ScaleDecimal(s, 100, v) || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}

using S = TVKSysData;
constexpr TVKSDKRAMFieldInfo kPluFields[] = {
    FieldInfo(u"ID", 239, &S::SetBCD, &S::GetBCD, 4),
    FieldInfo(u"DepartmentID", 3, &S::SetBCD, &S::GetBCD, 1),
    FieldInfo(u"ItemCode", 5, &S::SetBCD, &S::GetBCD, 8),
    FieldInfo(u"Name1", 13, &S::SetText, &S::GetText, 40),
    FieldInfo(u"Name2", 53, &S::SetText, &S::GetText, 40),
    FieldInfo(u"Name3", 93, &S::SetText, &S::GetText, 40),
    FieldInfo(u"Label1ID", 133, &S::SetBIN, &S::GetBIN, 1),
    FieldInfo(u"Label2ID", 134, &S::SetBIN, &S::GetBIN, 1),
    FieldInfo(u"BarcodeType1", 135, &S::SetBIN, &S::GetBIN, 1),
    FieldInfo(u"UnitID", 137, &S::SetBIN, &S::GetBIN, 1),
    FieldInfo(u"Price", 138, &SetPriceBCD, &GetPriceBCD, 6),
    FieldInfo(u"FreshnessDate", 144, &S::SetBIN, &S::GetBIN, 2),
    FieldInfo(u"PackageWeight", 148, &SetWeightBCD, &S::GetBCD, 4),
    FieldInfo(u"Text1ID", 152, &S::SetBIN, &S::GetBIN, 1),
    FieldInfo(u"Flag1", 157, &S::SetBIN, &S::GetBIN, 1),
    FieldInfo(u"Flag2", 158, &S::SetBIN, &S::GetBIN, 1),
    FieldInfo(u"TareValue", 179, &SetWeightBCD, &S::GetBCD, 4),
    FieldInfo(u"Tax1", 187, &SetRateBCD, &S::GetBCD, 2),
    FieldInfo(u"ValidDate", 191, &S::SetBIN, &S::GetBIN, 2),
    FieldInfo(u"LimitPrice", 197, &SetPriceBIN, &S::GetBIN, 4),
    FieldInfo(u"PackagePrice", 204, &SetPriceBCD, &GetPriceBCD, 4),
    FieldInfo(u"Message1", 231, &S::SetBINLE, &S::GetBINLE, 2),
    FieldInfo(u"UnitPrintName", 233, &S::SetASC, &S::GetASC, 6),
    FieldInfo(u"SpeedCode", 250, &S::SetASC, &S::GetASC, 20),
    FieldInfo(u"MemberPrice", 270, &SetPriceBCD, &GetPriceBCD, 6),
};
constexpr int32_t kPluFieldCount = sizeof(kPluFields) / sizeof(kPluFields[0]);
static_assert(FieldsFit(kPluFields, kPluFieldCount, 512));

}  // namespace

int main(int argc, char** argv) {
  int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
  fs::path dir = fs::temp_directory_path() / ("vemka-bench-data-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  fs::path file = dir / "plu.txt";
  auto g0 = std::chrono::steady_clock::now();
  benchtable::WritePluTable(file, rows);
  double gen = std::chrono::duration<double>(std::chrono::steady_clock::now() - g0).count();
  std::printf("file: %d rows, %.1f MB, written in %.2f s; %d rounds\n", rows, fs::file_size(file) / 1e6, gen, rounds);

  TVKCodecContext ctx;
  ctx.CodePage = 936;
  ctx.PriceMultiple = 100;
  ctx.RowWeightMultiple = 1000;
  TVKBytes templ(512, 0);
  templ[135] = 0xFF;
  TVKBytes rec(512);
  uint64_t failed = 0;
  auto encodeRow = [&](const TVKStrings& row, const TVKIntegers& map) -> uint64_t {
    std::memcpy(rec.data(), templ.data(), 512);
    if (!EncodeRow(row, map, kPluFields, kPluFieldCount, ctx, rec.data(), 512)) ++failed;
    return rec[140] + rec[20];
  };

  benchtable::Series tight, split, encode, splitRatio, encodeRatio, encodeSplitRatio;
  benchtable::Series cpuSplitRatio, cpuEncodeRatio;
  benchtable::Phase base, enc;
  for (int r = 0; r < rounds; ++r) {
    const benchtable::Phase t = benchtable::TightReadSplit(file);
    base = benchtable::ReadTable(file, kPluFields, kPluFieldCount,
                                 [](const TVKStrings& row, const TVKIntegers&) { return row.size(); });
    failed = 0;
    enc = benchtable::ReadTable(file, kPluFields, kPluFieldCount, encodeRow);
    tight.Add(t.seconds);
    split.Add(base.seconds);
    encode.Add(enc.seconds);
    splitRatio.Add(base.seconds / t.seconds);
    encodeRatio.Add(enc.seconds / t.seconds);
    encodeSplitRatio.Add(enc.seconds / base.seconds);
    cpuSplitRatio.Add(base.cpu / t.cpu);
    cpuEncodeRatio.Add(enc.cpu / t.cpu);
    std::printf("round %d: tight %.3f s, SDK read + split %.3f s, with encoding %.3f s\n", r + 1, t.seconds,
                base.seconds, enc.seconds);
  }

  // One record decoded back, as a sanity check of the table.
  std::u16string back = RecordToText(rec, kPluFields, kPluFieldCount, ctx);
  std::printf("last record: %s\n", Utf16ToUtf8(back).c_str());
  std::printf("times (min / median / max):\n");
  benchtable::PrintTimes("tight read + split (no decoding)", tight);
  benchtable::PrintTimes("SDK read + split (decoded to UTF-16)", split);
  benchtable::PrintTimes("SDK read + split + encode 512-byte records", encode);
  std::printf("ratios of paired rounds (min / median / max):\n");
  benchtable::PrintRatio("SDK read + split / tight read + split", splitRatio);
  benchtable::PrintRatio("with encoding / tight read + split", encodeRatio, 3.0);
  benchtable::PrintRatio("with encoding / SDK read + split", encodeSplitRatio);
  std::printf("ratios of processor time of paired rounds (min / median / max):\n");
  benchtable::PrintRatio("SDK read + split / tight read + split", cpuSplitRatio);
  benchtable::PrintRatio("with encoding / tight read + split", cpuEncodeRatio, 3.0);
  std::printf("peak memory: read + split %ld kB, with encoding %ld kB (%llu rows refused)\n", base.peakKb,
              enc.peakKb, static_cast<unsigned long long>(failed));
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
