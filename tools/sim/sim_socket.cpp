#include "sim/sim_socket.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstring>
#include <stdexcept>

namespace vemkasim {

namespace {

#ifdef _WIN32
using NativeSocket = SOCKET;
using AddrLen = int;
std::string LastError() { return "error " + std::to_string(WSAGetLastError()); }
void CloseNative(SockFd fd) { closesocket(static_cast<SOCKET>(fd)); }
const bool kWinsockStarted = [] {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}();
#else
using NativeSocket = int;
using AddrLen = socklen_t;
std::string LastError() { return std::strerror(errno); }
void CloseNative(SockFd fd) { ::close(static_cast<int>(fd)); }
#endif

NativeSocket N(SockFd fd) { return static_cast<NativeSocket>(fd); }

sockaddr_in ToSockaddr(const std::string& addr, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (::inet_pton(AF_INET, addr.c_str(), &sa.sin_addr) != 1)
    throw std::runtime_error("simulated scale: not an IPv4 address: " + addr);
  return sa;
}

Peer PeerOf(const sockaddr_in& sa) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text);
  return {text, ntohs(sa.sin_port)};
}

}  // namespace

SockFd BindUdp(const std::string& addr, uint16_t port) {
  const sockaddr_in sa = ToSockaddr(addr, port);
#ifdef _WIN32
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) throw std::runtime_error("simulated scale: socket: " + LastError());
  // Windows has no per-call "don't wait": the simulator's sockets never wait.
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  BOOL exclusive = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  const SockFd fd = static_cast<SockFd>(s);
#else
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) throw std::runtime_error("simulated scale: socket: " + LastError());
  const SockFd fd = s;
#endif
  if (::bind(N(fd), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    const std::string err = LastError();
    CloseNative(fd);
    throw std::runtime_error("simulated scale: cannot bind " + addr + ":" + std::to_string(port) + ": " + err);
  }
  return fd;
}

Peer LocalOf(SockFd fd) {
  sockaddr_in sa{};
  AddrLen len = sizeof sa;
  if (::getsockname(N(fd), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
  return PeerOf(sa);
}

void SendUdp(SockFd fd, const Peer& to, const Bytes& data) {
  const sockaddr_in sa = ToSockaddr(to.addr, to.port);
  ::sendto(N(fd), reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()), 0,
           reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
}

bool RecvUdp(SockFd fd, Bytes& out, Peer& from) {
  uint8_t buf[65536];
  sockaddr_in sa{};
  AddrLen len = sizeof sa;
#ifdef _WIN32
  const int n = ::recvfrom(N(fd), reinterpret_cast<char*>(buf), sizeof buf, 0, reinterpret_cast<sockaddr*>(&sa), &len);
#else
  const ssize_t n = ::recvfrom(N(fd), buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sa), &len);
#endif
  if (n < 0) return false;
  out.assign(buf, buf + n);
  from = PeerOf(sa);
  return true;
}

void CloseSock(SockFd& fd) {
  if (fd != kNoSocket) CloseNative(fd);
  fd = kNoSocket;
}

bool OwnLoopbackAddressesWork() {
  static const bool works = [] {
    SockFd a = kNoSocket, b = kNoSocket;
    bool ok = false;
    try {
      a = BindUdp("127.0.0.1", 0);
      b = BindUdp("127.255.255.254", 0);
      SendUdp(b, LocalOf(a), Bytes{1});
      Bytes got;
      Peer from;
      for (int i = 0; i < 100; ++i) {
        if (RecvUdp(a, got, from)) {
          ok = from.addr == "127.255.255.254";
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    } catch (const std::exception&) {
    }
    CloseSock(a);
    CloseSock(b);
    return ok;
  }();
  return works;
}

// A pipe on POSIX systems; on Windows, whose wait takes only sockets, a
// loopback socket that sends to itself.
void WakeChannel::Open() {
  Close();
#ifdef _WIN32
  read_ = BindUdp("127.0.0.1", 0);
  write_ = read_;
#else
  int p[2];
  if (::pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error("simulated scale: pipe: " + LastError());
  read_ = p[0];
  write_ = p[1];
#endif
}

void WakeChannel::Close() {
#ifdef _WIN32
  CloseSock(read_);
  write_ = kNoSocket;
#else
  CloseSock(read_);
  CloseSock(write_);
#endif
}

void WakeChannel::Signal() {
  if (write_ == kNoSocket) return;
#ifdef _WIN32
  SendUdp(write_, LocalOf(write_), Bytes{1});
#else
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(static_cast<int>(write_), &c, 1);
#endif
}

void WakeChannel::Drain() {
#ifdef _WIN32
  Bytes b;
  Peer p;
  while (RecvUdp(read_, b, p)) {
  }
#else
  char buf[64];
  while (::read(static_cast<int>(read_), buf, sizeof buf) > 0) {
  }
#endif
}

bool WaitReadable(const std::vector<SockFd>& fds, std::vector<bool>& ready) {
#ifdef _WIN32
  std::vector<WSAPOLLFD> p;
  for (SockFd fd : fds) p.push_back({N(fd), POLLRDNORM, 0});
  const int rc = WSAPoll(p.data(), static_cast<ULONG>(p.size()), -1);
  if (rc == SOCKET_ERROR) return false;
#else
  std::vector<pollfd> p;
  for (SockFd fd : fds) p.push_back({N(fd), POLLIN, 0});
  const int rc = ::poll(p.data(), p.size(), -1);
  if (rc < 0) return errno == EINTR ? (ready.assign(fds.size(), false), true) : false;
#endif
  ready.assign(fds.size(), false);
  for (size_t i = 0; i < p.size(); ++i) ready[i] = p[i].revents != 0;
  return true;
}

}  // namespace vemkasim
