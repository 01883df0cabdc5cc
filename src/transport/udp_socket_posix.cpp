// The UDP socket wrapper on POSIX systems.
#include "transport/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>

namespace vk {

UdpSocket::UdpSocket() = default;
UdpSocket::~UdpSocket() { Close(); }

bool UdpSocket::Open(std::string_view localAddr, uint16_t localPort) {
  Close();
  uint32_t addr = 0;  // INADDR_ANY
  if (!localAddr.empty() && !ParseDottedIPv4(localAddr, addr)) return false;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // The receive queue keeps the system's default size; a segment scan, whose
  // answers arrive all at once, enlarges it with SetReceiveBuffer.
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(addr);
  sa.sin_port = htons(localPort);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool UdpSocket::IsOpen() const { return fd_ >= 0; }

void UdpSocket::Close() {
  if (fd_ >= 0) ::close(static_cast<int>(fd_));
  fd_ = -1;
  recvWaitMs_ = 0;
}

bool UdpSocket::EnableBroadcast() {
  if (fd_ < 0) return false;
  const int on = 1;
  return ::setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

size_t UdpSocket::SetReceiveBuffer(size_t bytes) {
  if (fd_ < 0) return 0;
  const int want = static_cast<int>(std::min<size_t>(bytes, std::numeric_limits<int>::max() / 2));
  ::setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVBUF, &want, sizeof want);
#ifdef SO_RCVBUFFORCE
  // Linux caps SO_RCVBUF at net.core.rmem_max; a privileged process may go
  // past it. Linux reports twice the request (its bookkeeping share).
  if (ReceiveBufferSize() < static_cast<size_t>(want))
    ::setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVBUFFORCE, &want, sizeof want);
#endif
  return ReceiveBufferSize();
}

size_t UdpSocket::ReceiveBufferSize() const {
  if (fd_ < 0) return 0;
  int size = 0;
  socklen_t len = sizeof size;
  if (::getsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVBUF, &size, &len) != 0 || size < 0) return 0;
  return static_cast<size_t>(size);
}

uint16_t UdpSocket::LocalPort() const {
  if (fd_ < 0) return 0;
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(static_cast<int>(fd_), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

bool UdpSocket::SendTo(uint32_t addr, uint16_t port, const uint8_t* data, size_t size) {
  if (fd_ < 0) return false;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(addr);
  sa.sin_port = htons(port);
  ssize_t n;
  do {
    n = ::sendto(static_cast<int>(fd_), data, size, 0, reinterpret_cast<const sockaddr*>(&sa),
                 sizeof sa);
  } while (n < 0 && errno == EINTR);
  return n >= 0 && static_cast<size_t>(n) == size;
}

// The receive wait is the socket's receive time-out, so that a wait is a
// single system call; it is set only when it differs from the last one
// (exchanges usually wait the same time over and over).
bool UdpSocket::SetReceiveWait(int64_t ms) {
  if (ms == recvWaitMs_) return true;
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(ms / 1000);
  tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  if (::setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return false;
  recvWaitMs_ = ms;
  return true;
}

UdpSocket::RecvStatus UdpSocket::ReceiveFrom(uint8_t* buf, size_t capacity, int timeoutMs,
                                             size_t& got, uint32_t& fromAddr,
                                             uint16_t& fromPort) {
  got = 0;
  if (fd_ < 0) return RecvStatus::Error;
  if (timeoutMs < 0) timeoutMs = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // Whole milliseconds, rounded up, so the wait never ends early; with
    // nothing left, only a datagram already queued is taken.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    int flags = 0;
    if (left.count() <= 0)
      flags = MSG_DONTWAIT;
    else if (!SetReceiveWait(left.count()))
      return RecvStatus::Error;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const ssize_t n = ::recvfrom(static_cast<int>(fd_), buf, capacity, flags,
                                 reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0) {
      // A refused earlier send (ICMP port unreachable) surfaces here on
      // Linux; it says nothing about this wait, so keep waiting.
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED) {
        if (std::chrono::steady_clock::now() >= deadline) return RecvStatus::TimedOut;
        continue;
      }
      return RecvStatus::Error;
    }
    got = static_cast<size_t>(n);
    fromAddr = ntohl(sa.sin_addr.s_addr);
    fromPort = ntohs(sa.sin_port);
    return RecvStatus::Ok;
  }
}

}  // namespace vk
