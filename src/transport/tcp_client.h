// The framed TCP link. A request is an 8-byte head (payload length as a
// signed 32-bit value, ProcType and the low 16 bits of DataType as 16-bit
// values, all little-endian) and the payload; the reply is its length
// (signed 32-bit), a result code (signed 32-bit, 0 = success) and that many
// bytes of payload.
//
// The connection opens on the first request, within that request's TimeOut
// (milliseconds), and stays open for the following ones. A kept connection
// that the device has closed meanwhile is opened anew before the request
// goes out. Every failure (connect, send, a reply that stalls, a reply
// length below 0 or above kMaxReplyLength) closes the connection, so the
// next request starts on a frame boundary.
//
// Time-outs: the reply must make progress within FReplyTimeOut ms (default
// kDefaultReplyTimeOut, 30 s) for each piece that arrives, and every piece
// of the request must go out within the same time. A TimeOut of 0 or less
// connects within kDefaultConnectTimeOut (5 s).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport/link_base.h"

namespace vk {

class TcpConnection;

class TVKSDKTCPClient : public TVKSDKLinkBase {
 public:
  static constexpr int32_t kDefaultReplyTimeOut = 30000;
  static constexpr int32_t kDefaultConnectTimeOut = 5000;
  static constexpr int32_t kMaxReplyLength = int32_t{256} << 20;
  // Bytes of the file-name field that leads a file record.
  static constexpr size_t kFileNameBytes = 32;

  TVKSDKTCPClient();
  ~TVKSDKTCPClient() override;

  // Stores FileName for the file records; the other arguments are unused.
  void SetFileProcHeader(uint8_t ProcType, std::u16string_view DirName, std::u16string_view FileName) override;
  bool ExecData(uint8_t ProcType, int32_t DataType, int32_t TimeOut, int32_t Count, int32_t Start,
                const TVKBytesDynArray& Datas) override;
  // One record: the file-name field and Data, sent by ExecData with a
  // 5000 ms connect time-out.
  bool ExecFile(uint8_t ProcType, int32_t DataType, int32_t Unused, const TVKBytes& Data) override;
  // For the file data types (4096..8191) the payload is the file-name field
  // alone, whatever Data holds. A non-zero result code still leaves the
  // reply payload in Stream; any other failure leaves Stream empty.
  bool GetData(uint8_t ProcType, int32_t DataType, int32_t TimeOut, TVKBytes& Stream, const TVKBytes& Data) override;
  void Disconnect() override;

  // The file-name field: FileName in UTF-8, cut after 32 bytes or padded
  // with zero bytes to 32.
  static TVKBytes FileNameField(std::u16string_view FileName);

  int32_t FReplyTimeOut = kDefaultReplyTimeOut;

 private:
  bool EnsureConnected(int32_t TimeOut);
  // Sends one request frame and reads the reply; the payload goes to
  // `reply` (null: read and dropped). Closes the connection on failure.
  bool Exchange(uint8_t ProcType, int32_t DataType, int32_t TimeOut, TVKBytes* reply);
  bool ExchangeImpl(uint8_t ProcType, int32_t DataType, int32_t TimeOut, TVKBytes* reply);

  std::unique_ptr<TcpConnection> FTCPClient;
  std::u16string FFileName;
  TVKBytes FSourceStream;  // the request frame being built
};

}  // namespace vk
