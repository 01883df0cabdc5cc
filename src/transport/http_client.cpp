#include "transport/http_client.h"

#include <algorithm>
#include <cstdio>

#include "runtime/codepage.h"
#include "runtime/platform.h"
#include "transport/tcp_connection.h"

namespace vk {

namespace {

struct ProcTypeName {
  uint8_t ProcType;
  const char16_t* Name;
};

// "WD_PROCTYPE" of an SQL request and of a file request.
constexpr ProcTypeName kSQLProcTypes[] = {{0, u"99"}, {1, u"258"}, {2, u"99"}, {3, u"99"}, {16, u"98"}};
constexpr ProcTypeName kFileProcTypes[] = {
    {0, u"COVER"}, {1, u"GET"}, {3, u"DELETE"}, {4, u"LIST"}, {6, u"ClearImg"}};

template <size_t N>
const char16_t* ProcTypeText(const ProcTypeName (&table)[N], uint8_t ProcType) {
  for (const ProcTypeName& row : table) {
    if (row.ProcType == ProcType) return row.Name;
  }
  return nullptr;
}

constexpr size_t kPiece = size_t{64} << 10;
// The "Source" text is one header value: a larger file is not read.
constexpr size_t kMaxSourceBytes = size_t{16} << 10;

}  // namespace

TVKSDKHTTPClient::TVKSDKHTTPClient() = default;

TVKSDKHTTPClient::~TVKSDKHTTPClient() = default;

void TVKSDKHTTPClient::SetHeader(const std::string& Name, std::u16string Value) {
  for (TCustomHeader& h : FHeaders) {
    if (h.Name == Name) {
      h.Value = std::move(Value);
      return;
    }
  }
  FHeaders.push_back({Name, std::move(Value)});
}

VK_CATCHES_THREAD_CANCELLATION std::u16string TVKSDKHTTPClient::SourceText() const {
  try {
    const std::filesystem::path dir = FSourceDir.empty() ? platform::ExecutablePath().parent_path() : FSourceDir;
    std::FILE* f = platform::OpenFile(dir / "Source", "rb");
    if (!f) return {};
    TVKBytes bytes(kMaxSourceBytes + 1);
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (n > kMaxSourceBytes) return {};
    std::u16string text = CodePageBytesToString(bytes.data(), n, 0);
    // A text file usually ends with a line break, which a header value
    // cannot carry.
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
    return text;
  } catch (const platform::ThreadCancellation&) {
    throw;
  } catch (...) {
    return {};  // an unreadable file only leaves the header out
  }
}

void TVKSDKHTTPClient::SetSQLProcHeader(uint8_t ProcType) {
  FHeaders.clear();
  std::u16string message = SourceText();
  if (!message.empty()) SetHeader("WD_MESSAGE", std::move(message));
  SetHeader("WD_CLASSNAME", u"SQLiteProc");
  if (const char16_t* t = ProcTypeText(kSQLProcTypes, ProcType)) SetHeader("WD_PROCTYPE", t);
}

void TVKSDKHTTPClient::SetFileProcHeader(uint8_t ProcType, std::u16string_view DirName,
                                         std::u16string_view FileName) {
  FHeaders.clear();
  SetHeader("WD_CLASSNAME", u"FileProc");
  if (const char16_t* t = ProcTypeText(kFileProcTypes, ProcType)) SetHeader("WD_PROCTYPE", t);
  SetHeader("WD_DIRNAME", std::u16string(DirName));
  SetHeader("WD_FILENAME", std::u16string(FileName));
}

void TVKSDKHTTPClient::Disconnect() {
  if (FHTTPClient) FHTTPClient->Close();
}

bool TVKSDKHTTPClient::ExecData(uint8_t ProcType, int32_t DataType, int32_t, int32_t Count, int32_t Start,
                                const TVKBytesDynArray& Datas) {
  if (Count < 0 || Start < 0 || static_cast<size_t>(Start) + static_cast<size_t>(Count) > Datas.size()) {
    return false;
  }
  size_t length = 0;
  for (int32_t i = Start; i < Start + Count; ++i) length += Datas[i].size();
  FSourceStream.clear();
  FSourceStream.reserve(length);
  for (int32_t i = Start; i < Start + Count; ++i) {
    FSourceStream.insert(FSourceStream.end(), Datas[i].begin(), Datas[i].end());
  }
  return Post(ProcType, DataType, nullptr);
}

bool TVKSDKHTTPClient::ExecFile(uint8_t ProcType, int32_t DataType, int32_t, const TVKBytes& Data) {
  return ExecData(ProcType, DataType, 3000, 1, 0, TVKBytesDynArray{Data});
}

bool TVKSDKHTTPClient::GetData(uint8_t ProcType, int32_t DataType, int32_t, TVKBytes& Stream, const TVKBytes& Data) {
  Stream.clear();
  FSourceStream = Data;
  return Post(ProcType, DataType, &Stream);
}

void TVKSDKHTTPClient::Progress(int64_t count) {
  if (!FOnWorkEvent) return;
  const auto clamp = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); };
  FOnWorkEvent(clamp(count), clamp(WorkCountMax));
}

