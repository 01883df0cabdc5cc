#include "sdk/discovery_api.h"

#include <filesystem>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/file_stream.h"
#include "tasks/custom_protocol.h"
#include "tasks/discovery.h"
#include "tasks/task_files.h"

namespace vk::sdk {

namespace {
constexpr int32_t kDefault = -1;
constexpr int32_t kListCapacity = 256;
}  // namespace

void GetDeviceInfo(TVKSDKDeviceInfo& info, uint32_t Addr, uint32_t Port, uint32_t ProtocolType, int32_t TimeOut,
                   int32_t TryCount) {
  if (TryCount < 0) TryCount = kDefault;
  info = vk::GetDeviceInfo(IntegerToIPAddress(Addr), static_cast<uint16_t>(Port), ProtocolType & 0xFF, TimeOut,
                           TryCount);
}

uint32_t GetDeviceType(uint32_t Addr, uint32_t Port) {
  TVKSDKDeviceInfo info{};
  GetDeviceInfo(info, Addr, Port, 0, kDefault, kDefault);
  if (info.ProtocolType == ptHecr) {
    // Hecr scales of old firmware (or marked "*") are driven as Pecr.
    if (info.DefaultProtocol == 0x2A) return ptPecr;
    if (info.Version <= 24983 && info.DefaultProtocol == 0 &&
        !isM3Mode(IntegerToIPAddress(info.Addr), static_cast<uint16_t>(info.Port), nullptr))
      return ptPecr;
  }
  return info.ProtocolType;
}

int32_t GetNetworkSectionDevicesInfo(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, TVKSDKDeviceInfo* infos,
                                     int32_t Count, int32_t TimeOut) {
  if (!infos || Count <= 0) return 0;
  return vk::GetDevicesInfo(IntegerToIPAddress(Addr), static_cast<uint16_t>(Port), ProtocolType & 0xFF, infos, Count,
                            TimeOut);
}

int32_t GetNetworkSectionDeviceList(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, int32_t TimeOut,
                                    const std::u16string& FileName) {
  std::u16string name;
  uint32_t codePage = 0;
  bool hasSuffix = false;
  SplitFileNameCodePage(FileName, name, codePage, hasSuffix);
  std::filesystem::path path(name);
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  auto file = TVKFileStream::Create(path);
  if (!file) return -1;
  WriteFileBom(*file, codePage);

  std::vector<TVKSDKDeviceInfo> found(kListCapacity);
  int32_t n = vk::GetDevicesInfo(IntegerToIPAddress(Addr), static_cast<uint16_t>(Port), ProtocolType & 0xFF,
                                 found.data(), kListCapacity, TimeOut);
  // Addresses separated by an empty line; the file ends with one line end.
  for (int32_t i = 0; i < n; ++i) {
    std::u16string line = IntegerToIPAddress(found[i].Addr) + u"\r\n";
    if (i + 1 < n) line += u"\r\n";
    TVKBytes bytes = StringToCodePageBytes(line, codePage);
    if (!file->Write(bytes.data(), bytes.size())) return -1;
  }
  if (!file->Flush()) return -1;
  return n;
}

}  // namespace vk::sdk
