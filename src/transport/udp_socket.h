// A thin UDP socket: bind, broadcast permission, send to an address and
// port, receive one datagram with a deadline. The operating-system calls
// stay in the .cpp, so another platform can sit behind the same interface.
// The socket never shares its port (no address or port reuse).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vk {

// Dotted IPv4 text "a.b.c.d" (four decimal parts 0..255) to a host-order
// integer with the first part most significant. False on anything else.
bool ParseDottedIPv4(std::string_view text, uint32_t& out);
std::string FormatDottedIPv4(uint32_t addr);

class UdpSocket {
 public:
  enum class RecvStatus { Ok, TimedOut, Error };

  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Opens and binds; an empty local address means any address, port 0 an
  // ephemeral port. False (socket closed) on failure.
  bool Open(std::string_view localAddr = {}, uint16_t localPort = 0);
  bool IsOpen() const;
  void Close();

  bool EnableBroadcast();
  // Asks for a receive queue of `bytes` and returns the size the system
  // granted (as it reports it; 0 when closed). A system limit may cap the
  // request; where the process may lift that limit, it does.
  size_t SetReceiveBuffer(size_t bytes);
  size_t ReceiveBufferSize() const;
  // The port the socket is bound to (0 when closed).
  uint16_t LocalPort() const;

  // One datagram; false when it could not be sent whole.
  bool SendTo(uint32_t addr, uint16_t port, const uint8_t* data, size_t size);

  // Waits up to timeoutMs for one datagram. On Ok, `got` bytes (at most
  // `capacity`, a longer datagram is cut) are in buf and the sender's
  // address and port are set.
  RecvStatus ReceiveFrom(uint8_t* buf, size_t capacity, int timeoutMs, size_t& got,
                         uint32_t& fromAddr, uint16_t& fromPort);

 private:
  bool SetReceiveWait(int64_t ms);

  intptr_t fd_ = -1;
  int64_t recvWaitMs_ = 0;  // the receive time-out set on the socket (0: none, waits for ever)
};

}  // namespace vk
