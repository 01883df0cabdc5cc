// Offline conversion through the exported functions, as a host runs it:
// text tables to the scale's binary records (raw or as hexadecimal frame
// lines) and back, with no scale present.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/hecr_scale.h"
#include "support/sdk_loader.h"

namespace {

namespace fs = std::filesystem;

// One INI for every test of this program: debug and log output on, so the
// tests can see that conversions leave no debug or log file.
vktest::Sdk& Sdk(fs::path* debugDir = nullptr) {
  static fs::path dir = vktest::TempDir() / "debug";
  if (debugDir) *debugDir = dir;
  return vktest::LoadSdk(vktest::DefaultIni(dir, "OutputDebug=1\nOutputLog=2\n"));
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

using vktest::Lines;

using vktest::Cells;

std::string Hex(const std::string& bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Everything a task reported, in order.
struct Reports {
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> calls;
  static void VEMKA_CALL Cb(uint32_t code, uint32_t index, uint32_t total, void* user) {
    static_cast<Reports*>(user)->calls.emplace_back(code, index, total);
  }
  uint32_t Final() const { return calls.empty() ? 0xFFFFFFFFu : std::get<0>(calls.back()); }
};

// A conversion through the wide export, waited for.
Reports Convert(const std::u16string& info, uint32_t procType, const fs::path& text, const fs::path& bin,
                uint32_t auxCodePage = 0, uint32_t outputFileType = 0, const std::u16string& textSuffix = u"") {
  auto& sdk = Sdk();
  Reports r;
  std::u16string t = text.u16string() + textSuffix, b = bin.u16string();
  VKSDK_TASK h = sdk.ExecConvertTaskW(info.c_str(), 2, procType, 0, t.c_str(), b.c_str(), auxCodePage,
                                      outputFileType, &Reports::Cb, &r);
  sdk.WaitForTask(h);
  return r;
}

constexpr char kAppleParams[] = "CodePage=1252;LFCodeLen=6;UnitPriceMultiple=100";
constexpr char kAppleTable[] = "ID\tName1\tPrice\r\n123\tApple\t12.5\r\n";

// The record of the row 123 / Apple / 12.5 on a scale with a 6-digit label
// code and two price decimals, laid out by hand.
std::string AppleRecord() {
  std::string r(512, '\0');
  r[1] = '\x01', r[2] = '\x23';                     // ID 123, BCD at 0
  r.replace(13, 5, "Apple");                        // Name1
  r[135] = '\xFF';                                  // BarcodeType1 default
  r[142] = '\x12', r[143] = '\x50';                 // Price 1250, BCD at 138..143
  r[157] = '\x3C', r[158] = '\xF0';                 // Flag1, Flag2 defaults
  return r;
}

// Head of the download frame for package index Param (CMD 982E, 512 data
// bytes) with its sum byte.
std::string DownloadHead(uint16_t param) {
  std::string h = {'\xAA', 0, 0, 0, 0, '\x98', '\x2E', static_cast<char>(param >> 8), static_cast<char>(param & 0xFF),
                   0, '\x02', 0};
  unsigned sum = 0;
  for (unsigned char c : h) sum += c;
  h += static_cast<char>(sum & 0xFF);
  return h;
}

TEST(Convert, Txt2BinWritesTheRecordOfEachRow) {
  auto& sdk = Sdk();
  fs::path dir = vktest::TempDir(), txt = dir / "plu.txt", bin = dir / "plu.bin";
  WriteAll(txt, kAppleTable);
  ASSERT_EQ(sdk.Txt2BinA(kAppleParams, 2, 0, txt.string().c_str(), bin.string().c_str(), 0), 0u);
  EXPECT_EQ(ReadAll(bin), AppleRecord());
  // The record alone, whatever code page the caller named for the binary
  // file; protocol types other than 1 convert as Hecr.
  for (uint32_t protocol : {0u, 3u}) {
    fs::path bin2 = dir / ("plu" + std::to_string(protocol) + ".bin");
    std::u16string t = txt.u16string(), b = bin2.u16string();
    Reports r;
    sdk.WaitForTask(sdk.ExecConvertTaskW(u"CodePage=1252;LFCodeLen=6", protocol, 0, 0, t.c_str(), b.c_str(), 1200, 0,
                                         &Reports::Cb, &r));
    EXPECT_EQ(r.Final(), 0u) << protocol;
    EXPECT_EQ(ReadAll(bin2), AppleRecord()) << protocol;
  }
}

// With a non-zero output type every frame becomes one line of upper-case
// hexadecimal digits: head, record and check value.
TEST(Convert, Txt2BinHexWritesOneLinePerFrame) {
  auto& sdk = Sdk();
  fs::path dir = vktest::TempDir(), txt = dir / "plu.txt", hex = dir / "plu.hex";
  WriteAll(txt, "ID\tName1\tPrice\r\n200\tPear\t3\r\n123\tApple\t12.5\r\n124\tPlum\t1\r\n");
  ASSERT_EQ(sdk.Txt2BinA(kAppleParams, 2, 0, txt.string().c_str(), hex.string().c_str(), 1), 0u);
  const std::string apple = Hex(DownloadHead(0) + AppleRecord()) + "E28B";
  ASSERT_EQ(apple.size(), 1054u);
  ASSERT_EQ(apple.substr(0, 26), "AA00000000982E000000020072");
  std::string text = ReadAll(hex);
  std::vector<std::string> lines = Lines(hex);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(text.substr(0, 1056), apple + "\r\n");
  // The other rows follow in ID order with the next package indexes.
  EXPECT_EQ(lines[1].size(), 1054u);
  EXPECT_EQ(lines[1].substr(0, 26), Hex(DownloadHead(1)));
  EXPECT_EQ(lines[2].substr(0, 26), Hex(DownloadHead(2)));
  EXPECT_EQ(lines[2].substr(26 + 26, 8), Hex("Pear"));
  EXPECT_EQ(text.size(), 3u * 1056u);

  // The lines are written in the binary file's code page, with its mark.
  fs::path wide = dir / "plu16.hex";
  EXPECT_EQ(Convert(u"CodePage=1252;LFCodeLen=6", 0, txt, wide, 1200, 1).Final(), 0u);
  std::string expected = "\xFF\xFE";
  for (char c : apple + "\r\n") expected += std::string{c, '\0'};
  EXPECT_EQ(ReadAll(wide).substr(0, expected.size()), expected);
  EXPECT_EQ(ReadAll(wide).size(), 2u + 3u * 2u * 1056u);
}

// Text -> binary -> text gives back every cell of the columns the record
// keeps, in ID order; the parameters text may use "," and any letter case.
TEST(Convert, RoundTripKeepsTheCells) {
  fs::path dir = vktest::TempDir(), txt = dir / "in.txt", bin = dir / "plu.bin", back = dir / "back.txt";
  const std::string header =
      "ID\tDepartmentID\tGroupID\tItemCode\tName1\tName2\tName3\tLabel1ID\tBarcodeType1\tUnitID\tPrice\t"
      "PackageWeight\tFlag1\tFlag2\tProducedDate\tDiscountRate\tTax1\tLimitPrice\tTraceabilityCode\tMessage1\t"
      "UnitPrintName\tSpeedCode\tMemberPrice";
  const std::vector<std::string> rows = {
      "30\t7\t1234\t6901234567890\t苹果 Apple\tFuji\t产地：山东\t3\t7\t4\t12.5\t1.5\t61\t241\t2026-3-15 8:05:00\t15\t13\t"
      "999.99\t12345\t513\tkg\tPG30\t11.2",
      "2\t1\t5\t1\t鲜牛奶\tMilk\tx\t1\t255\t1\t0.99\t2\t60\t240\t2025-12-1 23:59:00\t0\t6.5\t0\t0\t0\tpc\tPG2\t0",
      "12345678\t99\t9999\t9999999999999999\tLast\tb\tc\t255\t0\t10\t999999.99\t0.001\t0\t0\t2000-1-1 0:00:00\t99\t"
      "0.01\t1.01\t999999\t65535\tbox\tZZ\t0.01",
  };
  std::string file = header + "\r\n";
  for (const auto& r : rows) file += r + "\r\n";
  WriteAll(txt, file);

  Reports down = Convert(u"codepage=936,LFCODELEN=8,unitpricemultiple=1000", 0, txt, bin, 0, 0, u"?65001");
  ASSERT_EQ(down.Final(), 0u);
  std::string records = ReadAll(bin);
  ASSERT_EQ(records.size(), 3u * 512u);
  // ID 2 first, at 239 as eight BCD digits; its price with three decimals.
  EXPECT_EQ(Hex(records.substr(239, 4)), "00000002");
  EXPECT_EQ(Hex(records.substr(138, 6)), "000000000990");

  Reports up = Convert(u"codepage=936,LFCODELEN=8,unitpricemultiple=1000", 1, back, bin, 0, 0, u"?65001");
  ASSERT_EQ(up.Final(), 0u);
  EXPECT_EQ(up.calls.back(), std::make_tuple(0u, 3u, 3u));
  std::vector<std::string> lines = Lines(back);
  ASSERT_EQ(lines.size(), 4u);
  std::vector<std::string> outHeader = Cells(lines[0]);
  std::map<std::string, size_t> column;
  for (size_t i = 0; i < outHeader.size(); ++i) column[outHeader[i]] = i;
  const std::vector<std::string> inHeader = Cells(header);
  const std::vector<size_t> order = {1, 0, 2};  // IDs 2, 30, 12345678
  for (size_t k = 0; k < order.size(); ++k) {
    std::vector<std::string> in = Cells(rows[order[k]]), out = Cells(lines[k + 1]);
    ASSERT_EQ(out.size(), outHeader.size());
    for (size_t c = 0; c < inHeader.size(); ++c) {
      ASSERT_TRUE(column.count(inHeader[c])) << inHeader[c];
      EXPECT_EQ(out[column[inHeader[c]]], in[c]) << "row " << k << " column " << inHeader[c];
    }
  }
}

// A weight multiple in the parameters scales every weight of every row, so
// fractions survive the round trip; one that is not a power of ten is
// refused before any file is touched.
TEST(Convert, WeightMultipleKeepsFractionalWeights) {
  auto& sdk = Sdk();
  fs::path dir = vktest::TempDir(), txt = dir / "w.txt", bin = dir / "w.bin", back = dir / "back.txt";
  struct Case {
    const char* params;
    const char* unit;  // UnitID of the row
    const char* weight;
    const char* tare;
    std::string weightBcd, tareBcd;
  };
  const Case cases[] = {
      {"WeightMultiple=1000", "1", "0.5", "0.125", std::string("\0\0\x05\0", 4), std::string("\0\0\x01\x25", 4)},
      // The multiple wins over the unit's own divisor (1000 for UnitID 4).
      {"WeightMultiple=10;UnitPriceMultiple=10", "4", "1.5", "0.1", std::string("\0\0\0\x15", 4),
       std::string("\0\0\0\x01", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    WriteAll(txt, std::string("ID\tName1\tUnitID\tPackageWeight\tTareValue\r\n7\tA\t") + c.unit + "\t" + c.weight +
                      "\t" + c.tare + "\r\n");
    ASSERT_EQ(sdk.Txt2BinA(c.params, 2, 0, txt.string().c_str(), bin.string().c_str(), 0), 0u);
    const std::string rec = ReadAll(bin);
    ASSERT_EQ(rec.size(), 512u);
    EXPECT_EQ(Hex(rec.substr(148, 4)), Hex(c.weightBcd));
    EXPECT_EQ(Hex(rec.substr(179, 4)), Hex(c.tareBcd));
    ASSERT_EQ(sdk.Bin2TxtA(c.params, 2, 0, bin.string().c_str(), back.string().c_str(), 0), 0u);
    std::vector<std::string> lines = Lines(back);
    ASSERT_EQ(lines.size(), 2u);
    std::vector<std::string> header = Cells(lines[0]), row = Cells(lines[1]);
    for (size_t i = 0; i < header.size() && i < row.size(); ++i) {
      if (header[i] == "PackageWeight") EXPECT_EQ(row[i], c.weight);
      if (header[i] == "TareValue") EXPECT_EQ(row[i], c.tare);
    }
  }

  fs::remove(bin);
  for (const char* bad : {"WeightMultiple=5", "WeightMultiple=abc"}) {
    EXPECT_EQ(sdk.Txt2BinA(bad, 2, 0, txt.string().c_str(), bin.string().c_str(), 0), 261u) << bad;
    EXPECT_FALSE(fs::exists(bin)) << bad;
  }
}

// Package indexes past 65535 no longer fit the frames' 16-bit Param; the
// conversion must still carry every record both ways.
TEST(Convert, LargeTablesKeepEveryRecord) {
  fs::path dir = vktest::TempDir(), txt = dir / "big.txt", bin = dir / "big.bin", back = dir / "back.txt";
  const int kRows = 100000;
  {
    std::ofstream f(txt, std::ios::binary);
    f << "ID\tName1\tPrice\r\n";
    for (int i = kRows; i >= 1; --i) f << i << "\tN" << i << "\t" << i % 1000 << ".25\r\n";
  }
  Reports down = Convert(u"", 0, txt, bin);
  ASSERT_EQ(down.Final(), 0u);
  EXPECT_EQ(down.calls.back(), std::make_tuple(0u, uint32_t(kRows), uint32_t(kRows)));
  ASSERT_EQ(fs::file_size(bin), 512u * kRows);
  {
    // Record 70000 (past the 16-bit wrap) holds ID 70001.
    std::ifstream f(bin, std::ios::binary);
    f.seekg(70000 * 512);
    std::string rec(512, '\0');
    f.read(rec.data(), 512);
    EXPECT_EQ(Hex(rec.substr(239, 4)), "00070001");
    EXPECT_EQ(rec.substr(13, 6), "N70001");
  }

  Reports up = Convert(u"", 1, back, bin);
  ASSERT_EQ(up.Final(), 0u);
  EXPECT_EQ(up.calls.back(), std::make_tuple(0u, uint32_t(kRows), uint32_t(kRows)));
  std::vector<std::string> lines = Lines(back);
  ASSERT_EQ(lines.size(), size_t(kRows) + 1);
  for (int i = 1; i <= kRows; ++i) {
    std::vector<std::string> c = Cells(lines[static_cast<size_t>(i)]);
    ASSERT_GT(c.size(), 12u) << "line " << i;
    ASSERT_EQ(c[0], std::to_string(i)) << "line " << i;
    ASSERT_EQ(c[4], "N" + std::to_string(i)) << "line " << i;
    ASSERT_EQ(c[12], std::to_string(i % 1000) + ".25") << "line " << i;
  }
}

// Binary to text counts the packages of the file, the last one possibly
// short; a short package is a file cut inside a record and ends the task
// with 265 and the package's number (and no text file). The binary input
// is raw records also when the caller names the hex output form.
TEST(Convert, Bin2TxtTotalComesFromTheFileSize) {
  fs::path dir = vktest::TempDir();
  struct Case {
    size_t bytes;
    uint32_t outputFileType;
    uint32_t code, index, total;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0},
      {1024, 0, 0, 2, 2},
      {700, 0, 265, 2, 2},
      {300, 0, 265, 1, 1},
      {1024, 1, 0, 2, 2},
  };
  for (const Case& c : cases) {
    const std::string n = std::to_string(c.bytes) + "_" + std::to_string(c.outputFileType);
    fs::path bin = dir / ("in" + n + ".bin"), txt = dir / ("out" + n + ".txt");
    WriteAll(bin, std::string(c.bytes, '\0'));
    Reports r = Convert(u"", 1, txt, bin, 0, c.outputFileType);
    ASSERT_FALSE(r.calls.empty());
    EXPECT_EQ(r.calls.back(), std::make_tuple(c.code, c.index, c.total)) << c.bytes;
    if (c.code == 0)
      EXPECT_EQ(Lines(txt).size(), c.total + 1) << c.bytes;
    else
      EXPECT_FALSE(fs::exists(txt)) << c.bytes;
  }
}

// Names in a directory, to see that a conversion leaves no file of its own
// work behind.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// A conversion that fails leaves the caller's existing output exactly as it
// was (inputs are checked first, the output is written beside it and only
// put in place on success); one that succeeds replaces it whole. Neither
// leaves a file of its own work in the directory.
TEST(Convert, FailedConversionKeepsTheExistingOutput) {
  auto& sdk = Sdk();
  const std::string old(2000, 'o');
  struct Case {
    const char* name;
    bool toBinary;
    std::string input;  // empty: no input file at all
    uint32_t code;
  };
  const Case cases[] = {
      {"missing binary", false, "", 264},
      {"binary cut inside a record", false, AppleRecord() + std::string(100, '\0'), 265},
      {"missing text", true, "", 264},
      {"bad row", true, "ID\tName1\r\n1\tApple\textra\r\n", 265},
      {"binary to text", false, AppleRecord(), 0},
      {"text to binary", true, kAppleTable, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path dir = vktest::TempDir(), in = dir / "in", out = dir / "out";
    if (!c.input.empty()) WriteAll(in, c.input);
    WriteAll(out, old);
    const std::vector<std::string> before = Names(dir);
    const std::string i = in.string(), o = out.string();
    const uint32_t code = c.toBinary ? sdk.Txt2BinA(kAppleParams, 2, 0, i.c_str(), o.c_str(), 0)
                                     : sdk.Bin2TxtA(kAppleParams, 2, 0, i.c_str(), o.c_str(), 0);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(Names(dir), before);
    if (c.code != 0)
      EXPECT_EQ(ReadAll(out), old);
    else if (c.toBinary)
      EXPECT_EQ(ReadAll(out), AppleRecord());
    else
      EXPECT_EQ(Lines(out).size(), 2u);
  }

  // An output reached through a link: the link stays, the file behind it
  // gets the result.
  fs::path dir = vktest::TempDir(), txt = dir / "plu.txt", real = dir / "real.bin", link = dir / "link.bin";
  WriteAll(txt, kAppleTable);
  WriteAll(real, old);
  std::error_code linkError;
  fs::create_symlink(real, link, linkError);
  if (linkError) GTEST_SKIP() << "this system gives no symbolic links here: " << linkError.message();
  EXPECT_EQ(sdk.Txt2BinA(kAppleParams, 2, 0, txt.string().c_str(), link.string().c_str(), 0), 0u);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadAll(real), AppleRecord());
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"link.bin", "plu.txt", "real.bin"}));
}

TEST(Convert, FilesThatCannotBeOpenedOrCreated) {
  fs::path dir = vktest::TempDir();
  fs::path txt = dir / "plu.txt", bin = dir / "plu.bin", blocker = dir / "file";
  WriteAll(txt, kAppleTable);
  WriteAll(blocker, "x");
  // No text input: 264, and no binary file appears.
  EXPECT_EQ(Convert(u"", 0, dir / "missing.txt", bin).Final(), 264u);
  EXPECT_FALSE(fs::exists(bin));
  // No binary input: 264.
  EXPECT_EQ(Convert(u"", 1, dir / "out.txt", dir / "missing.bin").Final(), 264u);
  // An output under a regular file cannot be created: 269 (the binary
  // input must exist, as inputs are checked first).
  EXPECT_EQ(Convert(u"", 0, txt, blocker / "plu.bin").Final(), 269u);
  // An output that is the input itself (by any name) is refused untouched.
  EXPECT_EQ(Convert(u"", 0, txt, dir / "." / "plu.txt").Final(), 269u);
  EXPECT_EQ(ReadAll(txt), kAppleTable);
  ASSERT_EQ(Convert(u"", 0, txt, bin).Final(), 0u);
  EXPECT_EQ(Convert(u"", 1, blocker / "out.txt", bin).Final(), 269u);
  // A directory cannot be replaced by an output.
  EXPECT_EQ(Convert(u"", 1, dir, bin).Final(), 269u);
  EXPECT_EQ(Convert(u"", 1, dir / "." / "plu.bin", bin).Final(), 269u);
  EXPECT_EQ(fs::file_size(bin), 512u);
}

// A conversion whose output does not reach the disk (here a device that is
// always full) must not report success, whether the write fails on the way
// or only when the file is closed.
TEST(Convert, OutputThatCannotBeWrittenIs269) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  fs::path dir = vktest::TempDir(), small = dir / "small.txt", big = dir / "big.txt", bin = dir / "plu.bin";
  WriteAll(small, kAppleTable);
  std::string table = "ID\tName1\r\n";
  for (int i = 1; i <= 100; ++i) table += std::to_string(i) + "\tN\r\n";
  WriteAll(big, table);
  EXPECT_EQ(Convert(u"", 0, small, "/dev/full").Final(), 269u);
  Reports r = Convert(u"", 0, big, "/dev/full");
  EXPECT_EQ(std::get<0>(r.calls.back()), 269u);
  EXPECT_LT(std::get<1>(r.calls.back()), 100u);
  EXPECT_EQ(Convert(u"", 0, big, "/dev/full", 0, 1).Final(), 269u);

