// Fault run: PLU downloads and uploads against a simulated Hecr scale whose
// answers are damaged (one bit flipped in a share of them, anywhere in head,
// data or CRC), all sent twice, or both. After each run the scale's table
// (download) or the uploaded file (upload) is compared with a clean run:
// rows lost, changed and duplicated, and the final code. A run that reports
// 0 must have none of them, and the runs with repeated answers must
// complete. Not a timed test: it prints figures and exits 1 when a run
// breaks that rule.
//
//   bench_hecr_fault_run [ROWS] [--percent P] [--seed S] [--tries N] [--debug-dir DIR]
//   (20000 rows, 2 %, SyncTryCount 3; with --debug-dir the tasks' debug and
//   log files are kept there)
//
// With one answer in fifty damaged, three damaged answers in a row for one
// row (and so 266, with nothing damaged kept) happen about once in six
// downloads of 20000 rows at three tries; more tries make that rarer.
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "hecr_bench.h"
#include "sim/hecr_tables.h"
#include "sim/sim_device.h"

using namespace hecrbench;

namespace {

// An address outside the ranges the test programs and the other
// benchmarks claim.
const char* kScaleAddr = "127.0.253.2";
// A run that has not ended by then has hung: the program stops.
constexpr auto kRunLimit = std::chrono::minutes(10);

struct Counts {
  uint64_t lost = 0, changed = 0, duplicated = 0;
  bool Clean() const { return lost == 0 && changed == 0 && duplicated == 0; }
};

// Runs one PLU task to its end, or ends the program when it hangs.
uint32_t RunTask(const Sdk& sdk, uint32_t procType, const fs::path& file, TaskResult& result, double& seconds) {
  const auto t0 = Clock::now();
  VKSDK_TASK h = StartPluTask(sdk, kScaleAddr, procType, file, result);
  if (h != VKSDK_INVALID_TASK) {
    while (result.code == 0xFFFFFFFFu) {
      if (Clock::now() - t0 > kRunLimit) {
        std::printf("a run did not finish within %lld minutes: stopping\n",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::minutes>(kRunLimit).count()));
        std::fflush(stdout);
        std::_Exit(3);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    sdk.WaitForTask(h);
  }
  seconds = Seconds(Clock::now() - t0);
  return result.code;
}

// Data lines of an uploaded file (the header left out).
std::vector<std::string> DataLines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  if (at < text.size()) lines.push_back(text.substr(at));  // an unfinished last line
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

std::string FirstCell(const std::string& line) { return line.substr(0, line.find('\t')); }

// The scale's table against the records of a clean download.
Counts CompareTable(const vemkasim::SimHecrTables& tables, const std::map<uint32_t, vemkasim::Bytes>& reference) {
  Counts c;
  std::set<uint32_t> seen;
  for (uint32_t id : tables.PluIds()) {
    seen.insert(id);
    auto it = reference.find(id);
    if (it == reference.end())
      ++c.duplicated;  // a record stored under an ID the file does not have
    else if (*tables.PluRecord(id) != it->second)
      ++c.changed;
  }
  for (const auto& [id, rec] : reference)
    if (!seen.count(id)) ++c.lost;
  return c;
}

// An uploaded file against the lines of a clean upload, matched by ID.
Counts CompareLines(const std::vector<std::string>& lines, const std::map<std::string, std::string>& reference) {
  Counts c;
  std::map<std::string, int> seen;
  for (const auto& line : lines) {
    const std::string id = FirstCell(line);
    if (++seen[id] > 1) {
      ++c.duplicated;
      continue;
    }
    auto it = reference.find(id);
    if (it == reference.end())
      ++c.duplicated;  // a row the scale does not hold
    else if (it->second != line)
      ++c.changed;
  }
  for (const auto& [id, line] : reference)
    if (!seen.count(id)) ++c.lost;
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t rows = 20000;
  double percent = 2;
  uint32_t seed = 20240601;
  std::string debugDir;
  int tries = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--percent") == 0 && i + 1 < argc)
      percent = std::strtod(argv[++i], nullptr);
    else if (std::strcmp(argv[i], "--tries") == 0 && i + 1 < argc)
      tries = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--debug-dir") == 0 && i + 1 < argc)
      debugDir = argv[++i];
    else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
      seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    else
      rows = static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10));
  }
  try {
    TempDir tmp;
    // Discovery answers are damaged too: detection asks up to three times.
    const std::string output =
        debugDir.empty() ? std::string("OutputDebug=0\nOutputLog=0\n") : "DebugDir=" + debugDir + "\n";
    Sdk sdk = LoadSdk(tmp.path, "GetDeviceTryCount=3\nSyncTryCount=" + std::to_string(tries) + "\n" + output);

    vemkasim::HecrInfo info;
    info.lfCodeLen = 8;  // 8-digit IDs, so any row count fits
    auto scale = vemkasim::SimDevice::Hecr(kScaleAddr, info);
    vemkasim::SimHecrTables tables(*scale);
    scale->Start();

    const fs::path source = tmp.path / "plu.txt";
    WritePluFile(source, 1, rows);

    // Clean runs give what every faulty run is compared with.
    TaskResult r0;
    double secs = 0;
    if (RunTask(sdk, VKSDK_PROC_DOWNLOAD, source, r0, secs) != VKSDK_OK || tables.PluCount() != rows) {
      std::printf("the clean download failed (code %u)\n", r0.code.load());
      return 1;
    }
    std::map<uint32_t, vemkasim::Bytes> records;
    for (uint32_t id : tables.PluIds()) records[id] = *tables.PluRecord(id);
    const fs::path cleanFile = tmp.path / "clean.txt";
    TaskResult r1;
    if (RunTask(sdk, VKSDK_PROC_UPLOAD, cleanFile, r1, secs) != VKSDK_OK) {
      std::printf("the clean upload failed (code %u)\n", r1.code.load());
      return 1;
    }
    std::map<std::string, std::string> lines;
    for (const auto& line : DataLines(cleanFile)) lines[FirstCell(line)] = line;
    if (lines.size() != rows) {
      std::printf("the clean upload holds %zu rows, not %u\n", lines.size(), rows);
      return 1;
    }

    struct Mode {
      const char* name;
      double percent;
      int extraCopies;
    } modes[] = {{"bit flips", percent, 0}, {"every answer twice", 0, 1}, {"both", percent, 1}};

    std::printf("Hecr PLU fault run, %u rows, %.1f %% of answers with one bit flipped (seed %u), %d tries\n", rows,
                percent, seed, tries);
    std::printf("%-9s %-19s %6s %13s %6s %8s %11s %9s %8s  %s\n", "direction", "answers", "code", "rows reported",
                "lost", "changed", "duplicated", "requests", "seconds", "verdict");
    bool allGood = true;
    for (int m = 0; m < 3; ++m) {
      for (uint32_t procType : {VKSDK_PROC_DOWNLOAD, VKSDK_PROC_UPLOAD}) {
        const Mode& mode = modes[m];
        scale->SetFaults({});
        tables.ClearPlu();
        if (procType == VKSDK_PROC_UPLOAD)
          for (const auto& [id, rec] : records) tables.PutPluRecord(rec);
        const uint16_t cmd = procType == VKSDK_PROC_DOWNLOAD ? vemkasim::kHecrPluDownload : vemkasim::kHecrPluUpload;
        tables.SetFaults(cmd, {});  // restarts the request count
        vemkasim::Faults faults;
        faults.corruptPercent = mode.percent;
        faults.extraCopies = mode.extraCopies;
        faults.corruptSeed = seed * 8 + static_cast<uint32_t>(m * 2 + procType);  // one sequence per run
        scale->SetFaults(faults);

        const fs::path out = tmp.path / "up.txt";
        TaskResult r;
        const uint32_t code = RunTask(sdk, procType, procType == VKSDK_PROC_DOWNLOAD ? source : out, r, secs);
        scale->SetFaults({});
        const Counts c = procType == VKSDK_PROC_DOWNLOAD ? CompareTable(tables, records)
                                                         : CompareLines(DataLines(out), lines);
        // 0 only with the data intact; repeated answers alone must not stop a run.
        const bool good = (code != VKSDK_OK || c.Clean()) && (mode.percent > 0 || code == VKSDK_OK);
        allGood = allGood && good;
        std::printf("%-9s %-19s %6u %6u/%-6u %6llu %8llu %11llu %9d %8.2f  %s\n",
                    procType == VKSDK_PROC_DOWNLOAD ? "download" : "upload", mode.name, code, r.done.load(),
                    r.total.load(), static_cast<unsigned long long>(c.lost), static_cast<unsigned long long>(c.changed),
                    static_cast<unsigned long long>(c.duplicated), tables.RequestsSeen(cmd), secs,
                    good ? "ok" : "FAULT");
      }
    }
    scale->Stop();
    std::printf("%s\n", allGood ? "every run that reported 0 holds exactly the source rows"
                                : "FAULT: a run reported 0 with damaged rows, or a run with repeated answers failed");
    return allGood ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_hecr_fault_run: %s\n", e.what());
    return 2;
  }
}
