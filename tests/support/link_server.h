// A TCP server for the link tests, on 127.0.0.1 with an ephemeral port (so
// it runs the same under Wine), or on an address and port of the test's. It accepts connections one after another on
// its own thread and hands each to the test's handler, which reads and
// writes with time-outs. What the handler keeps is read by the test after
// the client's call returned.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vktest {

class LinkServer;

class LinkConnection {
 public:
  struct Impl;
  LinkConnection(LinkServer& server, std::unique_ptr<Impl> impl);
  ~LinkConnection();

  // Exactly n bytes; fewer when the peer closes or waitMs pass first.
  std::string Read(size_t n, int waitMs = 5000);
  // Up to and including the delimiter; what arrived when the peer closes
  // or waitMs pass first.
  std::string ReadUntil(std::string_view delimiter, int waitMs = 5000);
  bool Write(std::string_view bytes);
  // True when the peer closes the connection within waitMs (bytes that
  // still arrive are dropped).
  bool WaitClosed(int waitMs = 5000);
  void Close();
  // Records bytes for the test (in order, across connections).
  void Keep(std::string bytes);

 private:
  LinkServer& server_;
  std::unique_ptr<Impl> d_;
};

class LinkServer {
 public:
  // index: 0 for the first accepted connection, 1 for the next...
  using Handler = std::function<void(LinkConnection& conn, int index)>;

  explicit LinkServer(Handler handler);
  // Listens on the given loopback address and port (0: an ephemeral one),
  // e.g. where a simulated scale says its service is.
  LinkServer(Handler handler, const std::string& host, uint16_t port = 0);
  ~LinkServer();  // stops accepting, ends the handler's waits, joins
  LinkServer(const LinkServer&) = delete;
  LinkServer& operator=(const LinkServer&) = delete;

  static constexpr const char* kHost = "127.0.0.1";
  uint16_t Port() const { return port_; }
  int Accepts() const { return accepts_.load(); }
  std::vector<std::string> Kept() const;

 private:
  friend class LinkConnection;
  struct Impl;
  void Run();

  Handler handler_;
  std::unique_ptr<Impl> d_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepts_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> kept_;
  std::thread thread_;
};

// One HTTP request as the server reads it: the head up to and including
// the blank line, and the body of its Content-Length. False when the
// connection ends (or waitMs pass) before a whole request arrived.
bool ReadHttpRequest(LinkConnection& conn, std::string& head, std::string& body, int waitMs = 5000);

}  // namespace vktest
