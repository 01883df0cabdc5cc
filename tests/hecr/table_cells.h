// An uploaded text table as cells: its lines (see support/hecr_scale.h),
// empty ones dropped, each split at TABs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/hecr_scale.h"

namespace vktest {

inline std::vector<std::vector<std::string>> ReadTable(const std::filesystem::path& path) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Lines(path)) {
    if (line.empty()) continue;
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      cells.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(std::move(cells));
  }
  return rows;
}

}  // namespace vktest
