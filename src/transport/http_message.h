// HTTP/1.1 messages as bytes, for the HTTP link: a request writer that keeps
// the headers in the order they were added, and a response reader that is
// fed whatever the connection delivers, in pieces of any size. Nothing here
// touches a socket, so both sides can be checked byte by byte.
//
// Everything the peer sizes is bounded before it is stored: the status line
// and headers (and the trailers of a chunked body) by MaxHeaderBytes, the
// body by MaxBodyBytes, whatever Content-Length or chunk size it declares.
// The body grows with the bytes that really arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/types.h"

namespace vk {

// One header as it goes on the wire (UTF-8 text).
struct HttpHeader {
  std::string Name;
  std::string Value;
};
using HttpHeaders = std::vector<HttpHeader>;

// ASCII case-insensitive equality (header names, tokens).
bool HttpNameEquals(std::string_view a, std::string_view b);

// The head of a request: "<Method> <Target> HTTP/1.1", the headers in the
// order given, "Content-Length: <BodySize>" and the blank line. The body
// follows as it is. CR, LF and NUL inside a name or value become spaces, so
// no value can end a header line or the head early.
std::string BuildHttpRequestHead(std::string_view Method, std::string_view Target, const HttpHeaders& Headers,
                                 uint64_t BodySize);

struct HttpLimits {
  size_t MaxHeaderBytes = size_t{64} << 10;  // status line + headers; again for trailers
  size_t MaxBodyBytes = size_t{256} << 20;
};

// Reads one response. Feed it the bytes as they arrive and FeedEnd when the
// peer closes the connection; both report whether the response is complete,
// needs more, or cannot be read (Error() says why). Interim 1xx responses
// are skipped. The body is framed by Transfer-Encoding chunked (extensions
// and trailers allowed), else by Content-Length, else by the connection
// closing; 204 and 304 have none.
class HttpResponseReader {
 public:
  enum class State { NeedMore, Done, Failed };

  explicit HttpResponseReader(HttpLimits limits = {});

  State Feed(const uint8_t* data, size_t size);
  State Feed(std::string_view data) { return Feed(reinterpret_cast<const uint8_t*>(data.data()), data.size()); }
  // The connection closed: completes a body that runs until the close;
  // anything else unfinished fails.
  State FeedEnd();

  State GetState() const { return state_; }
  const std::string& Error() const { return error_; }
  // True once any byte has been fed.
  bool Started() const { return started_; }
  bool HeadersDone() const { return headersDone_; }

  int StatusCode() const { return status_; }
  // The header lines as received (no status line), each ended by CRLF.
  const std::string& RawHeaders() const { return raw_; }
  // The first header of that name (any case), or null.
  const std::string* Header(std::string_view name) const;
  // The declared body length, when the body is framed by Content-Length.
  std::optional<uint64_t> ContentLength() const { return contentLength_; }
  const TVKBytes& Body() const { return body_; }
  // Once Done: whether the connection may carry the next request (HTTP/1.1
  // without "Connection: close", or HTTP/1.0 with keep-alive; never after a
  // body that ran until the close or when bytes followed the response).
  bool KeepAlive() const { return keepAlive_ && surplus_ == 0; }
  // Bytes fed after the response was complete (not part of it).
  size_t Surplus() const { return surplus_; }

 private:
  enum class Phase { StatusLine, Headers, LengthBody, ChunkSize, ChunkData, ChunkEnd, Trailers, UntilClose, Done };

  bool Fail(std::string why);
  bool TakeLine(std::string_view line);
  bool StatusLine(std::string_view line);
  bool HeaderLine(std::string_view line);
  bool HeadersEnded();
  bool ChunkSizeLine(std::string_view line);
  void Finish();

  HttpLimits limits_;
  State state_ = State::NeedMore;
  Phase phase_ = Phase::StatusLine;
  std::string error_;
  std::string line_;       // the line being collected
  size_t headBytes_ = 0;   // bytes of the current head (or trailers) so far
  bool started_ = false;
  bool headersDone_ = false;
  int status_ = 0;
  int minorVersion_ = 1;
  std::string raw_;
  HttpHeaders headers_;
  std::optional<uint64_t> contentLength_;
  uint64_t remaining_ = 0;  // bytes left of the Content-Length body or chunk
  TVKBytes body_;
  bool keepAlive_ = false;
  size_t surplus_ = 0;
};

}  // namespace vk
