// Offline conversion of a large PLU table through the library's exports.
//
// Writes the 1,000,000-row table of the data-files benchmark, then runs
// interleaved rounds of
//   (a) the tight baseline: the text file read in large blocks and split at
//       TAB and line ends, nothing decoded;
//   (b) text to binary (VemkaSDK_Txt2BinA): every row checked, sorted by ID
//       and written as its 512-byte record;
//   (c) binary to text (VemkaSDK_Bin2TxtA): every record decoded into a
//       65-column row, plus the copy of the result into the debug directory
//       that every binary-to-text conversion leaves;
//   (d) the tight baseline that also writes an output as large as that of
//       (c), and one as large as that of (b).
// Prints min/median/max of each elapsed time and of the ratios of paired
// rounds, and the same for processor time (all threads, user and system),
// which a machine shared with other work disturbs far less.
// The SDK's own read-and-split (lines decoded to UTF-16) is measured once,
// for reference.
//
//   bench_convert [rows] [rounds]
// The library is the one built beside this program (<build>/src), or the
// file VEMKASDK_LIB names.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "plu_table_file.h"
#include "vemkasdk.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string LibraryPath() {
  if (const char* env = std::getenv("VEMKASDK_LIB")) return env;
  return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "libvemkasdk.so").string();
}

struct ConvertExports {
  decltype(&VemkaSDK_Txt2BinA) Txt2BinA = nullptr;
  decltype(&VemkaSDK_Bin2TxtA) Bin2TxtA = nullptr;
};

// Points VEMKASDK_INI at a private INI (debug and log output off, debug
// directory inside dir) and loads the library.
bool LoadLibrary(const fs::path& dir, ConvertExports& out) {
  const fs::path ini = dir / "libvemkasdk.ini";
  std::ofstream(ini) << "[System]\nOutputDebug=0\nOutputLog=0\nDebugDir=" << (dir / "debug").string() << "\n";
  setenv("VEMKASDK_INI", ini.c_str(), 1);
  const std::string lib = LibraryPath();
  void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    std::fprintf(stderr, "cannot load %s: %s\n", lib.c_str(), dlerror());
    return false;
  }
  out.Txt2BinA = reinterpret_cast<decltype(out.Txt2BinA)>(dlsym(h, "VemkaSDK_Txt2BinA"));
  out.Bin2TxtA = reinterpret_cast<decltype(out.Bin2TxtA)>(dlsym(h, "VemkaSDK_Bin2TxtA"));
  return out.Txt2BinA && out.Bin2TxtA;
}

