// The simulator's socket calls, for POSIX systems and Windows alike: UDP
// sockets bound to one address, a wake channel that interrupts a wait, and
// a wait for the first of several sockets to become readable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_record.h"
#include "sim/sim_wire.h"

namespace vemkasim {

using SockFd = intptr_t;
constexpr SockFd kNoSocket = -1;

// Binds a UDP socket to addr:port (port 0: ephemeral). Never shares ports.
// Throws std::runtime_error on failure.
SockFd BindUdp(const std::string& addr, uint16_t port);
Peer LocalOf(SockFd fd);
void SendUdp(SockFd fd, const Peer& to, const Bytes& data);
// One pending datagram, read without blocking. False when none is there.
bool RecvUdp(SockFd fd, Bytes& out, Peer& from);
// Waits for the next datagram and reads it; false when the receive failed.
// A thread that waits here is woken by any datagram, e.g. an empty one it
// sends itself.
bool RecvUdpWait(SockFd fd, Bytes& out, Peer& from);
void CloseSock(SockFd& fd);
// A peer as the relay's messages carry it: address[4] port[2], big-endian.
void AppendPeer(Bytes& out, const Peer& p);
Peer PeerAt(const uint8_t* six);

// Asks for a receive queue of this many bytes (best effort).
void SetReceiveBuffer(SockFd fd, int bytes);

// Whether sockets of this process keep the loopback address they are bound
// to: a datagram sent from 127.a.b.c must arrive from 127.a.b.c, and two
// sockets may share a port on two addresses. The simulated scales need
// both. Wine binds such sockets to every address of the loopback device
// instead; a Windows build under Wine gets them through a relay process
// (sim_relay.h) that VEMKA_SIM_RELAY names, and without one it has none.
bool OwnLoopbackAddressesWork();

// Wakes a thread that waits in WaitReadable.
class WakeChannel {
 public:
  WakeChannel() = default;
  ~WakeChannel() { Close(); }
  WakeChannel(const WakeChannel&) = delete;
  WakeChannel& operator=(const WakeChannel&) = delete;

  void Open();  // throws std::runtime_error
  void Close();
  void Signal();
  void Drain();
  SockFd ReadEnd() const { return read_; }

 private:
  SockFd read_ = kNoSocket;
  SockFd write_ = kNoSocket;
};

// Waits until one of the sockets is readable and sets `ready` per socket.
// False when the wait itself failed.
bool WaitReadable(const std::vector<SockFd>& fds, std::vector<bool>& ready);

}  // namespace vemkasim
