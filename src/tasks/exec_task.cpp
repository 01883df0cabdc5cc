#include "tasks/exec_task.h"

#include <string>

#include "runtime/debug_list.h"
#include "runtime/sysparams.h"
#include "tasks/data_types.h"
#include "tasks/discovery.h"
#include "tasks/protocol_registry.h"
#include "tasks/task_files.h"
#include "transport/udp_socket.h"

namespace vk {

namespace {

constexpr int32_t kDefault = -1;

// Dotted text whose fourth part is "255": a whole segment, not one device.
bool IsSegmentAddress(std::u16string_view addr) {
  int dots = 0;
  size_t last = 0;
  for (size_t i = 0; i < addr.size(); ++i)
    if (addr[i] == u'.') {
      ++dots;
      last = i + 1;
    }
  return dots == 3 && addr.substr(last) == u"255";
}

// A second question during detection; an empty answer keeps the first one,
// since the device did answer.
void Requery(TVKSDKDeviceRawData& raw, std::u16string_view addr, uint16_t port, uint32_t protocolType,
             TVKDebugList& lines) {
  TVKSDKDeviceRawData again = GetDeviceRawData(addr, port, protocolType, true, kDefault, kDefault, &lines);
  if (again.IsEmpty()) {
    lines.Add("Re-detection as protocol type " + std::to_string(protocolType) +
              " got no answer; keeping the first answer.");
    return;
  }
  raw = again;
}

VKSDK_TASK CreateTask(const TVKProtocolClass& cls, const TVKSDKDeviceRawData& raw, const TVKDebugList* lines,
                      std::u16string_view addr, uint16_t port, uint8_t procType, int32_t dataType, int32_t dataID,
                      std::u16string_view fileName, TVKSDKOnProgressEvent onProgress, void* userData) {
  TVKTaskCreateArgs a;
  a.RawData = raw;
  a.DetectionLines = lines;
  a.UserData = userData;
  a.OnProgress = onProgress;
  a.FileName.assign(fileName);
  a.DataID = dataID;
  a.DataType = dataType;
  a.ProcType = procType;
  a.Port = port;
  a.Addr.assign(addr);
  TVKSDKCustomProtocol* task = cls.Create(a);
  return task->Start();
}

}  // namespace

VKSDK_TASK ExecTask(std::u16string_view Addr, uint16_t Port, uint8_t ProtocolType, uint8_t ProcType,
                    int32_t DataType, int32_t DataID, std::u16string_view FileName,
                    TVKSDKOnProgressEvent OnProgress, void* UserData) {
  const TVKSDKSysParams& sp = SysParams();
  const bool anyOutput = sp.OutputDebug || sp.OutputLog > 0;
  if (anyOutput) PurgeDebugDirectory();

  TVKDebugList lines;

  // The address names a device and also starts the task's file names, so
  // only a dotted IPv4 address is taken: other text (a path, say) would
  // place files outside the debug directory. The failure file is named for
  // no address.
  if (uint32_t ip = 0; !ParseDottedIPv4(Utf16ToUtf8(Addr), ip)) {
    lines.Add(u"Address " + std::u16string(Addr) + u" is not an IPv4 address.");
    if (OnProgress) OnProgress(VKSDK_ERR_NO_REPLY, 0, 0, UserData);
    if (anyOutput)
      WriteDetectionFailureFile(lines, u"0.0.0.0", Port, ProtocolType, ProcType, DataType, DataID, FileName);
    return VKSDK_INVALID_TASK;
  }

  // Tables that only one family has go to that family without detection,
  // on its usual port.
  if (const TVKDataTypeRow* row = AnyDataTypeRow(DataType); HasFlag(row, dtNoDetection)) {
    TVKSDKDeviceRawData raw;
    raw.PeerIP = IPAddressToInteger(Addr);
    raw.PeerPort = row->Family == ptPecr ? 5001 : 5002;
    raw.ProtocolType = row->Family;
    return CreateTask(*ProtocolClassOf(raw.ProtocolType), raw, nullptr, Addr, static_cast<uint16_t>(raw.PeerPort),
                      ProcType, DataType, DataID, FileName, OnProgress, UserData);
  }

  if (sp.DetectProtocol) ProtocolType = 0;

  TVKSDKDeviceRawData raw;
  if (IsSegmentAddress(Addr)) {
    // A task talks to one device; acknowledgements from a whole segment
    // cannot tell which scale took the data.
    lines.Add(u"Address " + std::u16string(Addr) + u" names a network segment, not a single device.");
  } else {
    raw = GetDeviceRawData(Addr, Port, ProtocolType, IsDetectableType(ProtocolType), kDefault, kDefault, &lines);
  }

  if (raw.ProtocolType == ptHecr && !IsShelfSystemDevice(raw)) {
    const TVKDataTypeRow* row = DataTypeRow(ptHecr, DataType);
    if (raw.TSecrCapable() && !HasFlag(row, dtNoTSecrRequery))
      Requery(raw, Addr, Port, ptTSecr, lines);
    if (raw.ProtocolType == ptHecr) {
      TVKSDKDeviceInfo info = DeviceRawDataToInfo(raw);
      const bool prefersPecr =
          (info.Version <= 24983 && info.DefaultProtocol == 0 &&
           !isM3Mode(IntegerToIPAddress(info.Addr), static_cast<uint16_t>(info.Port), &lines)) ||
          info.DefaultProtocol == 0x2A;
      if (prefersPecr && !HasFlag(row, dtNoPecrRequery) && !(HasFlag(row, dtNoPecrRequeryById) && DataID == 1))
        Requery(raw, Addr, Port, ptPecr, lines);
    }
  }

  const TVKProtocolClass* cls = ProtocolClassOf(raw.ProtocolType);
  if (!cls) {
    const uint32_t code = ProtocolType <= 3 ? VKSDK_ERR_NO_REPLY : VKSDK_ERR_NO_DEVICE_TYPE;
    if (OnProgress) OnProgress(code, 0, 0, UserData);
    if (anyOutput)
      WriteDetectionFailureFile(lines, Addr, Port, ProtocolType, ProcType, DataType, DataID, FileName);
    return VKSDK_INVALID_TASK;
  }
  return CreateTask(*cls, raw, &lines, Addr, static_cast<uint16_t>(raw.PeerPort), ProcType, DataType, DataID,
                    FileName, OnProgress, UserData);
}

}  // namespace vk