double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
  const fs::path dir = fs::temp_directory_path() / ("vemka-bench-convert-" + std::to_string(getpid()));
  fs::create_directories(dir);
  struct Cleanup {
    fs::path dir;
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  } cleanup{dir};

  ConvertExports sdk;
  if (!LoadLibrary(dir, sdk)) return 1;

  const fs::path text = dir / "plu.txt", bin = dir / "plu.bin", back = dir / "back.txt", copy = dir / "copy.out";
  auto g0 = Clock::now();
  benchtable::WritePluTable(text, rows);
  std::printf("file: %d rows, %.1f MB, written in %.2f s; %d rounds\n", rows, fs::file_size(text) / 1e6,
              Seconds(g0), rounds);

  const char* params = "CodePage=936;LFCodeLen=8;UnitPriceMultiple=100";
  const std::string textIn = text.string() + "?65001", textOut = back.string() + "?65001";
  benchtable::Series tight, toBinary, toText, tightWriteText, tightWriteBinary;
  benchtable::Series binaryRatio, textRatio, textWriteRatio, binaryWriteRatio;
  benchtable::Series cpuTight, cpuBinary, cpuText, cpuBinaryRatio, cpuTextRatio, cpuTextWriteRatio,
      cpuBinaryWriteRatio;
  uint32_t down = 0, up = 0;
  uintmax_t binBytes = 0, backBytes = 0;
  uint64_t cells = 0;
  for (int r = 0; r < rounds; ++r) {
    std::error_code ec;
    fs::remove(bin, ec);
    fs::remove(back, ec);
    fs::remove_all(dir / "debug", ec);
    const benchtable::Phase base = benchtable::TightReadSplit(text);
    cells = base.check;

    double c0 = benchtable::CpuSeconds();
    auto t0 = Clock::now();
    down = sdk.Txt2BinA(params, 2, 0, textIn.c_str(), bin.c_str(), 0);
    const double b = Seconds(t0), cb = benchtable::CpuSeconds() - c0;
    binBytes = fs::exists(bin) ? fs::file_size(bin) : 0;

    c0 = benchtable::CpuSeconds();
    t0 = Clock::now();
    up = sdk.Bin2TxtA(params, 2, 0, bin.c_str(), textOut.c_str(), 0);
    const double t = Seconds(t0), ct = benchtable::CpuSeconds() - c0;
    backBytes = fs::exists(back) ? fs::file_size(back) : 0;

    const benchtable::Phase writeText = benchtable::TightReadSplit(text, copy, backBytes);
    const benchtable::Phase writeBinary = benchtable::TightReadSplit(text, copy, binBytes);
    fs::remove(copy, ec);

    tight.Add(base.seconds);
    toBinary.Add(b);
    toText.Add(t);
    tightWriteText.Add(writeText.seconds);
    tightWriteBinary.Add(writeBinary.seconds);
    binaryRatio.Add(b / base.seconds);
    textRatio.Add(t / base.seconds);
    textWriteRatio.Add(t / writeText.seconds);
    binaryWriteRatio.Add(b / writeBinary.seconds);
    cpuTight.Add(base.cpu);
    cpuBinary.Add(cb);
    cpuText.Add(ct);
    cpuBinaryRatio.Add(cb / base.cpu);
    cpuTextRatio.Add(ct / base.cpu);
    cpuTextWriteRatio.Add(ct / writeText.cpu);
    cpuBinaryWriteRatio.Add(cb / writeBinary.cpu);
    std::printf("round %d: tight %.3f s, text to binary %.3f s (result %u), binary to text %.3f s (result %u)\n",
                r + 1, base.seconds, b, down, t, up);
  }
  const benchtable::Phase sdkSplit = benchtable::ReadAndSplit(text);

  std::printf("times (min / median / max):\n");
  benchtable::PrintTimes("tight read + split (no decoding)", tight);
  benchtable::PrintTimes("text to binary (Txt2BinA)", toBinary);
  benchtable::PrintTimes("binary to text (Bin2TxtA, + debug copy)", toText);
  benchtable::PrintTimes("tight read + split + write text-sized output", tightWriteText);
  benchtable::PrintTimes("tight read + split + write binary-sized output", tightWriteBinary);
  std::printf("  %-48s %7.3f s once (lines decoded to UTF-16)\n", "SDK read + split, for reference",
              sdkSplit.seconds);
  std::printf("ratios of paired rounds (min / median / max):\n");
  benchtable::PrintRatio("text to binary / tight read + split", binaryRatio, 3.0);
  benchtable::PrintRatio("binary to text / tight read + split", textRatio, 3.0);
  benchtable::PrintRatio("binary to text / tight read + split + write", textWriteRatio);
  benchtable::PrintRatio("text to binary / tight read + split + write", binaryWriteRatio);
  std::printf("processor time, all threads (min / median / max):\n");
  benchtable::PrintTimes("tight read + split (no decoding)", cpuTight);
  benchtable::PrintTimes("text to binary (Txt2BinA)", cpuBinary);
  benchtable::PrintTimes("binary to text (Bin2TxtA, + debug copy)", cpuText);
  std::printf("ratios of processor time of paired rounds (min / median / max):\n");
  benchtable::PrintRatio("text to binary / tight read + split", cpuBinaryRatio, 3.0);
  benchtable::PrintRatio("binary to text / tight read + split", cpuTextRatio, 3.0);
  benchtable::PrintRatio("binary to text / tight read + split + write", cpuTextWriteRatio);
  benchtable::PrintRatio("text to binary / tight read + split + write", cpuBinaryWriteRatio);
  std::printf("sizes: text %.1f MB (%llu cells), binary %.1f MB, text written back %.1f MB (+ debug copy)\n",
              fs::file_size(text) / 1e6, static_cast<unsigned long long>(cells), binBytes / 1e6, backBytes / 1e6);
  std::printf("median rates: text to binary %.0f rows/s, binary to text %.0f rows/s\n", rows / toBinary.Median(),
              rows / toText.Median());
  return down == 0 && up == 0 ? 0 : 1;
}
