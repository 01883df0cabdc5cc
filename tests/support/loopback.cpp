#include "support/loopback.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vk::test {

namespace {

int ClaimRange() {
  for (int k = 1; k <= 250; ++k) {
    const std::string path = "/tmp/vemka-test-range-" + std::to_string(k) + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return k;  // fd stays open: the lock lives on
    ::close(fd);
  }
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
