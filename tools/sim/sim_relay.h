// Sockets on behalf of another process. A test program that runs under Wine
// cannot bind its own loopback addresses (its sockets send from 127.0.0.1,
// and two of them cannot share a port on two addresses), so its simulated
// scales ask this relay, which runs as a Linux process, to bind each address
// for them and to carry their datagrams. One UDP socket of the client stands
// for one relayed socket. Messages (addresses and ports big-endian):
//   client -> relay  'B' addr[4] port[2]          bind; answered 'b' ok[1] port[2]
//                    'S' addr[4] port[2] payload  send payload from the bound socket
//                    'C'                          close the bound socket
//   relay -> client  'D' addr[4] port[2] payload  a datagram that arrived from addr:port
// A bind of an address and port that another live client holds fails, as it
// would on one system; one held by a client that has gone (it ended without
// closing) is taken over.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "sim/sim_socket.h"

namespace vemkasim {

class SimRelay {
 public:
  SimRelay(std::string addr, uint16_t port);
  ~SimRelay();
  SimRelay(const SimRelay&) = delete;
  SimRelay& operator=(const SimRelay&) = delete;

  void Start();  // throws std::runtime_error when its own address cannot be bound
  void Stop();

 private:
  void Run();
  std::string addr_;
  uint16_t port_;
  SockFd control_ = kNoSocket;
  WakeChannel wake_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vemkasim
