#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "support/link_server.h"
#include "transport/tcp_client.h"

namespace vk {
namespace {

using vktest::LinkConnection;
using vktest::LinkServer;

std::string LE(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

// A reply frame written out by hand: length, result code, payload.
std::string Reply(int32_t code, const std::string& payload) {
  return LE(static_cast<uint32_t>(payload.size()), 4) + LE(static_cast<uint32_t>(code), 4) + payload;
}

TVKBytes Bytes(const std::string& s) { return TVKBytes(s.begin(), s.end()); }
std::string Text(const TVKBytes& b) { return std::string(b.begin(), b.end()); }

// Serves request frames on each connection until the link closes it: keeps
// every request, answers request i with replies[i] (success with no payload
// beyond the list). closeAfter: the connection is closed after that many
// requests (0: never).
LinkServer::Handler FrameServer(std::vector<std::string> replies, int closeAfter = 0) {
  return [replies = std::move(replies), closeAfter, served = size_t{0}](LinkConnection& conn, int) mutable {
    for (int onThis = 0;;) {
      std::string head = conn.Read(8);
      if (head.size() < 8) return;
      uint32_t length = 0;
      for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<uint8_t>(head[i]);
      const std::string payload = conn.Read(length);
      conn.Keep(head + payload);
      conn.Write(served < replies.size() ? replies[served] : Reply(0, ""));
      ++served;
      if (closeAfter > 0 && ++onThis == closeAfter) return;
    }
  };
}

std::unique_ptr<TVKSDKTCPClient> LinkTo(const LinkServer& server) {
  auto link = std::make_unique<TVKSDKTCPClient>();
  link->SetHost(u"127.0.0.1");
  link->SetPort(server.Port());
  return link;
}

// Every request kind, byte for byte, over one kept connection.
TEST(TcpLink, WritesRequestFramesOnOneKeptConnection) {
  LinkServer server(FrameServer({Reply(0, ""), Reply(0, ""), Reply(0, ""), Reply(0, "hello"), Reply(0, "")}));
  auto link = LinkTo(server);
  const TVKBytesDynArray datas = {Bytes("zero"), Bytes("one"), Bytes("two"), Bytes("three")};
  const std::string name40 = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";

  EXPECT_TRUE(link->ExecData(3, 0x12345, 3000, 0, 0, datas));
  EXPECT_TRUE(link->ExecData(16, 5, 3000, 2, 1, datas));
  link->SetFileProcHeader(0, u"img", u"ab.jp");
  TVKBytes stream = Bytes("old content");
  EXPECT_TRUE(link->GetData(1, 4096, 3000, stream, Bytes("ignored payload")));
  EXPECT_TRUE(stream.empty());
  EXPECT_TRUE(link->GetData(1, 7, 3000, stream, Bytes("SELECT 1")));
  EXPECT_EQ(Text(stream), "hello");
  link->SetFileProcHeader(0, u"img", Utf8ToUtf16(name40));
  EXPECT_TRUE(link->ExecFile(0, 4097, 12345, Bytes("DATA")));

  const std::vector<std::string> expected = {
      LE(0, 4) + LE(3, 2) + LE(0x2345, 2),
      LE(6, 4) + LE(16, 2) + LE(5, 2) + "onetwo",
      LE(32, 4) + LE(1, 2) + LE(4096, 2) + "ab.jp" + std::string(27, '\0'),
      LE(8, 4) + LE(1, 2) + LE(7, 2) + "SELECT 1",
      LE(36, 4) + LE(0, 2) + LE(4097, 2) + name40.substr(0, 32) + "DATA",
  };
  EXPECT_EQ(server.Kept(), expected);
  EXPECT_EQ(expected[2].size(), 40u);
  EXPECT_EQ(server.Accepts(), 1);
}

TEST(TcpLink, FailureResultReadsTheWholeReplySoTheNextRequestWorks) {
  LinkServer server(FrameServer({Reply(1, "0123456789"), Reply(0, ""), Reply(7, "why"), Reply(0, "ok")}));
  auto link = LinkTo(server);
  const TVKBytesDynArray datas = {Bytes("x")};
  EXPECT_FALSE(link->ExecData(0, 1, 3000, 1, 0, datas));
  EXPECT_TRUE(link->ExecData(0, 1, 3000, 1, 0, datas));
  TVKBytes stream;
  EXPECT_FALSE(link->GetData(1, 1, 3000, stream, Bytes("q")));
  EXPECT_EQ(Text(stream), "why");  // the device's payload is kept even on failure
  EXPECT_TRUE(link->GetData(1, 1, 3000, stream, Bytes("q")));
  EXPECT_EQ(Text(stream), "ok");
  EXPECT_EQ(server.Accepts(), 1);
}

TEST(TcpLink, RangeOutsideTheDataFailsWithoutSending) {
  LinkServer server(FrameServer({}));
  auto link = LinkTo(server);
  const TVKBytesDynArray datas = {Bytes("a"), Bytes("b")};
  EXPECT_FALSE(link->ExecData(0, 1, 3000, 2, 1, datas));
  EXPECT_FALSE(link->ExecData(0, 1, 3000, -1, 0, datas));
  EXPECT_FALSE(link->ExecData(0, 1, 3000, 1, -1, datas));
  EXPECT_TRUE(server.Kept().empty());
}

// A reply length the link must not believe, or a reply that stops coming:
// false, the connection is dropped, and the next request starts on a new
// one. The reply wait is shortened for the stalls; the hang guard is wide.
TEST(TcpLink, BadOrStalledRepliesFailAndTheNextRequestReconnects) {
  const struct {
    const char* name;
    std::string reply;
  } cases[] = {
      {"length -1", LE(0xFFFFFFFFu, 4) + LE(0, 4)},
      {"length 2^31-1", LE(0x7FFFFFFFu, 4) + LE(0, 4) + "abc"},
      {"length above the cap", LE(static_cast<uint32_t>(TVKSDKTCPClient::kMaxReplyLength) + 1, 4) + LE(0, 4)},
      {"no reply", ""},
      {"half a head", LE(4, 4)},
      {"payload stops", LE(100, 4) + LE(0, 4) + "only a part"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LinkServer server([&](LinkConnection& conn, int index) {
      if (index == 0) {
        conn.Keep(conn.Read(9));
        conn.Write(c.reply);
        conn.WaitClosed(10000);  // the link gives up and closes
        return;
      }
      FrameServer({Reply(0, "fine")})(conn, index);
    });
    auto link = LinkTo(server);
    link->FReplyTimeOut = 200;
    const auto start = std::chrono::steady_clock::now();
    TVKBytes stream = Bytes("stale");
    EXPECT_FALSE(link->GetData(1, 2, 3000, stream, Bytes("Q")));
    EXPECT_TRUE(stream.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(link->GetData(1, 2, 3000, stream, Bytes("Q")));
    EXPECT_EQ(Text(stream), "fine");
    EXPECT_EQ(server.Accepts(), 2);
  }
}

TEST(TcpLink, KeptConnectionClosedByTheDeviceIsReopened) {
  LinkServer server(FrameServer({}, /*closeAfter=*/1));
  auto link = LinkTo(server);
  const TVKBytesDynArray datas = {Bytes("x")};
  EXPECT_TRUE(link->ExecData(0, 1, 3000, 1, 0, datas));
  // Give the device's close time to reach the link's side.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(link->ExecData(0, 1, 3000, 1, 0, datas));
  EXPECT_EQ(server.Accepts(), 2);
  EXPECT_EQ(server.Kept().size(), 2u);
}

TEST(TcpLink, FailedConnectIsRetriedByTheNextRequest) {
  uint16_t deadPort;
  {
    LinkServer gone(FrameServer({}));
    deadPort = gone.Port();
  }
  LinkServer server(FrameServer({}));
  TVKSDKTCPClient link;
  link.SetHost(u"127.0.0.1");
  link.SetPort(deadPort);
  const TVKBytesDynArray datas = {Bytes("x")};
  EXPECT_FALSE(link.ExecData(0, 1, 3000, 1, 0, datas));
  link.SetPort(server.Port());
  EXPECT_TRUE(link.ExecData(0, 1, 3000, 1, 0, datas));
  // A host that is not an address, and a port out of range, fail quietly.
  link.Disconnect();
  link.SetHost(u"not an address");
  EXPECT_FALSE(link.ExecData(0, 1, 3000, 1, 0, datas));
  link.SetHost(u"127.0.0.1");
  link.SetPort(70000);
  EXPECT_FALSE(link.ExecData(0, 1, 3000, 1, 0, datas));
  EXPECT_EQ(server.Accepts(), 1);
}

}  // namespace
}  // namespace vk
