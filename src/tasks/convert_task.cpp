#include "tasks/convert_task.h"

#include "data/numbers.h"
#include "data/text_file.h"
#include "runtime/sysparams.h"
#include "tasks/custom_protocol.h"
#include "tasks/protocol_registry.h"
#include "tasks/task_files.h"

namespace vk {

namespace {

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

// The value of the first pair whose name matches (ASCII case folded).
bool FindValue(std::u16string_view text, std::u16string_view name, std::u16string_view& value) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(u",;\r\n", start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view pair = text.substr(start, end - start);
    size_t eq = pair.find(u'=');
    if (eq != std::u16string_view::npos && SameFieldName(Trim(pair.substr(0, eq)), name)) {
      value = Trim(pair.substr(eq + 1));
      return true;
    }
    start = end + 1;
  }
  return false;
}

int32_t ReadInt(std::u16string_view text, std::u16string_view name, int32_t def) {
  std::u16string_view v;
  return FindValue(text, name, v) ? StrToIntDef(v, def) : def;
}

// The exponent of a multiple that is a power of ten from 1 to 10^9, -1 for
// any other value.
int PowerOfTenExponent(int32_t multiple) {
  int64_t v = 1;
  for (int exponent = 0; exponent <= 9; ++exponent, v *= 10)
    if (v == multiple) return exponent;
  return -1;
}

}  // namespace

bool ConvertDeviceRawData(std::u16string_view DeviceInfo, TVKSDKDeviceRawData& raw) {
  // Weights have no old default to fall back on: a multiple that is not a
  // power of ten would write every weight wrongly, so it is refused.
  int weightExponent = 0;
  if (std::u16string_view v; FindValue(DeviceInfo, u"WeightMultiple", v)) {
    weightExponent = PowerOfTenExponent(StrToIntDef(v, 0));
    if (weightExponent < 0) return false;
  }
  const uint32_t codePage = static_cast<uint32_t>(ReadInt(DeviceInfo, u"CodePage", 936));
  const int32_t lfCodeLen = ReadInt(DeviceInfo, u"LFCodeLen", 8);
  uint8_t exponent;
  switch (ReadInt(DeviceInfo, u"UnitPriceMultiple", 100)) {
    case 1: exponent = 0; break;
    case 10: exponent = 1; break;
    case 1000: exponent = 3; break;
    default: exponent = 2; break;
  }
  raw = TVKSDKDeviceRawData();
  raw.PeerIP = 0;
  raw.PeerPort = 5002;
  raw.ProtocolType = ptHecr;
  raw.SetCodePage(codePage);
  raw.SetLFCodeLen(static_cast<uint8_t>(lfCodeLen));
  raw.SetPriceExponent(exponent);
  raw.SetWeightExponent(static_cast<uint8_t>(weightExponent));
  return true;
}

VKSDK_TASK ExecConvertTask(std::u16string_view DeviceInfo, uint32_t ProtocolType, uint8_t ProcType,
                           int32_t DataType, int32_t DataID, std::u16string_view FileName,
                           std::u16string_view AuxFileName, uint32_t AuxCodePage, uint32_t OutputFileType,
                           TVKSDKOnProgressEvent OnProgress, void* UserData) {
  if ((ProtocolType & 0xFF) == ptPecr) return VKSDK_INVALID_TASK;
  // Only the two directions exist; anything else would open the text file
  // and truncate the caller's binary file before failing.
  if ((ProcType != VKSDK_PROC_DOWNLOAD && ProcType != VKSDK_PROC_UPLOAD) || AuxFileName.empty()) {
    if (OnProgress) OnProgress(VKSDK_ERR_UNSUPPORTED, 0, 0, UserData);
    return VKSDK_INVALID_TASK;
  }
  // A name that is only a code-page suffix ("?1200") names no file; it must
  // not turn the conversion into a device task.
  for (std::u16string_view name : {FileName, AuxFileName}) {
    std::u16string bare;
    uint32_t codePage = 0;
    bool hasSuffix = false;
    SplitFileNameCodePage(name, bare, codePage, hasSuffix);
    if (bare.empty()) {
      if (OnProgress) OnProgress(VKSDK_ERR_OPEN_FILE, 0, 0, UserData);
      return VKSDK_INVALID_TASK;
    }
  }
  TVKTaskCreateArgs a;
  if (!ConvertDeviceRawData(DeviceInfo, a.RawData)) {
    if (OnProgress) OnProgress(VKSDK_ERR_UNSUPPORTED, 0, 0, UserData);
    return VKSDK_INVALID_TASK;
  }
  // Conversions leave debug files too, so a host that only converts still
  // has its old ones purged.
  if (SysParams().OutputDebug || SysParams().OutputLog > 0) PurgeDebugDirectory();
  a.UserData = UserData;
  a.OnProgress = OnProgress;
  a.OutputFileType = OutputFileType;
  a.AuxCodePage = AuxCodePage;
  a.AuxFileName.assign(AuxFileName);
  a.FileName.assign(FileName);
  a.DataID = DataID;
  a.DataType = DataType;
  a.ProcType = ProcType;
  a.Port = 5002;
  a.Addr = u"0.0.0.0";
  return ProtocolClassOf(ptHecr)->Create(a)->Start();
}

}  // namespace vk
