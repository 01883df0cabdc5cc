// A bare UDP client on this process's loopback range, for tests that talk
// to a simulated scale datagram by datagram.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/udp_socket.h"

namespace vktest {

class RawClient {
 public:
  // Binds 127.0.K.host on an ephemeral port (once; later calls keep it).
  bool Open(int host);
  // Sends one request to addr:port and returns the answer (empty when none
  // comes within waitMs).
  std::vector<uint8_t> Ask(const std::string& addr, uint16_t port, const std::vector<uint8_t>& request,
                           int waitMs = 2000);
  // The next datagram (empty when none comes within waitMs).
  std::vector<uint8_t> Receive(int waitMs);

 private:
  vk::UdpSocket sock_;
};

}  // namespace vktest
