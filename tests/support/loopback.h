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

// A wider segment for scans of more than 254 devices: the /22 network
// 127.(K+2).0.0, private to this process through the same claim (nothing
// else uses 127.x.*.* with x above 1). host 1..1022 gives
// "127.(K+2).(host / 256).(host % 256)"; the scan address is 127.(K+2).3.255.
std::string LoopbackWideAddr(int host);
std::string LoopbackWideScanAddr();

}  // namespace vk::test
