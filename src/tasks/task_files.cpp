#include "tasks/task_files.h"

#include "data/text_file.h"
#include "device/device_header.h"
#include "runtime/debug_list.h"
#include "runtime/debug_output.h"
#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "tasks/custom_protocol.h"
#include "tasks/discovery.h"

namespace vk {

namespace fs = std::filesystem;

std::u16string BuildTaskBaseFileName(const TVKSDKExecParams& p, TDateTime start, VKSDK_TASK number) {
  return BuildBaseFileName(p.Addr, start, number, p.ProcType, p.DataType);
}

void WriteTaskHeaders(TVKSDKCustomProtocol& task, const TVKDebugList* detectionLines) {
  TVKSDKExecParams& p = *task.GetPExecParams();
  if (!p.DebugList && !p.LogList) return;
  TVKTaskHeaderInfo info;
  info.Addr = p.Addr;
  info.Port = p.Port;
  info.ClassName = task.ClassName();
  info.ProcType = p.ProcType;
  info.DataType = p.DataType;
  info.DataID = p.DataID;
  info.FileName = p.FileName;
  SetHeaderDevice(info, p.DeviceRawData, DeviceRawDataToInfo(p.DeviceRawData));
  if (p.LogList) WriteTaskHeader(*p.LogList, info);
  if (p.DebugList) {
    WriteTaskHeader(*p.DebugList, info);
    if (detectionLines) AppendDetectionLines(*p.DebugList, *detectionLines);
  }
}

void SaveTaskEndFiles(TVKSDKCustomProtocol& task) {
  TVKSDKExecParams& p = *task.GetPExecParams();
  TVKTaskFiles f;
  f.DebugList = p.DebugList.get();
  f.LogList = p.LogList.get();
  f.OutputLog = p.OutputLog;
  f.DebugDir = fs::path(SysParams().DebugDir);
  f.BaseFileName = task.BaseFileName;
  f.StartTime = task.BaseDatetime;
  f.Failed = p.isFailed;
  f.ErrorCode = p.nErrorCode;
  f.ProcType = p.ProcType;
  f.FileName = fs::path(p.FileName);
  SaveTaskFiles(f);
}

void CopyUploadFileToDebugDir(TVKSDKCustomProtocol& task) {
  const TVKSDKExecParams& p = *task.GetPExecParams();
  CopyUploadFile(fs::path(SysParams().DebugDir), task.BaseFileName, fs::path(p.FileName), task.BaseDatetime);
}

uint32_t DetectFileBom(const fs::path& file) { return GetFileEncodingType(file); }

void WriteFileBom(TVKFileStream& s, uint32_t codePage) { WriteStreamHeader(s, codePage); }

void PurgeDebugDirectory() {
  const TVKSDKSysParams& sp = SysParams();
  PurgeOldDebugFiles(fs::path(sp.DebugDir), sp.DebugDays);
}

void WriteDetectionFailureFile(const TVKDebugList& lines, std::u16string_view addr, uint16_t port,
                               uint32_t protocolType, uint8_t procType, int32_t dataType, int32_t dataID,
                               std::u16string_view fileName) {
  TVKDetectionFailure f;
  f.Addr.assign(addr);
  f.Port = port;
  f.ProtocolType = static_cast<uint8_t>(protocolType);
  f.ProcType = procType;
  f.DataType = dataType;
  f.DataID = dataID;
  f.FileName.assign(fileName);
  WriteDetectionFailure(lines, f);
}

uint32_t IPAddressToInteger(std::u16string_view addr) { return IPToInteger(addr); }

std::u16string IntegerToIPAddress(uint32_t addr) { return IntegerToIP(addr); }

}  // namespace vk
