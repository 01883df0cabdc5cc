// The HTTP link: every request is one POST to "/" of the device, whose
// custom headers (all "WD_...") say what kind of request it is and whose
// body carries the payload (SQL text or a file). The device answers with a
// "WD_RETURN" header that is "SUCCESS" exactly when the request succeeded,
// and, for queries, a body.
//
// The headers set by SetSQLProcHeader or SetFileProcHeader stay for every
// following request until one of them is called again; only "WD_TASKTYPE"
// changes per request. Header values go out as UTF-8.
//
// HTTP/1.1 with a kept connection: a kept connection that turns out closed
// before any byte of the reply arrived is opened anew and the request sent
// once more. Time-outs: connecting FConnectTimeOut ms (default 5 s); every
// piece of the request must go out, and every piece of the reply arrive,
// within FReadTimeOut ms (default 30 s). The reply's head and body are
// bounded by FLimits. Any failure (connect, time-out, a status other than
// 2xx, an unreadable reply) is false; nothing throws.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "transport/http_message.h"
#include "transport/link_base.h"

namespace vk {

class TcpConnection;

class TVKSDKHTTPClient : public TVKSDKLinkBase {
 public:
  static constexpr int32_t kDefaultConnectTimeOut = 5000;
  static constexpr int32_t kDefaultReadTimeOut = 30000;

  struct TCustomHeader {
    std::string Name;
    std::u16string Value;
  };

  TVKSDKHTTPClient();
  ~TVKSDKHTTPClient() override;

  // Clears the custom headers, then adds "WD_MESSAGE" (the text of the file
  // "Source" beside the host program, when it has any), "WD_CLASSNAME"
  // "SQLiteProc" and "WD_PROCTYPE" (99 for ProcType 0, 2, 3; 258 for 1; 98
  // for 16; none for others).
  void SetSQLProcHeader(uint8_t ProcType) override;
  // Clears the custom headers, then adds "WD_CLASSNAME" "FileProc",
  // "WD_PROCTYPE" (COVER 0, GET 1, DELETE 3, LIST 4, ClearImg 6; none for
  // others), "WD_DIRNAME" and "WD_FILENAME".
  void SetFileProcHeader(uint8_t ProcType, std::u16string_view DirName, std::u16string_view FileName) override;
  // One POST of the joined arrays; TimeOut is not used (see above).
  bool ExecData(uint8_t ProcType, int32_t DataType, int32_t TimeOut, int32_t Count, int32_t Start,
                const TVKBytesDynArray& Datas) override;
  bool ExecFile(uint8_t ProcType, int32_t DataType, int32_t Unused, const TVKBytes& Data) override;
  // The reply body goes to Stream (kept when the device reports failure;
  // empty when no reply could be read).
  bool GetData(uint8_t ProcType, int32_t DataType, int32_t TimeOut, TVKBytes& Stream, const TVKBytes& Data) override;
  void Disconnect() override;

  const std::vector<TCustomHeader>& CustomHeaders() const { return FHeaders; }

  // The expected size of the current transfer (request body while sending,
  // the reply's Content-Length while receiving, 0 when not known).
  int64_t WorkCountMax = 0;
  int32_t FConnectTimeOut = kDefaultConnectTimeOut;
  int32_t FReadTimeOut = kDefaultReadTimeOut;
  HttpLimits FLimits;
  // Where the "Source" file is looked for; empty: the host program's
  // directory.
  std::filesystem::path FSourceDir;

 private:
  void SetHeader(const std::string& Name, std::u16string Value);
  std::u16string SourceText() const;
  // POSTs FSourceStream; the reply body goes to `body` (null: dropped).
  bool Post(uint8_t ProcType, int32_t DataType, TVKBytes* body);
  bool PostImpl(uint8_t ProcType, int32_t DataType, TVKBytes* body);
  void Progress(int64_t count);

  std::vector<TCustomHeader> FHeaders;
  std::unique_ptr<TcpConnection> FHTTPClient;
  TVKBytes FSourceStream;  // the request body
};

}  // namespace vk
