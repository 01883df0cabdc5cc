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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

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

#ifdef _WIN32
// Sockets that a relay process binds for this one (see sim_relay.h): the
// relay's address comes from VEMKA_SIM_RELAY ("a.b.c.d:port"); each relayed
// socket is a local socket on 127.0.0.1 that talks to the relay.
std::optional<Peer> RelayPeer() {
  static const std::optional<Peer> relay = []() -> std::optional<Peer> {
    const char* env = std::getenv("VEMKA_SIM_RELAY");
    unsigned a, b, c, d, port;
    if (!env || std::sscanf(env, "%u.%u.%u.%u:%u", &a, &b, &c, &d, &port) != 5) return std::nullopt;
    return Peer{std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." + std::to_string(d),
                static_cast<uint16_t>(port)};
  }();
  return relay;
}

std::mutex g_relayedMu;
std::map<SockFd, Peer> g_relayed;  // relayed socket -> the address it stands for

std::optional<Peer> RelayedAddress(SockFd fd) {
  std::lock_guard lock(g_relayedMu);
  const auto it = g_relayed.find(fd);
  if (it == g_relayed.end()) return std::nullopt;
  return it->second;
}

#endif

}  // namespace

SockFd BindUdp(const std::string& addr, uint16_t port) {
#ifdef _WIN32
  if (const auto relay = RelayPeer(); relay && addr != "127.0.0.1") {
    const SockFd fd = BindUdp("127.0.0.1", 0);
    Bytes ask{'B'};
    AppendPeer(ask, {addr, port});
    SendUdp(fd, *relay, ask);
    Bytes answer;
    Peer from;
    for (int i = 0; i < 3000; ++i) {
      if (RecvUdp(fd, answer, from) && answer.size() == 4 && answer[0] == 'b') break;
      answer.clear();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (answer.size() != 4 || answer[1] != 1) {
      CloseNative(fd);
      throw std::runtime_error("simulated scale: the relay at " + relay->Text() + " cannot bind " + addr + ":" +
                               std::to_string(port));
    }
    std::lock_guard lock(g_relayedMu);
    g_relayed[fd] = {addr, static_cast<uint16_t>(answer[2] << 8 | answer[3])};
    return fd;
  }
#endif
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
#ifdef _WIN32
  if (const auto relayed = RelayedAddress(fd)) return *relayed;
#endif
  sockaddr_in sa{};
  AddrLen len = sizeof sa;
  if (::getsockname(N(fd), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
  return PeerOf(sa);
}

void SendUdp(SockFd fd, const Peer& to, const Bytes& data) {
#ifdef _WIN32
  if (RelayedAddress(fd)) {
    Bytes msg{'S'};
    AppendPeer(msg, to);
    msg.insert(msg.end(), data.begin(), data.end());
    const sockaddr_in relay = ToSockaddr(RelayPeer()->addr, RelayPeer()->port);
    ::sendto(N(fd), reinterpret_cast<const char*>(msg.data()), static_cast<int>(msg.size()), 0,
             reinterpret_cast<const sockaddr*>(&relay), sizeof relay);
    return;
  }
#endif
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
#ifdef _WIN32
  if (RelayedAddress(fd)) {
    // A relayed datagram: 'D', its sender, its bytes.
    if (n < 7 || buf[0] != 'D') return false;
    out.assign(buf + 7, buf + n);
    from = PeerAt(buf + 1);
    return true;
  }
#endif
  out.assign(buf, buf + n);
  from = PeerOf(sa);
  return true;
}

bool RecvUdpWait(SockFd fd, Bytes& out, Peer& from) {
#ifdef _WIN32
  // The simulator's sockets never block on Windows: wait, then read.
  std::vector<bool> ready;
  for (;;) {
    if (!WaitReadable({fd}, ready)) return false;
    if (RecvUdp(fd, out, from)) return true;
  }
#else
  uint8_t buf[65536];
  sockaddr_in sa{};
  AddrLen len = sizeof sa;
  const ssize_t n = ::recvfrom(N(fd), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&sa), &len);
  if (n < 0) return false;
  out.assign(buf, buf + n);
  from = PeerOf(sa);
  return true;
#endif
}

void AppendPeer(Bytes& out, const Peer& p) {
  unsigned a[4] = {0, 0, 0, 0};
  std::sscanf(p.addr.c_str(), "%u.%u.%u.%u", &a[0], &a[1], &a[2], &a[3]);
  for (unsigned v : a) out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(p.port >> 8));
  out.push_back(static_cast<uint8_t>(p.port));
}

Peer PeerAt(const uint8_t* six) {
  return {std::to_string(six[0]) + "." + std::to_string(six[1]) + "." + std::to_string(six[2]) + "." +
              std::to_string(six[3]),
          static_cast<uint16_t>(six[4] << 8 | six[5])};
}

void SetReceiveBuffer(SockFd fd, int bytes) {
  ::setsockopt(N(fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
#ifdef SO_RCVBUFFORCE
  ::setsockopt(N(fd), SOL_SOCKET, SO_RCVBUFFORCE, reinterpret_cast<const char*>(&bytes), sizeof bytes);
#endif
}

void CloseSock(SockFd& fd) {
#ifdef _WIN32
  if (fd != kNoSocket && RelayedAddress(fd)) {
    const sockaddr_in relay = ToSockaddr(RelayPeer()->addr, RelayPeer()->port);
    const char close = 'C';
    ::sendto(N(fd), &close, 1, 0, reinterpret_cast<const sockaddr*>(&relay), sizeof relay);
    std::lock_guard lock(g_relayedMu);
    g_relayed.erase(fd);
  }
#endif
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
  // Kept per thread: a scale waits once per request, and the wait should
  // not allocate.
  thread_local std::vector<WSAPOLLFD> p;
  p.clear();
  for (SockFd fd : fds) p.push_back({N(fd), POLLRDNORM, 0});
  const int rc = WSAPoll(p.data(), static_cast<ULONG>(p.size()), -1);
  if (rc == SOCKET_ERROR) return false;
#else
  // Kept per thread: a scale waits once per request, and the wait should
  // not allocate.
  thread_local std::vector<pollfd> p;
  p.clear();
  for (SockFd fd : fds) p.push_back({N(fd), POLLIN, 0});
  const int rc = ::poll(p.data(), p.size(), -1);
  if (rc < 0) return errno == EINTR ? (ready.assign(fds.size(), false), true) : false;
#endif
  ready.resize(fds.size());
  for (size_t i = 0; i < p.size(); ++i) ready[i] = p[i].revents != 0;
  return true;
}

}  // namespace vemkasim
