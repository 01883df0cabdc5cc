// A TCP connection for the links: connect, write and read, each with a
// deadline, so that no call waits for ever. The socket calls (asio) stay in
// the .cpp. Nothing throws; a failed or timed-out step closes the
// connection, so the next request starts on a fresh one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vk {

class TcpConnection {
 public:
  enum class Io { Ok, TimedOut, Closed, Error };

  TcpConnection();
  ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Connects to an IPv4 or IPv6 address (no name lookup), closing any
  // earlier connection first. False when it fails or takes longer than
  // timeoutMs.
  bool Connect(const std::string& host, uint16_t port, int timeoutMs);
  bool IsOpen() const;
  void Close();

  // Writes all of it; each piece of at most 64 KiB must go out within
  // timeoutMs.
  Io Write(const uint8_t* data, size_t size, int timeoutMs);
  // Reads what arrives (1 to capacity bytes), waiting at most timeoutMs.
  // Closed: the peer ended the connection.
  Io ReadSome(uint8_t* buf, size_t capacity, int timeoutMs, size_t& got);
  // Reads exactly size bytes, waiting at most timeoutMs for each piece.
  Io ReadExact(uint8_t* buf, size_t size, int timeoutMs);

  // Whether a kept connection can carry a new request: false when the peer
  // has closed it or bytes nobody asked for are waiting (both would spoil
  // the next exchange). Does not wait.
  bool ReadyForRequest();

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace vk
