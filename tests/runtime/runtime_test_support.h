// Small helpers for the runtime tests: a private temporary directory, whole
// file reads and writes, and loading parameters from INI text.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "runtime/types.h"
#include "support/test_platform.h"

namespace vk::test {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("vemka_rt_" + std::to_string(platform::CurrentThreadId()) + "_" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& p, std::string_view text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

using vktest::SetEnv;

// Writes an INI file into dir and loads the parameters from it.
inline void LoadIni(const TempDir& dir, const std::string& text) {
  auto p = dir / "params.ini";
  WriteFile(p, text);
  ASSERT_EQ(LoadSysParams(p), 0);
}

// Splits saved debug-file bytes at the " \r\n" line ends.
inline std::vector<std::string> SavedLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find(" \r\n", pos);
    if (end == std::string_view::npos) {
      lines.emplace_back(bytes.substr(pos));
      break;
    }
    lines.emplace_back(bytes.substr(pos, end - pos));
    pos = end + 3;
  }
  return lines;
}

}  // namespace vk::test
