#include "transport/tcp_client.h"

#include <algorithm>
#include <limits>

#include "runtime/platform.h"
#include "transport/tcp_connection.h"

namespace vk {

namespace {

void PutLE(TVKBytes& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

int32_t GetLE32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}

bool IsFileDataType(int32_t DataType) { return DataType >= 4096 && DataType <= 8191; }

}  // namespace

TVKSDKTCPClient::TVKSDKTCPClient() = default;

TVKSDKTCPClient::~TVKSDKTCPClient() = default;

TVKBytes TVKSDKTCPClient::FileNameField(std::u16string_view FileName) {
  const std::string utf8 = Utf16ToUtf8(FileName);
  TVKBytes field(kFileNameBytes, 0);
  std::copy_n(utf8.begin(), std::min(utf8.size(), kFileNameBytes), field.begin());
  return field;
}

void TVKSDKTCPClient::SetFileProcHeader(uint8_t, std::u16string_view, std::u16string_view FileName) {
  FFileName = FileName;
}

void TVKSDKTCPClient::Disconnect() {
  if (FTCPClient) FTCPClient->Close();
}

bool TVKSDKTCPClient::EnsureConnected(int32_t TimeOut) {
  if (!FTCPClient) FTCPClient = std::make_unique<TcpConnection>();
  // A kept connection the device closed (or that holds stray bytes) is
  // replaced before anything is sent on it.
  if (FTCPClient->IsOpen() && FTCPClient->ReadyForRequest()) return true;
  if (FPort <= 0 || FPort > 0xFFFF) return false;
  return FTCPClient->Connect(Utf16ToUtf8(FHost), static_cast<uint16_t>(FPort),
                             TimeOut > 0 ? TimeOut : kDefaultConnectTimeOut);
}

bool TVKSDKTCPClient::ExecData(uint8_t ProcType, int32_t DataType, int32_t TimeOut, int32_t Count, int32_t Start,
                               const TVKBytesDynArray& Datas) {
  if (Count < 0 || Start < 0 || static_cast<size_t>(Start) + static_cast<size_t>(Count) > Datas.size()) {
    return false;
  }
  uint64_t length = 0;
  for (int32_t i = Start; i < Start + Count; ++i) length += Datas[i].size();
  if (length > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
  FSourceStream.clear();
  FSourceStream.reserve(8 + length);
  PutLE(FSourceStream, static_cast<uint32_t>(length), 4);
  PutLE(FSourceStream, ProcType, 2);
  PutLE(FSourceStream, static_cast<uint32_t>(DataType), 2);
  for (int32_t i = Start; i < Start + Count; ++i) {
    FSourceStream.insert(FSourceStream.end(), Datas[i].begin(), Datas[i].end());
  }
  return Exchange(ProcType, DataType, TimeOut, nullptr);
}

bool TVKSDKTCPClient::ExecFile(uint8_t ProcType, int32_t DataType, int32_t, const TVKBytes& Data) {
  TVKBytesDynArray record(1, FileNameField(FFileName));
  record[0].insert(record[0].end(), Data.begin(), Data.end());
  return ExecData(ProcType, DataType, 5000, 1, 0, record);
}

bool TVKSDKTCPClient::GetData(uint8_t ProcType, int32_t DataType, int32_t TimeOut, TVKBytes& Stream,
                              const TVKBytes& Data) {
  Stream.clear();
  const TVKBytes nameField = IsFileDataType(DataType) ? FileNameField(FFileName) : TVKBytes();
  const TVKBytes& payload = IsFileDataType(DataType) ? nameField : Data;
  if (payload.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  FSourceStream.clear();
  FSourceStream.reserve(8 + payload.size());
  PutLE(FSourceStream, static_cast<uint32_t>(payload.size()), 4);
  PutLE(FSourceStream, ProcType, 2);
  PutLE(FSourceStream, static_cast<uint32_t>(DataType), 2);
  FSourceStream.insert(FSourceStream.end(), payload.begin(), payload.end());
  return Exchange(ProcType, DataType, TimeOut, &Stream);
}

VK_CATCHES_THREAD_CANCELLATION bool TVKSDKTCPClient::Exchange(uint8_t ProcType, int32_t DataType, int32_t TimeOut,
                                                              TVKBytes* reply) {
  try {
    return ExchangeImpl(ProcType, DataType, TimeOut, reply);
  } catch (const platform::ThreadCancellation&) {
    throw;
  } catch (...) {
    // Out of memory or a socket setup failure: the request failed.
  }
  try {
    Disconnect();
  } catch (...) {
  }
  if (reply) reply->clear();
  return false;
}

bool TVKSDKTCPClient::ExchangeImpl(uint8_t, int32_t, int32_t TimeOut, TVKBytes* reply) {
  if (!EnsureConnected(TimeOut)) return false;
  TcpConnection& conn = *FTCPClient;
  const auto fail = [&] {
    conn.Close();
    if (reply) reply->clear();
    return false;
  };
  if (conn.Write(FSourceStream.data(), FSourceStream.size(), FReplyTimeOut) != TcpConnection::Io::Ok) return fail();
  uint8_t head[8];
  if (conn.ReadExact(head, sizeof head, FReplyTimeOut) != TcpConnection::Io::Ok) return fail();
  const int32_t length = GetLE32(head);
  const int32_t result = GetLE32(head + 4);
  // The length is the device's word only: it is bounded before anything is
  // read, and the payload buffer grows with what really arrives.
  if (length < 0 || length > kMaxReplyLength) return fail();
  constexpr size_t kPiece = size_t{64} << 10;
  TVKBytes scratch;
  size_t have = 0;
  while (have < static_cast<size_t>(length)) {
    const size_t n = std::min(kPiece, static_cast<size_t>(length) - have);
    uint8_t* dst;
    if (reply) {
      reply->resize(have + n);
      dst = reply->data() + have;
    } else {
      scratch.resize(n);
      dst = scratch.data();
    }
    size_t got = 0;
    if (conn.ReadSome(dst, n, FReplyTimeOut, got) != TcpConnection::Io::Ok) return fail();
    have += got;
    if (reply) reply->resize(have);
  }
  return result == 0;
}

}  // namespace vk
