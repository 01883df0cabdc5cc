// The UDP socket wrapper on Windows (Winsock).
#include "transport/udp_socket.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <limits>

namespace vk {

namespace {

// Winsock is started once for the process and left running: stopping it at
// unload could pull sockets from under a host that also uses it.
bool WinsockReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

SOCKET S(intptr_t fd) { return static_cast<SOCKET>(fd); }

}  // namespace

UdpSocket::UdpSocket() = default;
UdpSocket::~UdpSocket() { Close(); }

bool UdpSocket::Open(std::string_view localAddr, uint16_t localPort) {
  Close();
  uint32_t addr = 0;  // INADDR_ANY
  if (!localAddr.empty() && !ParseDottedIPv4(localAddr, addr)) return false;
  if (!WinsockReady()) return false;
  // Not inherited by child processes of the host.
  const SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return false;
  // Waits are selects; the receive itself never blocks.
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  // Exclusive use of the address: no other socket may bind the same port.
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(addr);
  sa.sin_port = htons(localPort);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    closesocket(s);
    return false;
  }
  fd_ = static_cast<intptr_t>(s);
  return true;
}

bool UdpSocket::IsOpen() const { return fd_ != -1; }

void UdpSocket::Close() {
  if (fd_ != -1) closesocket(S(fd_));
  fd_ = -1;
  recvWaitMs_ = 0;
}

bool UdpSocket::EnableBroadcast() {
  if (fd_ == -1) return false;
  BOOL on = TRUE;
  return setsockopt(S(fd_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

size_t UdpSocket::SetReceiveBuffer(size_t bytes) {
  if (fd_ == -1) return 0;
  const int want = static_cast<int>(std::min<size_t>(bytes, std::numeric_limits<int>::max() / 2));
  setsockopt(S(fd_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&want), sizeof want);
  return ReceiveBufferSize();
}

size_t UdpSocket::ReceiveBufferSize() const {
  if (fd_ == -1) return 0;
  int size = 0;
  int len = sizeof size;
  if (getsockopt(S(fd_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &len) != 0 || size < 0) return 0;
  return static_cast<size_t>(size);
}

uint16_t UdpSocket::LocalPort() const {
  if (fd_ == -1) return 0;
  sockaddr_in sa{};
  int len = sizeof sa;
  if (getsockname(S(fd_), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

bool UdpSocket::SendTo(uint32_t addr, uint16_t port, const uint8_t* data, size_t size) {
  if (fd_ == -1 || size > static_cast<size_t>(std::numeric_limits<int>::max())) return false;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(addr);
  sa.sin_port = htons(port);
  const int n = sendto(S(fd_), reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                       reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  return n != SOCKET_ERROR && static_cast<size_t>(n) == size;
}

UdpSocket::RecvStatus UdpSocket::ReceiveFrom(uint8_t* buf, size_t capacity, int timeoutMs, size_t& got,
                                             uint32_t& fromAddr, uint16_t& fromPort) {
  got = 0;
  if (fd_ == -1) return RecvStatus::Error;
  if (timeoutMs < 0) timeoutMs = 0;
  const int room = static_cast<int>(std::min<size_t>(capacity, std::numeric_limits<int>::max()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    // The wait is a select on the socket (Winsock has no per-call "don't
    // wait", and the receive time-out option is not honoured everywhere).
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(S(fd_), &readable);
    const int64_t ms = std::max<int64_t>(left.count(), 0);
    timeval wait{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    const int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready == SOCKET_ERROR) return RecvStatus::Error;
    if (ready == 0) return RecvStatus::TimedOut;
    sockaddr_in sa{};
    int len = sizeof sa;
    const int n = recvfrom(S(fd_), reinterpret_cast<char*>(buf), room, 0, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n == SOCKET_ERROR) {
      const int err = WSAGetLastError();
      if (err == WSAEMSGSIZE) {
        // A datagram longer than the buffer: its start is in buf, cut as
        // on POSIX systems.
        got = static_cast<size_t>(room);
      } else if (err == WSAETIMEDOUT || err == WSAEWOULDBLOCK || err == WSAEINTR || err == WSAECONNRESET) {
        // An earlier send refused by its receiver (ICMP port unreachable)
        // surfaces as WSAECONNRESET; it says nothing about this wait.
        if (std::chrono::steady_clock::now() >= deadline) return RecvStatus::TimedOut;
        continue;
      } else {
        return RecvStatus::Error;
      }
    } else {
      got = static_cast<size_t>(n);
    }
    fromAddr = ntohl(sa.sin_addr.s_addr);
    fromPort = ntohs(sa.sin_port);
    return RecvStatus::Ok;
  }
}

}  // namespace vk
