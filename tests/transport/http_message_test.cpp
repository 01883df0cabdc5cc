#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "transport/http_message.h"

namespace vk {
namespace {

using State = HttpResponseReader::State;

std::string BodyText(const HttpResponseReader& r) { return std::string(r.Body().begin(), r.Body().end()); }

TEST(HttpRequestHead, KeepsHeaderOrderAndNeutralisesLineBreaks) {
  const HttpHeaders headers = {
      {"Host", "127.0.0.1:8080"},
      {"WD_MESSAGE", "Shop 1\r\nX-Injected: yes"},
      {"WD_CLASSNAME", "SQLiteProc"},
      {"A_LAST", ""},
      {"WD_FILENAME", "\xE6\x96\x87.bmp"},
  };
  EXPECT_EQ(BuildHttpRequestHead("POST", "/", headers, 42),
            "POST / HTTP/1.1\r\n"
            "Host: 127.0.0.1:8080\r\n"
            "WD_MESSAGE: Shop 1  X-Injected: yes\r\n"
            "WD_CLASSNAME: SQLiteProc\r\n"
            "A_LAST: \r\n"
            "WD_FILENAME: \xE6\x96\x87.bmp\r\n"
            "Content-Length: 42\r\n"
            "\r\n");
}

struct ReadCase {
  const char* name;
  std::string wire;       // the whole response
  bool needsClose;        // complete only once the peer closes
  int status;
  std::string body;
  bool keepAlive;
};

// Every framing, fed at every split point of the bytes: the result never
// depends on how the connection cut the stream.
TEST(HttpResponseReader, ReadsEveryFramingAtEverySplit) {
  const ReadCase cases[] = {
      {"content-length", "HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\nContent-Length: 5\r\n\r\nhello", false, 200,
       "hello", true},
      {"chunked with extension and trailer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
       "4;name=value\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nX-Trailer: 1\r\n\r\n",
       false, 200, "Wikipedia in\r\n\r\nchunks.", true},
      {"chunked wins over content-length",
       "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
       false, 200, "abc", true},
      {"until close", "HTTP/1.1 200 OK\r\nWD_RETURN: SUCCESS\r\n\r\nrest of the stream", true, 200,
       "rest of the stream", false},
      {"until close, empty", "HTTP/1.0 200 OK\r\n\r\n", true, 200, "", false},
      {"connection close", "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\nContent-Length: 2\r\n\r\nno",
       false, 500, "no", false},
      {"http/1.0 keep-alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n", false, 200,
       "", true},
      {"interim 100 skipped, bare LF lines",
       "HTTP/1.1 100 Continue\n\nHTTP/1.1 204 No Content\nWD_RETURN: SUCCESS\n\n", false, 204, "", true},
  };
  for (const ReadCase& c : cases) {
    for (size_t split = 0; split <= c.wire.size(); ++split) {
      SCOPED_TRACE(std::string(c.name) + " split at " + std::to_string(split));
      HttpResponseReader r;
      State s = r.Feed(std::string_view(c.wire).substr(0, split));
      if (s == State::NeedMore) s = r.Feed(std::string_view(c.wire).substr(split));
      if (c.needsClose) {
        ASSERT_EQ(s, State::NeedMore);
        s = r.FeedEnd();
      }
      ASSERT_EQ(s, State::Done) << r.Error();
      EXPECT_EQ(r.StatusCode(), c.status);
      EXPECT_EQ(BodyText(r), c.body);
      EXPECT_EQ(r.KeepAlive(), c.keepAlive);
      EXPECT_EQ(r.Surplus(), 0u);
    }
  }
}

TEST(HttpResponseReader, KeepsRawHeadersAndFindsNamesInAnyCase) {
  HttpResponseReader r;
  ASSERT_EQ(r.Feed("HTTP/1.1 200 OK\r\nwd_return:  SUCCESS \r\nX-Long: a\r\n  b\r\nContent-Length: 0\r\n\r\n"),
            State::Done);
  ASSERT_NE(r.Header("WD_RETURN"), nullptr);
  EXPECT_EQ(*r.Header("WD_RETURN"), "SUCCESS");
  EXPECT_EQ(*r.Header("x-long"), "a b");
  EXPECT_EQ(r.Header("Missing"), nullptr);
  EXPECT_EQ(r.RawHeaders(), "wd_return:  SUCCESS \r\nX-Long: a\r\n  b\r\nContent-Length: 0\r\n");
  EXPECT_EQ(r.ContentLength(), 0u);
}

// Whatever the peer declares or sends beyond the limits is refused before it
// is stored; malformed framing fails instead of guessing.
TEST(HttpResponseReader, RefusesOversizedAndMalformedResponses) {
  const HttpLimits small{64, 16};
  const struct {
    const char* name;
    std::string wire;
  } cases[] = {
      {"content-length beyond the cap", "HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n"},
      {"content-length beyond 64 bits", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n"},
      {"conflicting content-lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n"},
      {"negative content-length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n"},
      {"one chunk beyond the cap", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n11\r\n"},
      {"chunks adding up beyond the cap",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8\r\n12345678\r\n9\r\n"},
      {"huge chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFF\r\n"},
      {"chunk longer than its size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n"},
      {"body until close beyond the cap", "HTTP/1.1 200 OK\r\n\r\n12345678901234567"},
      {"endless header line", "HTTP/1.1 200 OK\r\nX: " + std::string(100, 'a')},
      {"too many header lines", [] {
         std::string w = "HTTP/1.1 200 OK\r\n";
         for (int i = 0; i < 30; ++i) w += "a: b\r\n";
         return w;
       }()},
      {"endless trailers",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n" + std::string(70, 'x') + "\r\n"},
      {"not http", "SSH-2.0-OpenSSH\r\n"},
      {"header without a colon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n"},
      {"protocol switch", "HTTP/1.1 101 Switching Protocols\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpResponseReader r(small);
    EXPECT_EQ(r.Feed(c.wire), State::Failed);
    EXPECT_FALSE(r.Error().empty());
    EXPECT_LE(r.Body().size(), small.MaxBodyBytes);
  }
}

TEST(HttpResponseReader, CloseBeforeTheEndFailsAndTellsWhetherAnythingArrived) {
  HttpResponseReader none;
  EXPECT_EQ(none.FeedEnd(), State::Failed);
  EXPECT_FALSE(none.Started());

  HttpResponseReader partial;
  ASSERT_EQ(partial.Feed("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), State::NeedMore);
  EXPECT_EQ(partial.FeedEnd(), State::Failed);
  EXPECT_TRUE(partial.Started());
}

TEST(HttpResponseReader, BytesAfterTheResponseEndKeepAlive) {
  HttpResponseReader r;
  ASSERT_EQ(r.Feed("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nxGARBAGE"), State::Done);
  EXPECT_EQ(BodyText(r), "x");
  EXPECT_EQ(r.Surplus(), 7u);
  EXPECT_FALSE(r.KeepAlive());
}

}  // namespace
}  // namespace vk