VK_CATCHES_THREAD_CANCELLATION bool TVKSDKHTTPClient::Post(uint8_t ProcType, int32_t DataType, TVKBytes* body) {
  try {
    return PostImpl(ProcType, DataType, body);
  } catch (const platform::ThreadCancellation&) {
    throw;
  } catch (...) {
    // Out of memory, a socket setup failure, or a progress callback that
    // threw: the request failed.
  }
  try {
    Disconnect();
  } catch (...) {
  }
  if (body) body->clear();
  return false;
}

bool TVKSDKHTTPClient::PostImpl(uint8_t ProcType, int32_t DataType, TVKBytes* body) {
  SetHeader("WD_TASKTYPE", Widen(std::to_string(int64_t{ProcType} * 65536 + DataType)));

  std::string listed = "Request Headers: \r\n";
  HttpHeaders wire;
  const std::string host = Utf16ToUtf8(FHost);
  wire.push_back({"Host", host + ":" + std::to_string(FPort)});
  for (const TCustomHeader& h : FHeaders) {
    wire.push_back({h.Name, Utf16ToUtf8(h.Value)});
    listed += h.Name + ": " + wire.back().Value + "\r\n";
  }
  wire.push_back({"Content-Type", "application/octet-stream"});
  if (DebugList) {
    DebugList->Add(std::string_view());
    DebugList->Add(std::string_view(listed));
  }
  if (FPort <= 0 || FPort > 0xFFFF) return false;
  const std::string head = BuildHttpRequestHead("POST", "/", wire, FSourceStream.size());

  if (!FHTTPClient) FHTTPClient = std::make_unique<TcpConnection>();
  TcpConnection& conn = *FHTTPClient;
  TVKBytes buf(kPiece);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool reused = conn.IsOpen() && conn.ReadyForRequest();
    if (!reused && !conn.Connect(host, static_cast<uint16_t>(FPort), FConnectTimeOut)) return false;
    // A kept connection the device closed meanwhile shows only when it is
    // used: if nothing of the reply came back, it is opened anew once.
    const auto stale = [&] { return reused && attempt == 0; };

    WorkCountMax = static_cast<int64_t>(FSourceStream.size());
    if (conn.Write(reinterpret_cast<const uint8_t*>(head.data()), head.size(), FReadTimeOut) != TcpConnection::Io::Ok) {
      if (stale()) continue;
      conn.Close();
      return false;
    }
    bool sent = true;
    for (size_t at = 0; at < FSourceStream.size(); at += kPiece) {
      const size_t n = std::min(kPiece, FSourceStream.size() - at);
      if (conn.Write(FSourceStream.data() + at, n, FReadTimeOut) != TcpConnection::Io::Ok) {
        sent = false;
        break;
      }
      Progress(static_cast<int64_t>(at + n));
    }
    if (!sent) {
      if (stale()) continue;
      conn.Close();
      return false;
    }

    HttpResponseReader reader(FLimits);
    bool receiving = false;
    size_t reported = 0;
    bool retry = false;
    while (reader.GetState() == HttpResponseReader::State::NeedMore) {
      size_t got = 0;
      const TcpConnection::Io io = conn.ReadSome(buf.data(), buf.size(), FReadTimeOut, got);
      if (io == TcpConnection::Io::Ok) {
        reader.Feed(buf.data(), got);
      } else if (io == TcpConnection::Io::TimedOut) {
        break;
      } else if (!reader.Started() && stale()) {
        retry = true;
        break;
      } else if (io == TcpConnection::Io::Closed) {
        reader.FeedEnd();
      } else {
        break;
      }
      if (reader.HeadersDone() && !receiving) {
        receiving = true;
        WorkCountMax = static_cast<int64_t>(reader.ContentLength().value_or(0));
      }
      if (receiving && reader.Body().size() != reported) {
        reported = reader.Body().size();
        Progress(static_cast<int64_t>(reported));
      }
    }
    if (retry) {
      conn.Close();
      continue;
    }
    if (reader.GetState() != HttpResponseReader::State::Done) {
      conn.Close();
      return false;
    }
    if (!reader.KeepAlive()) conn.Close();
    if (DebugList) {
      DebugList->Add(std::string_view());
      DebugList->Add(std::string_view(">>>>>>Post<<<<<<"));
      DebugList->Add(std::string_view());
      DebugList->Add(std::string_view("Response Headers: \r\n" + reader.RawHeaders()));
    }
    if (body) *body = reader.Body();
    const std::string* result = reader.Header("WD_RETURN");
    const bool statusOk = reader.StatusCode() >= 200 && reader.StatusCode() < 300;
    return statusOk && result && *result == "SUCCESS";
  }
  conn.Close();
  return false;
}

}  // namespace vk
