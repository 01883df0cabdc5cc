// Text-to-binary conversion of one PLU table written in three row orders.
//
// Writes the 1,000,000-row table of the data-files benchmark ascending,
// descending and shuffled by ID (the same rows each time), then converts each
// with VemkaSDK_Txt2BinA in interleaved rounds. The conversion checks every
// row in file order, then reads the rows again in ID order, so a file that
// is not ascending makes the reader jump about the file. Prints per order:
// the time (min/median/max over the rounds), the read system calls of the
// call (syscr of /proc/self/io), the growth of the peak resident set and of
// the private (anonymous) memory, and the ratio of each order to ascending.
// The three binary files must be byte-identical (records sorted by ID).
//
//   bench_file_order [rows] [rounds]
// The library is the one built beside this program (<build>/src), or the
// file VEMKASDK_LIB names.
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "hecr_bench.h"
#include "plu_table_file.h"

namespace {

using hecrbench::Clock;
namespace fs = std::filesystem;
using fs::path;
using benchtable::RowOrder;

// A counter of an io file of /proc ("syscr", "rchar"), -1 when absent.
long long IoCounter(const char* key, const char* file = "/proc/self/io") {
  std::ifstream in(file);
  std::string k;
  long long v = 0;
  while (in >> k >> v)
    if (k == std::string(key) + ":") return v;
  return -1;
}

// The private (anonymous) resident memory in kB, sampled every few
// milliseconds on its own thread while a call runs; Growth() is the most
// seen over the start. The thread's own reads of /proc (OwnReads) are left
// out of the call's read count.
class PrivateSampler {
 public:
  PrivateSampler() : start_(hecrbench::StatusKb("RssAnon")), peak_(start_) {
    thread_ = std::thread([this] {
      const long long reads = IoCounter("syscr", "/proc/thread-self/io");
      while (!stop_) {
        peak_ = std::max(peak_.load(), hecrbench::StatusKb("RssAnon"));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      ownReads_ = IoCounter("syscr", "/proc/thread-self/io") - reads;
    });
  }
  long Growth() {
    stop_ = true;
    thread_.join();
    peak_ = std::max(peak_.load(), hecrbench::StatusKb("RssAnon"));
    return peak_ - start_;
  }
  // Valid after Growth().
  long long OwnReads() const { return ownReads_; }

 private:
  long start_;
  std::atomic<long> peak_;
  std::atomic<bool> stop_{false};
  long long ownReads_ = 0;
  std::thread thread_;
};

struct Run {
  double seconds = 0;
  long long reads = 0;
  long rssKb = 0, privateKb = 0;
};

struct Stats {
  double min, median, max;
};

template <typename T>
Stats Of(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return {static_cast<double>(v.front()), static_cast<double>(v[v.size() / 2]), static_cast<double>(v.back())};
}

std::string Contents(const path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  hecrbench::TempDir dir;

  // Debug and log output off: the figures are the reader's and the codec's.
  const path ini = dir.path / "libvemkasdk.ini";
  std::ofstream(ini) << "[System]\nOutputDebug=0\nOutputLog=0\nDebugDir=" << (dir.path / "debug").string() << "\n";
  setenv("VEMKASDK_INI", ini.c_str(), 1);
  const std::string lib = hecrbench::LibraryPath();
  void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto txt2bin = h ? reinterpret_cast<decltype(&VemkaSDK_Txt2BinA)>(dlsym(h, "VemkaSDK_Txt2BinA")) : nullptr;
  if (!txt2bin) {
    std::fprintf(stderr, "cannot load VemkaSDK_Txt2BinA from %s\n", lib.c_str());
    return 1;
  }

  struct Order {
    const char* name;
    RowOrder order;
    path text, bin;
    std::vector<Run> runs;
  };
  std::vector<Order> orders = {{"ascending", RowOrder::Ascending, {}, {}, {}},
                               {"descending", RowOrder::Descending, {}, {}, {}},
                               {"shuffled", RowOrder::Shuffled, {}, {}, {}}};
  for (Order& o : orders) {
    o.text = dir.path / (std::string(o.name) + ".txt");
    o.bin = dir.path / (std::string(o.name) + ".bin");
    benchtable::WritePluTable(o.text, rows, o.order);
  }
  std::printf("file: %d rows, %.1f MB, %d interleaved rounds\n", rows, fs::file_size(orders[0].text) / 1e6, rounds);

  const char* params = "CodePage=936;LFCodeLen=8;UnitPriceMultiple=100";
  for (int r = 0; r < rounds; ++r) {
    for (Order& o : orders) {
      const std::string in = o.text.string() + "?65001";
      benchtable::ResetPeakRss();
      const long rssBefore = hecrbench::StatusKb("VmRSS");
      const long long readsBefore = IoCounter("syscr");
      PrivateSampler priv;
      auto t0 = Clock::now();
      const uint32_t code = txt2bin(params, 2, 0, in.c_str(), o.bin.c_str(), 0);
      Run run;
      run.seconds = hecrbench::Seconds(Clock::now() - t0);
      const long long reads = IoCounter("syscr") - readsBefore;
      run.privateKb = priv.Growth();
      run.reads = reads - priv.OwnReads();
      run.rssKb = hecrbench::StatusKb("VmHWM") - rssBefore;
      if (code != 0) {
        std::fprintf(stderr, "%s: Txt2BinA ended with %u\n", o.name, code);
        return 1;
      }
      o.runs.push_back(run);
    }
  }

  const std::string reference = Contents(orders[0].bin);
  bool identical = !reference.empty();
  for (const Order& o : orders) identical = identical && Contents(o.bin) == reference;

  std::printf("%-11s %8s %8s %8s  %9s  %12s  %12s\n", "order", "min s", "median s", "max s", "reads",
              "peak RSS +kB", "private +kB");
  std::vector<Stats> reads;
  for (const Order& o : orders) {
    std::vector<double> t;
    std::vector<long long> rd;
    std::vector<long> rss, priv;
    for (const Run& run : o.runs) {
      t.push_back(run.seconds);
      rd.push_back(run.reads);
      rss.push_back(run.rssKb);
      priv.push_back(run.privateKb);
    }
    const Stats time = Of(t);
    reads.push_back(Of(rd));
    std::printf("%-11s %8.3f %8.3f %8.3f  %9.0f  %12.0f  %12.0f\n", o.name, time.min, time.median, time.max,
                reads.back().median, Of(rss).max, Of(priv).max);
  }
  // Each round's time against the same round's ascending one, then the median.
  for (size_t i = 1; i < orders.size(); ++i) {
    std::vector<double> paired;
    for (int r = 0; r < rounds; ++r) paired.push_back(orders[i].runs[r].seconds / orders[0].runs[r].seconds);
    std::printf("%-11s to ascending: time %.2fx (median of paired rounds), reads %.2fx   goal: <= 1.1x\n",
                orders[i].name, Of(paired).median, reads[i].median / std::max(1.0, reads[0].median));
  }
  std::printf("binary outputs: %s\n", identical ? "byte-identical" : "DIFFERENT");
  return identical ? 0 : 1;
}
