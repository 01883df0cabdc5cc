#include "support/raw_client.h"

#include <gtest/gtest.h>

#include "support/loopback.h"

namespace vktest {

bool RawClient::Open(int host) { return sock_.IsOpen() || sock_.Open(vk::test::LoopbackAddr(host), 0); }

std::vector<uint8_t> RawClient::Ask(const std::string& addr, uint16_t port, const std::vector<uint8_t>& request,
                                    int waitMs) {
  uint32_t a = 0;
  EXPECT_TRUE(vk::ParseDottedIPv4(addr, a));
  EXPECT_TRUE(sock_.SendTo(a, port, request.data(), request.size()));
  return Receive(waitMs);
}

std::vector<uint8_t> RawClient::Receive(int waitMs) {
  std::vector<uint8_t> buf(65536);
  size_t got = 0;
  uint32_t from = 0;
  uint16_t port = 0;
  if (sock_.ReceiveFrom(buf.data(), buf.size(), waitMs, got, from, port) != vk::UdpSocket::RecvStatus::Ok) return {};
  buf.resize(got);
  return buf;
}

}  // namespace vktest
