#include "support/loopback.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_platform.h"

namespace vk::test {

namespace {

int ClaimRange() {
  std::error_code ec;
  const auto dir = std::filesystem::temp_directory_path(ec);
  for (int k = 1; k <= 250; ++k)
    if (vktest::LockForProcess(dir / ("vemka-test-range-" + std::to_string(k) + ".lock"))) return k;
  std::fprintf(stderr, "no free loopback test range in 127.0.1.0 .. 127.0.250.0\n");
  std::abort();
}

}  // namespace

int LoopbackRange() {
  static const int k = ClaimRange();
  return k;
}

std::string LoopbackAddr(int host) {
  return "127.0." + std::to_string(LoopbackRange()) + "." + std::to_string(host);
}

std::string LoopbackScanAddr() { return LoopbackAddr(255); }

std::string LoopbackWideAddr(int host) {
  return "127." + std::to_string(LoopbackRange() + 2) + "." + std::to_string(host / 256) + "." +
         std::to_string(host % 256);
}

std::string LoopbackWideScanAddr() { return LoopbackWideAddr(3 * 256 + 255); }

}  // namespace vk::test