  ASSERT_EQ(Convert(u"", 0, small, bin).Final(), 0u);
  EXPECT_EQ(Convert(u"", 1, "/dev/full", bin).Final(), 269u);
}

// A conversion stopped by the host ends between two records with (2, 0, 0).
TEST(Convert, StopEndsBetweenRecords) {
  auto& sdk = Sdk();
  fs::path dir = vktest::TempDir(), txt = dir / "plu.txt", bin = dir / "plu.bin";
  const int kRows = 20000;
  std::string table = "ID\tName1\r\n";
  for (int i = 1; i <= kRows; ++i) table += std::to_string(i) + "\tN\r\n";
  WriteAll(txt, table);
  // Past record 10 every progress report takes a millisecond, so the rest
  // of the table would take far longer than the stop request.
  struct Slow {
    std::atomic<bool> reached{false};
    std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> calls;
    static void VEMKA_CALL Cb(uint32_t code, uint32_t index, uint32_t total, void* user) {
      auto* s = static_cast<Slow*>(user);
      s->calls.emplace_back(code, index, total);
      if (code == VKSDK_PROGRESS && index >= 10) {
        s->reached = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  } slow;
  std::u16string t = txt.u16string(), b = bin.u16string();
  VKSDK_TASK h = sdk.ExecConvertTaskW(u"", 2, 0, 0, t.c_str(), b.c_str(), 0, 0, &Slow::Cb, &slow);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  for (int i = 0; i < 60000 && !slow.reached; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(slow.reached);
  sdk.StopTask(h);
  ASSERT_FALSE(slow.calls.empty());
  EXPECT_EQ(slow.calls.back(), std::make_tuple(2u, 0u, 0u));
  // A stopped conversion leaves no output, finished or not.
  EXPECT_FALSE(fs::exists(bin));
  EXPECT_EQ(Names(dir), std::vector<std::string>{"plu.txt"});
}

// A data type without a Hecr item ends with 261 (protocol types other than 1
// convert as Hecr); a PLU file that does not fit the table is refused as in
// a download.
TEST(Convert, UnknownTypesAndBadRows) {
  auto& sdk = Sdk();
  fs::path dir = vktest::TempDir(), txt = dir / "plu.txt", bin = dir / "zero.bin";
  WriteAll(bin, std::string(512, '\0'));
  for (uint32_t protocol : {0u, 2u, 3u}) {
    Reports r;
    std::u16string t = txt.u16string(), b = bin.u16string();
    sdk.WaitForTask(sdk.ExecConvertTaskW(u"", protocol, 1, 9999, t.c_str(), b.c_str(), 0, 0, &Reports::Cb, &r));
    EXPECT_EQ(r.Final(), 261u) << protocol;
  }

  WriteAll(txt, "Name1\tPrice\r\nApple\t1\r\n");
  EXPECT_EQ(sdk.Txt2BinA("", 2, 0, txt.string().c_str(), (dir / "a.bin").string().c_str(), 0), 265u);
  WriteAll(txt, "ID\tName1\r\n1\tApple\textra\r\n");
  EXPECT_EQ(sdk.Txt2BinA("", 2, 0, txt.string().c_str(), (dir / "b.bin").string().c_str(), 0), 265u);
}

// The IDs and cell counts of a table are checked before anything is
// written, from the file's bytes where they are plain enough and from the
// decoded rows otherwise: in every code page the first bad row gives 265
// and its number, and good rows come out in ID order.
TEST(Convert, RowChecksGiveTheSameRowInEveryEncoding) {
  fs::path dir = vktest::TempDir();
  auto utf16 = [](const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += {c, '\0'};
    return out;
  };
  // C6BB B9FB is a two-byte name in 936; 81 7F a lead byte whose trail
  // byte is not one; 80 and a lone 81 at the line end are no lead bytes.
  struct Case {
    const char* what;
    std::string bytes;
    std::u16string suffix;
    uint32_t code, index;
  } cases[] = {
      {"936, sorted", "ID\tName1\r\n30\t\xC6\xBB\r\n2\t\x80\r\n100\tA\x81\x7F\r\n7\t\x81\r\n", u"?936", 0, 4},
      {"936, not a number", "ID\tName1\r\n1\t\xC6\xBB\xB9\xFB\r\n2\t\x80\r\nx\tB\r\n", u"?936", 265, 3},
      {"936, cell count", "ID\tName1\r\n1\t\xC6\xBB\r\n2\t\xB9\xFB\tC\r\n", u"?936", 265, 2},
      {"936, negative after a lone lead", "ID\tName1\r\n1\t\x81\r\n-2\tB\r\n", u"?936", 265, 2},
      {"932, zero", "ID\tName1\r\n1\t\xB1\x82\xA0\r\n0\tB\r\n", u"?932", 265, 2},
      {"UTF-8, full-width digit", "ID\tName1\r\n1\tA\r\n\xEF\xBC\x91\tB\r\n", u"?65001", 265, 2},
      {"UTF-8, too large", "ID\tName1\r\n1\t\xE8\x8B\xB9\r\n123456789\tB\r\n", u"?65001", 265, 2},
      {"UTF-16, sorted", utf16("ID\tName1\r\n30\tC\r\n2\tA\r\n100\tB\r\n"), u"", 0, 3},
      {"UTF-16, not a number", utf16("ID\tName1\r\n1\tA\r\n2\tB\r\nx\tC\r\n"), u"", 265, 3},
      {"UTF-16, cell count", utf16("ID\tName1\r\n1\tA\r\n2\tB\tC\r\n"), u"", 265, 2},
  };
  for (const Case& c : cases) {
    fs::path txt = dir / "rows.txt", bin = dir / "rows.bin";
    WriteAll(txt, c.bytes);
    Reports r = Convert(u"CodePage=936;LFCodeLen=0", 0, txt, bin, 0, 0, c.suffix);
    ASSERT_FALSE(r.calls.empty()) << c.what;
    EXPECT_EQ(r.Final(), c.code) << c.what;
    EXPECT_EQ(std::get<1>(r.calls.back()), c.index) << c.what;
    if (c.code != 0) continue;
    // The 3-byte BCD IDs at the start of the records, in ascending order.
    const std::string data = ReadAll(bin);
    std::string ids;
    for (size_t at = 0; at + 512 <= data.size(); at += 512) ids += Hex(data.substr(at, 3)) + " ";
    EXPECT_EQ(ids, c.index == 4 ? "000002 000007 000030 000100 " : "000002 000030 000100 ") << c.what;
  }
}

// Conversions write no debug or log file, but the text a binary-to-text
// conversion produces is copied into the debug directory like an upload.
TEST(Convert, OnlyTheTextOutputIsCopiedToTheDebugDirectory) {
  fs::path debugDir;
  auto& sdk = Sdk(&debugDir);
  fs::path dir = vktest::TempDir(), txt = dir / "plu.txt", bin = dir / "plu.bin", back = dir / "copied.txt";
  WriteAll(txt, kAppleTable);
  ASSERT_EQ(sdk.Txt2BinA(kAppleParams, 2, 0, txt.string().c_str(), bin.string().c_str(), 0), 0u);
  ASSERT_EQ(sdk.Bin2TxtA(kAppleParams, 2, 0, bin.string().c_str(), back.string().c_str(), 0), 0u);
  // Other conversions of this process may have left their copies too; none
  // may have left a debug or log file.
  std::vector<fs::path> copies;
  if (fs::exists(debugDir))
    for (const auto& e : fs::directory_iterator(debugDir)) {
      std::string name = e.path().filename().string();
      EXPECT_EQ(name.find("_debug"), std::string::npos) << name;
      EXPECT_EQ(name.find("_log"), std::string::npos) << name;
      if (name.ends_with("_copied.txt")) copies.push_back(e.path());
    }
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].filename().string().rfind("0.0.0.0_", 0), 0u) << copies[0];
  EXPECT_EQ(ReadAll(copies[0]), ReadAll(back));
}

}  // namespace
