#include "transport/http_message.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vk {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Appends text with the characters that would end a line made harmless.
void AppendHeaderText(std::string& out, std::string_view text) {
  for (char c : text) out.push_back((c == '\r' || c == '\n' || c == '\0') ? ' ' : c);
}

// Whether a comma-separated header value lists the token (any case).
bool HasToken(std::string_view value, std::string_view token) {
  while (!value.empty()) {
    const size_t comma = value.find(',');
    if (HttpNameEquals(Trim(value.substr(0, comma)), token)) return true;
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return false;
}

// The last token of a comma-separated value.
std::string_view LastToken(std::string_view value) {
  const size_t comma = value.rfind(',');
  return Trim(comma == std::string_view::npos ? value : value.substr(comma + 1));
}

// Decimal digits only, no overflow.
bool ParseDecimal(std::string_view s, uint64_t& out) {
  if (s.empty() || s.size() > 19) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  out = v;
  return true;
}

}  // namespace

bool HttpNameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string BuildHttpRequestHead(std::string_view Method, std::string_view Target, const HttpHeaders& Headers,
                                 uint64_t BodySize) {
  std::string head;
  AppendHeaderText(head, Method);
  head += ' ';
  AppendHeaderText(head, Target);
  head += " HTTP/1.1\r\n";
  for (const HttpHeader& h : Headers) {
    AppendHeaderText(head, h.Name);
    head += ": ";
    AppendHeaderText(head, h.Value);
    head += "\r\n";
  }
  head += "Content-Length: " + std::to_string(BodySize) + "\r\n\r\n";
  return head;
}

HttpResponseReader::HttpResponseReader(HttpLimits limits) : limits_(limits) {}

const std::string* HttpResponseReader::Header(std::string_view name) const {
  for (const HttpHeader& h : headers_) {
    if (HttpNameEquals(h.Name, name)) return &h.Value;
  }
  return nullptr;
}

bool HttpResponseReader::Fail(std::string why) {
  state_ = State::Failed;
  error_ = std::move(why);
  return false;
}

void HttpResponseReader::Finish() {
  phase_ = Phase::Done;
  state_ = State::Done;
}

HttpResponseReader::State HttpResponseReader::Feed(const uint8_t* data, size_t size) {
  if (size > 0) started_ = true;
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  while (p < end && state_ == State::NeedMore) {
    switch (phase_) {
      case Phase::LengthBody:
      case Phase::ChunkData:
      case Phase::UntilClose: {
        size_t n = static_cast<size_t>(end - p);
        if (phase_ != Phase::UntilClose) n = static_cast<size_t>(std::min<uint64_t>(n, remaining_));
        if (phase_ == Phase::UntilClose && body_.size() + n > limits_.MaxBodyBytes) {
          Fail("body larger than the limit");
          break;
        }
        body_.insert(body_.end(), p, p + n);
        p += n;
        if (phase_ == Phase::UntilClose) break;
        remaining_ -= n;
        if (remaining_ == 0) {
          if (phase_ == Phase::LengthBody) {
            Finish();
          } else {
            phase_ = Phase::ChunkEnd;
          }
        }
        break;
      }
      case Phase::Done:
        break;
      default: {
        // A line: the head, a chunk size, the end of a chunk, a trailer.
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const size_t n = static_cast<size_t>((nl ? nl + 1 : end) - p);
        if (headBytes_ + n > limits_.MaxHeaderBytes) {
          Fail("header lines longer than the limit");
          break;
        }
        headBytes_ += n;
        line_.append(p, nl ? n - 1 : n);
        p += n;
        if (!nl) break;
        std::string line = std::move(line_);
        line_.clear();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        TakeLine(line);
        break;
      }
    }
  }
  if (state_ == State::Done) surplus_ += static_cast<size_t>(end - p);
  return state_;
}

HttpResponseReader::State HttpResponseReader::FeedEnd() {
  if (state_ != State::NeedMore) return state_;
  if (phase_ == Phase::UntilClose) {
    Finish();
    return state_;
  }
  Fail(started_ ? "connection closed inside the response" : "connection closed before the response");
  return state_;
}

bool HttpResponseReader::TakeLine(std::string_view line) {
  switch (phase_) {
    case Phase::StatusLine:
      if (line.empty()) return true;  // blank lines before the status line are skipped
      return StatusLine(line);
    case Phase::Headers:
      if (line.empty()) return HeadersEnded();
      return HeaderLine(line);
    case Phase::ChunkSize:
      return ChunkSizeLine(line);
    case Phase::ChunkEnd:
      if (!line.empty()) return Fail("chunk longer than its size");
      phase_ = Phase::ChunkSize;
      headBytes_ = 0;
      return true;
    case Phase::Trailers:
      if (line.empty()) Finish();  // trailers are read and not kept
      return true;
    default:
      return Fail("internal state");
  }
}

