// The link of the SQL-table scales: one object that carries one request (an
// operation code, a data type and a payload) to the device and brings back
// whether it succeeded and, for queries, the reply. Two links share these
// operations: the framed TCP link (tcp_client.h) and the HTTP link
// (http_client.h). A link belongs to one task's item and is used only by
// that task's thread. No operation throws: every failure is false.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/debug_list.h"
#include "runtime/types.h"

namespace vk {

class TVKSDKLinkBase {
 public:
  // Progress of a transfer: bytes so far and the expected total (0 when
  // not known).
  using TWorkEvent = std::function<void(int32_t WorkCount, int32_t WorkCountMax)>;

  TVKSDKLinkBase() = default;
  virtual ~TVKSDKLinkBase() = default;
  TVKSDKLinkBase(const TVKSDKLinkBase&) = delete;
  TVKSDKLinkBase& operator=(const TVKSDKLinkBase&) = delete;

  // Prepares the request header of an SQL request (nothing in the base).
  virtual void SetSQLProcHeader(uint8_t /*ProcType*/) {}
  // Prepares the header of a file request (nothing in the base).
  virtual void SetFileProcHeader(uint8_t /*ProcType*/, std::u16string_view /*DirName*/,
                                 std::u16string_view /*FileName*/) {}
  // Sends Datas[Start] .. Datas[Start + Count - 1] as one request; true
  // when the device reports success. A range outside Datas is false.
  virtual bool ExecData(uint8_t /*ProcType*/, int32_t /*DataType*/, int32_t /*TimeOut*/, int32_t /*Count*/,
                        int32_t /*Start*/, const TVKBytesDynArray& /*Datas*/) {
    return false;
  }
  // Sends one file's content. The third argument is read by neither link.
  virtual bool ExecFile(uint8_t /*ProcType*/, int32_t /*DataType*/, int32_t /*Unused*/, const TVKBytes& /*Data*/) {
    return false;
  }
  // Sends Data as a request and puts the reply payload in Stream.
  virtual bool GetData(uint8_t /*ProcType*/, int32_t /*DataType*/, int32_t /*TimeOut*/, TVKBytes& /*Stream*/,
                       const TVKBytes& /*Data*/) {
    return false;
  }
  // Closes the link's connection; the next request opens a new one.
  virtual void Disconnect() = 0;

  void SetHost(std::u16string_view Host) { FHost = Host; }
  void SetPort(int32_t Port) { FPort = Port; }

  int32_t FPort = 0;        // the device's TCP port
  std::u16string FHost;     // the device's dotted address
  TWorkEvent FOnWorkEvent;  // called by the HTTP link while a transfer progresses
  TVKDebugList* DebugList = nullptr;  // the task's debug list, or null
};

}  // namespace vk
