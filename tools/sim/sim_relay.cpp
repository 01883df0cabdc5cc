#include "sim/sim_relay.h"

#include <map>
#include <stdexcept>
#include <vector>

#include "sim/sim_wire.h"

namespace vemkasim {

namespace {

// A client's socket still exists while its port on 127.0.0.1 cannot be
// bound here. A client that ended without closing its relayed sockets
// leaves them behind; a later bind of the same address takes them over.
bool ClientAlive(const Peer& client) {
  try {
    SockFd probe = BindUdp(client.addr, client.port);
    CloseSock(probe);
    return false;
  } catch (const std::exception&) {
    return true;
  }
}

}  // namespace

SimRelay::SimRelay(std::string addr, uint16_t port) : addr_(std::move(addr)), port_(port) {}
SimRelay::~SimRelay() { Stop(); }

void SimRelay::Start() {
  if (thread_.joinable()) return;
  control_ = BindUdp(addr_, port_);
  // A segment's scales answer a scan all at once, each through this socket.
  SetReceiveBuffer(control_, 16 << 20);
  wake_.Open();
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
}

void SimRelay::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  wake_.Signal();
  thread_.join();
  CloseSock(control_);
  wake_.Close();
}

void SimRelay::Run() {
  std::map<std::string, SockFd> byClient;  // client endpoint text -> bound socket
  std::map<SockFd, Peer> clientOf;         // bound socket -> client endpoint
  std::map<std::string, SockFd> byAddress; // "addr:port" bound -> socket
  std::map<SockFd, std::string> addressOf;
  auto closeBound = [&](SockFd fd) {
    byClient.erase(clientOf[fd].Text());
    clientOf.erase(fd);
    byAddress.erase(addressOf[fd]);
    addressOf.erase(fd);
    CloseSock(fd);
  };
  std::vector<SockFd> fds;
  std::vector<bool> ready;
  while (!stopping_) {
    fds = {control_, wake_.ReadEnd()};
    for (const auto& [fd, client] : clientOf) fds.push_back(fd);
    if (!WaitReadable(fds, ready)) break;
    if (ready[1]) wake_.Drain();
    for (size_t i = 2; i < fds.size(); ++i) {
      if (!ready[i] || !clientOf.count(fds[i])) continue;
      Bytes data;
      Peer from;
      while (RecvUdp(fds[i], data, from)) {
        Bytes msg{'D'};
        AppendPeer(msg, from);
        msg.insert(msg.end(), data.begin(), data.end());
        SendUdp(control_, clientOf[fds[i]], msg);
      }
    }
    if (!ready[0]) continue;
    Bytes msg;
    Peer client;
    while (RecvUdp(control_, msg, client)) {
      if (msg.empty()) continue;
      const auto own = byClient.find(client.Text());
      if (msg[0] == 'B' && msg.size() == 7) {
        const Peer want = PeerAt(msg.data() + 1);
        const std::string& addr = want.addr;
        const uint16_t port = want.port;
        if (own != byClient.end()) closeBound(own->second);
        const auto held = byAddress.find(addr + ":" + std::to_string(port));
        Bytes answer{'b', 0, 0, 0};
        if (port != 0 && held != byAddress.end()) {
          if (ClientAlive(clientOf[held->second])) {
            SendUdp(control_, client, answer);  // taken, as by a socket of this system
            continue;
          }
          closeBound(held->second);
        }
        try {
          const SockFd fd = BindUdp(addr, port);
          const Peer local = LocalOf(fd);
          byClient[client.Text()] = fd;
          clientOf[fd] = client;
          byAddress[local.Text()] = fd;
          addressOf[fd] = local.Text();
          answer = {'b', 1, static_cast<uint8_t>(local.port >> 8), static_cast<uint8_t>(local.port)};
        } catch (const std::exception&) {
        }
        SendUdp(control_, client, answer);
      } else if (msg[0] == 'S' && msg.size() >= 7 && own != byClient.end()) {
        SendUdp(own->second, PeerAt(msg.data() + 1), Bytes(msg.begin() + 7, msg.end()));
      } else if (msg[0] == 'C' && own != byClient.end()) {
        closeBound(own->second);
      }
    }
  }
  while (!clientOf.empty()) closeBound(clientOf.begin()->first);
}

}  // namespace vemkasim
