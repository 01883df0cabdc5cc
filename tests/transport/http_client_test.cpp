#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "runtime/debug_list.h"
#include "runtime/runtime_test_support.h"
#include "support/link_server.h"
#include "transport/http_client.h"

namespace vk {
namespace {

using vktest::LinkConnection;
using vktest::LinkServer;

TVKBytes Bytes(const std::string& s) { return TVKBytes(s.begin(), s.end()); }
std::string Text(const TVKBytes& b) { return std::string(b.begin(), b.end()); }

const std::string kSuccess = "HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\nContent-Length: 0\r\n\r\n";

// Serves HTTP requests on each connection until the link closes it: keeps
// every request (head and body), answers request i with responses[i]
// (kSuccess beyond the list). A response that closes the connection
// (Connection: close, or a body until the close) ends it after writing.
LinkServer::Handler HttpServer(std::vector<std::string> responses) {
  return [responses = std::move(responses), served = size_t{0}](LinkConnection& conn, int) mutable {
    std::string head, body;
    while (vktest::ReadHttpRequest(conn, head, body)) {
      conn.Keep(head + body);
      const std::string& r = served < responses.size() ? responses[served] : kSuccess;
      ++served;
      conn.Write(r);
      const bool untilClose = r.find("Content-Length") == std::string::npos && r.find("chunked") == std::string::npos;
      if (untilClose || r.find("Connection: close") != std::string::npos) {
        return;
      }
    }
  };
}

// A link to the server whose "Source" file is looked for in an empty
// directory unless a test writes one there.
struct Fixture {
  explicit Fixture(LinkServer::Handler handler) : server(std::move(handler)) {
    link.SetHost(u"127.0.0.1");
    link.SetPort(server.Port());
    link.FSourceDir = dir.path();
  }
  std::string Head(const std::string& custom, size_t bodySize) const {
    return "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n" + custom +
           "Content-Type: application/octet-stream\r\nContent-Length: " + std::to_string(bodySize) + "\r\n\r\n";
  }
  test::TempDir dir;
  LinkServer server;
  TVKSDKHTTPClient link;
};

// The requests of a table's life, byte for byte, on one kept connection:
// the prepared headers stay, only WD_TASKTYPE changes per request.
TEST(HttpLink, SendsHeadersInOrderOnOneKeptConnection) {
  Fixture f(HttpServer({}));
  const TVKBytesDynArray datas = {Bytes("skip"), Bytes("DELETE FROM t;"), Bytes("INSERT 1;")};
  f.link.SetSQLProcHeader(1);
  EXPECT_TRUE(f.link.ExecData(1, 5, 3000, 2, 1, datas));
  EXPECT_TRUE(f.link.ExecData(0, 7, 3000, 0, 0, datas));
  f.link.SetFileProcHeader(4, u"img", u"a.bmp");
  TVKBytes stream;
  EXPECT_TRUE(f.link.GetData(4, 4096, 3000, stream, Bytes("q")));
  f.link.SetSQLProcHeader(5);
  EXPECT_TRUE(f.link.ExecFile(5, 9, 0, Bytes("file")));

  const std::string sql258 = "WD_CLASSNAME: SQLiteProc\r\nWD_PROCTYPE: 258\r\n";
  const std::vector<std::string> expected = {
      f.Head(sql258 + "WD_TASKTYPE: 65541\r\n", 23) + "DELETE FROM t;INSERT 1;",
      f.Head(sql258 + "WD_TASKTYPE: 7\r\n", 0),
      f.Head("WD_CLASSNAME: FileProc\r\nWD_PROCTYPE: LIST\r\nWD_DIRNAME: img\r\nWD_FILENAME: a.bmp\r\n"
             "WD_TASKTYPE: 266240\r\n",
             1) + "q",
      f.Head("WD_CLASSNAME: SQLiteProc\r\nWD_TASKTYPE: 327689\r\n", 4) + "file",
  };
  EXPECT_EQ(f.server.Kept(), expected);
  EXPECT_EQ(f.server.Accepts(), 1);
}

TEST(HttpLink, ProcTypeHeaderOfEachRequestKind) {
  TVKSDKHTTPClient link;
  test::TempDir dir;
  link.FSourceDir = dir.path();
  const auto procType = [&]() -> std::u16string {
    for (const auto& h : link.CustomHeaders()) {
      if (h.Name == "WD_PROCTYPE") return h.Value;
    }
    return u"(none)";
  };
  const std::pair<int, std::u16string> sql[] = {{0, u"99"}, {1, u"258"},    {2, u"99"},    {3, u"99"},
                                                {4, u"(none)"}, {5, u"(none)"}, {16, u"98"}};
  for (const auto& [p, text] : sql) {
    link.SetSQLProcHeader(static_cast<uint8_t>(p));
    EXPECT_EQ(procType(), text) << "SQL " << p;
  }
  const std::pair<int, std::u16string> file[] = {{0, u"COVER"}, {1, u"GET"},      {2, u"(none)"}, {3, u"DELETE"},
                                                 {4, u"LIST"},  {5, u"(none)"},   {6, u"ClearImg"}};
  for (const auto& [p, text] : file) {
    link.SetFileProcHeader(static_cast<uint8_t>(p), u"d", u"f");
    EXPECT_EQ(procType(), text) << "file " << p;
  }
}

TEST(HttpLink, SourceFileGivesTheMessageOfSqlRequestsOnly) {
  Fixture f(HttpServer({}));
  test::WriteFile(f.dir / "Source", "Shop 1\r\n");
  f.link.SetSQLProcHeader(0);
  EXPECT_TRUE(f.link.ExecData(0, 1, 3000, 0, 0, {}));
  f.link.SetFileProcHeader(0, u"img", u"b.bmp");
  EXPECT_TRUE(f.link.ExecData(0, 1, 3000, 0, 0, {}));
  test::WriteFile(f.dir / "Source", "");
  f.link.SetSQLProcHeader(0);
  EXPECT_TRUE(f.link.ExecData(0, 1, 3000, 0, 0, {}));

  const std::vector<std::string> kept = f.server.Kept();
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[0],
            f.Head("WD_MESSAGE: Shop 1\r\nWD_CLASSNAME: SQLiteProc\r\nWD_PROCTYPE: 99\r\nWD_TASKTYPE: 1\r\n", 0));
  EXPECT_EQ(kept[1].find("WD_MESSAGE"), std::string::npos);
  EXPECT_EQ(kept[2].find("WD_MESSAGE"), std::string::npos);
}

// What the device answers decides the result; GetData keeps the body either
// way. The responses come one after another from one server, which closes
// the connection after the framings that need it.
TEST(HttpLink, ResultFollowsTheStatusAndWdReturn) {
  const struct {
    const char* name;
    std::string response;
    bool ok;
    std::string body;
  } cases[] = {
      {"success", "HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\nContent-Length: 3\r\n\r\nrow", true, "row"},
      {"other text", "HTTP/1.1 200 OK\r\nWD_RETURN: FAILED\r\nContent-Length: 3\r\n\r\nwhy", false, "why"},
      {"wrong case", "HTTP/1.1 200 OK\r\nWD_RETURN: success\r\nContent-Length: 0\r\n\r\n", false, ""},
      {"missing", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, ""},
      {"server error", "HTTP/1.1 500 Internal Server Error\r\nWD_RETURN: SUCCESS\r\nContent-Length: 0\r\n\r\n",
       false, ""},
      {"chunked",
       "HTTP/1.1 200 OK\r\nwd_return: SUCCESS\r\nTransfer-Encoding: chunked\r\n\r\n2;x=y\r\nab\r\n1\r\nc\r\n0\r\n\r\n",
       true, "abc"},
      {"until close", "HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\n\r\nall of it", true, "all of it"},
      {"close after", "HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\nConnection: close\r\nContent-Length: 1\r\n\r\nz", true,
       "z"},
      {"body above the cap",
       "HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\nConnection: close\r\nContent-Length: 99999999999\r\n\r\n", false, ""},
      {"not http", "garbage\r\n\r\nConnection: close\r\n", false, ""},
      {"after all that", kSuccess, true, ""},
  };
  std::vector<std::string> responses;
  for (const auto& c : cases) responses.push_back(c.response);
  Fixture f(HttpServer(responses));
  f.link.SetSQLProcHeader(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TVKBytes stream = Bytes("stale");
    EXPECT_EQ(f.link.GetData(1, 1, 3000, stream, Bytes("SELECT")), c.ok);
    EXPECT_EQ(Text(stream), c.body);
  }
  EXPECT_EQ(f.server.Kept().size(), std::size(cases));
}

TEST(HttpLink, StaleKeptConnectionIsReopenedAndTheRequestSentAgain) {
  // The first connection answers one request, then takes the next and
  // closes without a word, as a device does when its idle time-out strikes
  // while the request is on its way.
  Fixture f([](LinkConnection& conn, int index) {
    std::string head, body;
    if (index == 0) {
      ASSERT_TRUE(vktest::ReadHttpRequest(conn, head, body));
      conn.Keep(body);
      conn.Write(kSuccess);
      ASSERT_TRUE(vktest::ReadHttpRequest(conn, head, body));
      conn.Keep(body);
      return;
    }
    HttpServer({})(conn, index);
  });
  const TVKBytesDynArray one = {Bytes("1")}, two = {Bytes("2")}, three = {Bytes("3")};
  EXPECT_TRUE(f.link.ExecData(0, 1, 3000, 1, 0, one));
  EXPECT_TRUE(f.link.ExecData(0, 1, 3000, 1, 0, two));
  EXPECT_TRUE(f.link.ExecData(0, 1, 3000, 1, 0, three));
  const std::vector<std::string> kept = f.server.Kept();
  std::vector<std::string> bodies;
  for (const std::string& k : kept) bodies.push_back(k.substr(k.size() - 1));
  EXPECT_EQ(bodies, (std::vector<std::string>{"1", "2", "2", "3"}));
  EXPECT_EQ(f.server.Accepts(), 2);
}

TEST(HttpLink, FreshConnectionClosedWithoutAReplyFailsWithoutResending) {
  Fixture f([](LinkConnection& conn, int) {
    std::string head, body;
    if (vktest::ReadHttpRequest(conn, head, body)) conn.Keep(body);
  });
  EXPECT_FALSE(f.link.ExecData(0, 1, 3000, 1, 0, {Bytes("x")}));
  EXPECT_EQ(f.server.Kept().size(), 1u);
}

TEST(HttpLink, RefusedConnectionAndStalledReplyFailWithinTheTimeOuts) {
  uint16_t deadPort;
  {
    LinkServer gone(HttpServer({}));
    deadPort = gone.Port();
  }
  Fixture f([](LinkConnection& conn, int index) {
    std::string head, body;
    if (index == 0) {
      // Half a head, then nothing.
      if (vktest::ReadHttpRequest(conn, head, body)) conn.Write("HTTP/1.1 200 OK\r\nWD_RET");
      conn.WaitClosed(10000);
      return;
    }
    HttpServer({})(conn, index);
  });
  f.link.SetPort(deadPort);
  EXPECT_FALSE(f.link.ExecData(0, 1, 3000, 0, 0, {}));
  f.link.SetPort(f.server.Port());
  f.link.FReadTimeOut = 200;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(f.link.ExecData(0, 1, 3000, 0, 0, {}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(f.link.ExecData(0, 1, 3000, 0, 0, {}));
  EXPECT_EQ(f.server.Accepts(), 2);
}

TEST(HttpLink, ReportsSendAndReceiveProgress) {
  const std::string reply(100000, 'r');
  Fixture f(HttpServer({"HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\nContent-Length: 100000\r\n\r\n" + reply}));
  std::vector<std::pair<int32_t, int32_t>> events;
  f.link.FOnWorkEvent = [&](int32_t count, int32_t max) { events.emplace_back(count, max); };
  TVKBytes stream;
  ASSERT_TRUE(f.link.GetData(1, 1, 3000, stream, TVKBytes(150000, 's')));
  EXPECT_EQ(stream.size(), reply.size());
  // Sending: each 64 KiB piece; receiving: the body as it arrives.
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0], std::make_pair(65536, 150000));
  EXPECT_EQ(events[1], std::make_pair(131072, 150000));
  EXPECT_EQ(events[2], std::make_pair(150000, 150000));
  for (size_t i = 4; i < events.size(); ++i) EXPECT_GT(events[i].first, events[i - 1].first);
  for (size_t i = 3; i < events.size(); ++i) EXPECT_EQ(events[i].second, 100000);
  EXPECT_EQ(events.back(), std::make_pair(100000, 100000));
  EXPECT_EQ(f.link.WorkCountMax, 100000);
}

TEST(HttpLink, TracesRequestAndResponseHeaders) {
  Fixture f(HttpServer({"HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\nContent-Length: 0\r\n\r\n"}));
  TVKDebugList list;
  f.link.DebugList = &list;
  f.link.SetSQLProcHeader(1);
  EXPECT_TRUE(f.link.ExecData(1, 5, 3000, 0, 0, {}));

  TVKDebugList expected;
  expected.Add("");
  expected.Add("Request Headers: \r\nWD_CLASSNAME: SQLiteProc\r\nWD_PROCTYPE: 258\r\nWD_TASKTYPE: 65541\r\n");
  expected.Add("");
  expected.Add(">>>>>>Post<<<<<<");
  expected.Add("");
  expected.Add("Response Headers: \r\nWD_RETURN: SUCCESS\r\nContent-Length: 0\r\n");
  EXPECT_EQ(list.SavedBytes(), expected.SavedBytes());
}

}  // namespace
}  // namespace vk
