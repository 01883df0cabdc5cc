// A private loopback range per test process: 127.0.K.0/24, K in 1..250,
// claimed with an exclusive lock file held for the life of the process, so
// that test programs running in parallel never share simulated scales.
#pragma once

#include <string>

namespace vk::test {

// K of this process's range; claims one on first use (aborts the test
// program when all 250 ranges are taken).
int LoopbackRange();
// "127.0.K.host"
std::string LoopbackAddr(int host);
// "127.0.K.255", the segment's scan address.
std::string LoopbackScanAddr();

}  // namespace vk::test
