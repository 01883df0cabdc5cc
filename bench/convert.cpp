// Offline conversion of a large PLU table through the library's exports.
//
// Writes the 1,000,000-row table of the data-files benchmark, then measures
//   (a) the baseline: index the file, read every line, split it into cells;
//   (b) text to binary (VemkaSDK_Txt2BinA): every row checked, sorted by ID
//       and written as its 512-byte record;
//   (c) binary to text (VemkaSDK_Bin2TxtA): every record decoded into a
//       65-column row, plus the copy of the result into the debug directory
//       that every binary-to-text conversion leaves.
// Prints rows per second for each and the time ratio to the baseline.
//
//   bench_convert [rows]
// The library is the one built beside this program (<build>/src), or the
// file VEMKASDK_LIB names.
#include <dlfcn.h>
#include <unistd.h>

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

  const fs::path text = dir / "plu.txt", bin = dir / "plu.bin", back = dir / "back.txt";
  auto g0 = Clock::now();
  benchtable::WritePluTable(text, rows);
  std::printf("file: %d rows, %.1f MB, written in %.2f s\n", rows, fs::file_size(text) / 1e6, Seconds(g0));

  benchtable::Phase base = benchtable::ReadAndSplit(text);

  const char* params = "CodePage=936;LFCodeLen=8;UnitPriceMultiple=100";
  const std::string textIn = text.string() + "?65001", textOut = back.string() + "?65001";
  auto t0 = Clock::now();
  uint32_t down = sdk.Txt2BinA(params, 2, 0, textIn.c_str(), bin.c_str(), 0);
  const double toBinary = Seconds(t0);
  const uintmax_t binBytes = fs::exists(bin) ? fs::file_size(bin) : 0;

  t0 = Clock::now();
  uint32_t up = sdk.Bin2TxtA(params, 2, 0, bin.c_str(), textOut.c_str(), 0);
  const double toText = Seconds(t0);
  const uintmax_t backBytes = fs::exists(back) ? fs::file_size(back) : 0;

  std::printf("baseline (index, read, split):  %9.0f rows/s  %6.2f s  peak %ld kB\n", base.rows / base.seconds,
              base.seconds, base.peakKb);
  std::printf("text to binary (Txt2BinA):      %9.0f rows/s  %6.2f s  result %u, %.1f MB\n", rows / toBinary,
              toBinary, down, binBytes / 1e6);
  std::printf("binary to text (Bin2TxtA):      %9.0f rows/s  %6.2f s  result %u, %.1f MB (+ debug copy)\n",
              rows / toText, toText, up, backBytes / 1e6);
  std::printf("ratio to baseline time:         text to binary %.2f, binary to text %.2f\n", toBinary / base.seconds,
              toText / base.seconds);
  return down == 0 && up == 0 ? 0 : 1;
}
