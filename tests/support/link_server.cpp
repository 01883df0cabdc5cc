#include "support/link_server.h"

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <cstdlib>

namespace vktest {

namespace {

using Clock = std::chrono::steady_clock;

void Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

}  // namespace

// Non-blocking sockets polled with short naps: simple, portable, and every
// wait can see the server stopping.
struct LinkServer::Impl {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor{io};
};

struct LinkConnection::Impl {
  explicit Impl(asio::ip::tcp::socket s, const std::atomic<bool>& stop) : sock(std::move(s)), stop(stop) {}
  asio::ip::tcp::socket sock;
  const std::atomic<bool>& stop;
  bool closed = false;

  // One read of what is there; false when the peer closed or time is up.
  bool ReadSome(std::string& out, Clock::time_point deadline) {
    char buf[4096];
    while (!closed && !stop.load() && Clock::now() < deadline) {
      asio::error_code ec;
      const size_t n = sock.read_some(asio::buffer(buf), ec);
      if (ec == asio::error::would_block || ec == asio::error::try_again) {
        Nap();
        continue;
      }
      if (ec) {
        closed = true;
        return false;
      }
      out.append(buf, n);
      return true;
    }
    return false;
  }
};

LinkConnection::LinkConnection(LinkServer& server, std::unique_ptr<Impl> impl) : server_(server), d_(std::move(impl)) {}
LinkConnection::~LinkConnection() { Close(); }

std::string LinkConnection::Read(size_t n, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  std::string out;
  while (out.size() < n) {
    // Never read past n: the rest belongs to the next request.
    char buf[4096];
    asio::error_code ec;
    const size_t want = std::min(sizeof buf, n - out.size());
    const size_t got = d_->sock.read_some(asio::buffer(buf, want), ec);
    if (ec == asio::error::would_block || ec == asio::error::try_again) {
      if (d_->stop.load() || Clock::now() >= deadline) break;
      Nap();
      continue;
    }
    if (ec) {
      d_->closed = true;
      break;
    }
    out.append(buf, got);
  }
  return out;
}

std::string LinkConnection::ReadUntil(std::string_view delimiter, int waitMs) {
  // Byte by byte, so nothing after the delimiter is taken.
  std::string out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  const auto ended = [&] {
    return out.size() >= delimiter.size() &&
           out.compare(out.size() - delimiter.size(), delimiter.size(), delimiter) == 0;
  };
  while (!ended()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const std::string b = Read(1, left > 0 ? static_cast<int>(left) : 0);
    if (b.empty()) break;
    out += b;
  }
  return out;
}

bool LinkConnection::Write(std::string_view bytes) {
  size_t sent = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (sent < bytes.size()) {
    asio::error_code ec;
    const size_t n = d_->sock.write_some(asio::buffer(bytes.data() + sent, bytes.size() - sent), ec);
    if (ec == asio::error::would_block || ec == asio::error::try_again) {
      if (d_->stop.load() || Clock::now() >= deadline) return false;
      Nap();
      continue;
    }
    if (ec) return false;
    sent += n;
  }
  return true;
}

bool LinkConnection::WaitClosed(int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  std::string ignored;
  while (!d_->closed) {
    if (!d_->ReadSome(ignored, deadline) && !d_->closed) return false;
    ignored.clear();
  }
  return true;
}

void LinkConnection::Close() {
  asio::error_code ignored;
  if (d_ && d_->sock.is_open()) {
    d_->sock.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    d_->sock.close(ignored);
  }
}

void LinkConnection::Keep(std::string bytes) {
  std::lock_guard<std::mutex> lock(server_.mutex_);
  server_.kept_.push_back(std::move(bytes));
}

LinkServer::LinkServer(Handler handler) : LinkServer(std::move(handler), kHost, 0) {}

LinkServer::LinkServer(Handler handler, const std::string& host, uint16_t port)
    : handler_(std::move(handler)), d_(std::make_unique<Impl>()) {
  const asio::ip::tcp::endpoint ep(asio::ip::make_address(host), port);
  d_->acceptor.open(ep.protocol());
  d_->acceptor.bind(ep);
  d_->acceptor.listen();
  d_->acceptor.non_blocking(true);
  port_ = d_->acceptor.local_endpoint().port();
  thread_ = std::thread([this] { Run(); });
}

LinkServer::~LinkServer() {
  stop_.store(true);
  thread_.join();
}

std::vector<std::string> LinkServer::Kept() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kept_;
}

void LinkServer::Run() {
  int index = 0;
  while (!stop_.load()) {
    asio::ip::tcp::socket sock(d_->io);
    asio::error_code ec;
    d_->acceptor.accept(sock, ec);
    if (ec) {
      Nap();
      continue;
    }
    sock.non_blocking(true, ec);
    accepts_.fetch_add(1);
    LinkConnection conn(*this, std::make_unique<LinkConnection::Impl>(std::move(sock), stop_));
    try {
      handler_(conn, index++);
    } catch (...) {
      std::abort();  // a handler must not throw
    }
  }
}

bool ReadHttpRequest(LinkConnection& conn, std::string& head, std::string& body, int waitMs) {
  head = conn.ReadUntil("\r\n\r\n", waitMs);
  body.clear();
  if (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) return false;
  const size_t at = head.find("\r\nContent-Length: ");
  if (at == std::string::npos) return true;
  const size_t length = std::strtoull(head.c_str() + at + 18, nullptr, 10);
  body = conn.Read(length, waitMs);
  return body.size() == length;
}

}  // namespace vktest