bool HttpResponseReader::StatusLine(std::string_view line) {
  // HTTP/1.x SP 3DIGIT [SP reason]
  if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || line[7] < '0' || line[7] > '9' || line[8] != ' ') {
    return Fail("not an HTTP/1.x status line");
  }
  int code = 0;
  for (size_t i = 9; i < 12; ++i) {
    if (line[i] < '0' || line[i] > '9') return Fail("bad status code");
    code = code * 10 + (line[i] - '0');
  }
  if (line.size() > 12 && line[12] != ' ') return Fail("bad status code");
  status_ = code;
  minorVersion_ = line[7] - '0';
  phase_ = Phase::Headers;
  return true;
}

bool HttpResponseReader::HeaderLine(std::string_view line) {
  raw_.append(line);
  raw_ += "\r\n";
  if (IsSpace(line.front())) {
    // An old-style continuation line belongs to the header before it.
    if (headers_.empty()) return Fail("continuation line without a header");
    std::string& v = headers_.back().Value;
    const std::string_view more = Trim(line);
    if (!more.empty()) {
      if (!v.empty()) v += ' ';
      v.append(more);
    }
    return true;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return Fail("header line without a name");
  const std::string_view name = line.substr(0, colon);
  if (std::any_of(name.begin(), name.end(), IsSpace)) return Fail("space in a header name");
  headers_.push_back({std::string(name), std::string(Trim(line.substr(colon + 1)))});
  return true;
}

bool HttpResponseReader::HeadersEnded() {
  if (status_ >= 100 && status_ < 200) {
    if (status_ == 101) return Fail("protocol switch not supported");
    // An interim response: the real one follows.
    raw_.clear();
    headers_.clear();
    headBytes_ = 0;
    phase_ = Phase::StatusLine;
    return true;
  }
  headersDone_ = true;
  const std::string* connection = Header("Connection");
  if (minorVersion_ >= 1) {
    keepAlive_ = !(connection && HasToken(*connection, "close"));
  } else {
    keepAlive_ = connection && HasToken(*connection, "keep-alive");
  }
  if (status_ == 204 || status_ == 304) {
    Finish();
    return true;
  }
  if (const std::string* te = Header("Transfer-Encoding")) {
    if (HttpNameEquals(LastToken(*te), "chunked")) {
      phase_ = Phase::ChunkSize;
      headBytes_ = 0;
      return true;
    }
    // Any other coding: the body runs until the close.
    keepAlive_ = false;
    phase_ = Phase::UntilClose;
    return true;
  }
  // Every Content-Length (and every item of a list) must name the same length.
  std::optional<uint64_t> length;
  for (const HttpHeader& h : headers_) {
    if (!HttpNameEquals(h.Name, "Content-Length")) continue;
    std::string_view v = h.Value;
    while (true) {
      const size_t comma = v.find(',');
      uint64_t n = 0;
      if (!ParseDecimal(Trim(v.substr(0, comma)), n)) return Fail("bad Content-Length");
      if (length && *length != n) return Fail("conflicting Content-Length");
      length = n;
      if (comma == std::string_view::npos) break;
      v.remove_prefix(comma + 1);
    }
  }
  if (!length) {
    keepAlive_ = false;
    phase_ = Phase::UntilClose;
    return true;
  }
  if (*length > limits_.MaxBodyBytes) return Fail("Content-Length larger than the limit");
  contentLength_ = length;
  remaining_ = *length;
  if (remaining_ == 0) {
    Finish();
  } else {
    phase_ = Phase::LengthBody;
  }
  return true;
}

bool HttpResponseReader::ChunkSizeLine(std::string_view line) {
  // size in hex, then optional ";extension" (and spaces some servers add).
  const size_t stop = line.find_first_of("; \t");
  const std::string_view hex = line.substr(0, stop);
  if (hex.empty() || hex.size() > 15) return Fail("bad chunk size");
  uint64_t size = 0;
  for (char c : hex) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (Lower(c) >= 'a' && Lower(c) <= 'f') {
      d = Lower(c) - 'a' + 10;
    } else {
      return Fail("bad chunk size");
    }
    size = size * 16 + static_cast<uint64_t>(d);
  }
  headBytes_ = 0;
  if (size == 0) {
    phase_ = Phase::Trailers;
    return true;
  }
  if (size > limits_.MaxBodyBytes - body_.size()) return Fail("chunked body larger than the limit");
  remaining_ = size;
  phase_ = Phase::ChunkData;
  return true;
}

}  // namespace vk
