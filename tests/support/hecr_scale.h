// A simulated Hecr scale with its tables on this process's loopback range,
// and the few steps every table test takes: write the task's file, run one
// task through the exported functions, read what came back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/hecr_tables.h"
#include "sim/sim_device.h"
#include "sim/sim_wire.h"
#include "support/progress.h"
#include "support/sdk_loader.h"

namespace vktest {

class HecrScale {
 public:
  explicit HecrScale(const vemkasim::HecrInfo& info = {}, int host = 2);
  ~HecrScale();
  HecrScale(const HecrScale&) = delete;
  HecrScale& operator=(const HecrScale&) = delete;

  const std::string& Addr() const { return addr_; }
  vemkasim::SimDevice& Device() { return *dev_; }
  vemkasim::SimHecrTables& Tables() { return *tables_; }
  // Every received frame of one command, in arrival order.
  std::vector<vemkasim::HecrFrame> Frames(uint16_t cmd) const;
  // Runs one task (ProcType, DataID packed as the export takes them) to its
  // end and returns its final code.
  uint32_t Exec(Sdk& sdk, uint32_t procType, int32_t dataType, const std::filesystem::path& file,
                Recorder* rec = nullptr, uint32_t dataId = 0);

 private:
  std::string addr_;
  vemkasim::SimNetwork net_;
  vemkasim::SimDevice* dev_ = nullptr;
  std::unique_ptr<vemkasim::SimHecrTables> tables_;
};

// A file in this test's temporary directory with the given bytes.
std::filesystem::path WriteFile(const std::string& name, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
// The lines of a text file without CR LF (a UTF-8 byte-order mark dropped).
std::vector<std::string> Lines(const std::filesystem::path& path);
// A line's cells, split at TABs.
std::vector<std::string> Cells(const std::string& line);
// A text table as cells: its lines, empty ones dropped, each split at TABs.
std::vector<std::vector<std::string>> ReadTable(const std::filesystem::path& path);

// An offline conversion of a Hecr table (procType 0: text to binary, 1:
// binary to text) through the exported function; returns its final code.
uint32_t Convert(Sdk& sdk, const std::u16string& deviceInfo, uint32_t procType, int32_t dataType,
                 const std::filesystem::path& text, const std::filesystem::path& bin);

}  // namespace vktest
