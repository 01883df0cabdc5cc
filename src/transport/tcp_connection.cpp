// The links' socket wrapper: asio, driven one operation at a time on a
// private io_context, so a deadline is simply how long that context may run.
#include "transport/tcp_connection.h"

#include <algorithm>
#include <asio.hpp>
#include <chrono>

namespace vk {

struct TcpConnection::Impl {
  asio::io_context io{1};
  asio::ip::tcp::socket sock{io};

  // Runs the started operation until `done` or timeoutMs pass; on time-out
  // closes the socket, which ends the operation (its handler still runs).
  bool Run(int timeoutMs, const bool& done) {
    io.restart();
    io.run_for(std::chrono::milliseconds(std::max(timeoutMs, 1)));
    if (done) return true;
    asio::error_code ignored;
    sock.close(ignored);
    io.restart();
    io.run();
    return false;
  }

  void Close() {
    asio::error_code ignored;
    if (sock.is_open()) {
      sock.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
      sock.close(ignored);
    }
  }

  static Io FromError(const asio::error_code& ec) {
    if (ec == asio::error::eof || ec == asio::error::connection_reset || ec == asio::error::connection_aborted ||
        ec == asio::error::broken_pipe) {
      return Io::Closed;
    }
    return Io::Error;
  }
};

TcpConnection::TcpConnection() : d_(std::make_unique<Impl>()) {}

TcpConnection::~TcpConnection() {
  try {
    d_->Close();
  } catch (...) {
  }
}

bool TcpConnection::IsOpen() const { return d_->sock.is_open(); }

void TcpConnection::Close() { d_->Close(); }

bool TcpConnection::Connect(const std::string& host, uint16_t port, int timeoutMs) {
  d_->Close();
  asio::error_code ec;
  const asio::ip::address addr = asio::ip::make_address(host, ec);
  if (ec || port == 0) return false;
  bool done = false;
  asio::error_code result;
  d_->sock.async_connect(asio::ip::tcp::endpoint(addr, port), [&](const asio::error_code& e) {
    result = e;
    done = true;
  });
  if (!d_->Run(timeoutMs, done)) return false;
  if (result) {
    d_->Close();
    return false;
  }
  d_->sock.set_option(asio::ip::tcp::no_delay(true), ec);
  return true;
}

TcpConnection::Io TcpConnection::Write(const uint8_t* data, size_t size, int timeoutMs) {
  constexpr size_t kPiece = size_t{64} << 10;
  size_t sent = 0;
  while (sent < size) {
    if (!d_->sock.is_open()) return Io::Error;
    bool done = false;
    asio::error_code result;
    size_t n = 0;
    asio::async_write(d_->sock, asio::buffer(data + sent, std::min(kPiece, size - sent)),
                      [&](const asio::error_code& e, size_t written) {
                        result = e;
                        n = written;
                        done = true;
                      });
    if (!d_->Run(timeoutMs, done)) return Io::TimedOut;
    if (result) {
      d_->Close();
      return Impl::FromError(result);
    }
    sent += n;
  }
  return Io::Ok;
}

TcpConnection::Io TcpConnection::ReadSome(uint8_t* buf, size_t capacity, int timeoutMs, size_t& got) {
  got = 0;
  if (!d_->sock.is_open()) return Io::Error;
  if (capacity == 0) return Io::Ok;
  bool done = false;
  asio::error_code result;
  d_->sock.async_read_some(asio::buffer(buf, capacity), [&](const asio::error_code& e, size_t n) {
    result = e;
    got = n;
    done = true;
  });
  if (!d_->Run(timeoutMs, done)) {
    got = 0;
    return Io::TimedOut;
  }
  if (result) {
    d_->Close();
    return Impl::FromError(result);
  }
  return Io::Ok;
}

TcpConnection::Io TcpConnection::ReadExact(uint8_t* buf, size_t size, int timeoutMs) {
  size_t have = 0;
  while (have < size) {
    size_t got = 0;
    const Io io = ReadSome(buf + have, size - have, timeoutMs, got);
    if (io != Io::Ok) return io;
    have += got;
  }
  return Io::Ok;
}

bool TcpConnection::ReadyForRequest() {
  if (!d_->sock.is_open()) return false;
  asio::error_code ec;
  d_->sock.non_blocking(true, ec);
  if (ec) return false;
  uint8_t probe = 0;
  d_->sock.read_some(asio::buffer(&probe, 1), ec);
  if (ec == asio::error::would_block || ec == asio::error::try_again) {
    d_->sock.non_blocking(false, ec);
    return !ec;
  }
  // The peer closed it, an error is pending, or a stray byte was waiting.
  d_->Close();
  return false;
}

}  // namespace vk
