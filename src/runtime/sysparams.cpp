// The INI file beside the library (or the one VEMKASDK_INI names) read into
// the process-wide parameter record.
#include "runtime/sysparams.h"

#include <atomic>
#include <mutex>
#include <system_error>

#include "runtime/ini_file.h"
#include "runtime/platform.h"

namespace vk {

namespace {

// Built on first use: the library's load-time initializer (in another
// translation unit) may run before this file's globals are constructed.
TVKSDKSysParams& Params() {
  static TVKSDKSysParams params;
  return params;
}
std::atomic<bool> g_loaded{false};
std::once_flag g_once;

std::u16string UpperAscii(std::u16string s) {
  for (auto& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return s;
}

// Where the parameters come from when no file is named: the file that
// VEMKASDK_INI names (hosts install the library read-only, and tests need
// settings per process), else the library's path with the extension ".ini".
std::filesystem::path DefaultParamFile() {
  std::string env = platform::GetEnv("VEMKASDK_INI");
  if (!env.empty()) return std::filesystem::path(Utf8ToUtf16(env));
  std::filesystem::path p = platform::LibraryPath();
  p.replace_extension(".ini");
  return p;
}

}  // namespace

std::filesystem::path LibraryDirectory() { return platform::LibraryPath().parent_path(); }

int32_t LoadSysParams(const std::filesystem::path& FileName) {
  std::filesystem::path file = FileName;
  std::error_code ec;
  bool exists = false;
  if (!file.empty()) {
    if (!std::filesystem::is_regular_file(file, ec)) return -1;
    exists = true;
  } else {
    file = DefaultParamFile();
    exists = std::filesystem::is_regular_file(file, ec);
  }

  const TVKIniFile ini = exists ? TVKIniFile(file) : TVKIniFile();
  TVKSDKSysParams p;  // the defaults
  auto sysInt = [&](const char16_t* key, int32_t& v) { v = ini.ReadInteger(u"System", key, v); };
  auto sysBool = [&](const char16_t* key, bool& v) { v = ini.ReadBool(u"System", key, v); };
  auto fnBool = [&](const char16_t* key, bool& v) { v = ini.ReadBool(u"Function", key, v); };
  auto fnStr = [&](const char16_t* key, std::u16string& v) { v = ini.ReadString(u"Function", key, v); };

  sysInt(u"SyncTimeOut", p.SyncTimeOut);
  sysInt(u"SyncTryCount", p.SyncTryCount);
  sysInt(u"GetDeviceTimeOut", p.GetDeviceTimeOut);
  sysInt(u"GetDeviceTryCount", p.GetDeviceTryCount);
  sysInt(u"ClearDataTimeOut", p.ClearDataTimeOut);
  sysInt(u"ClearDataTryCount", p.ClearDataTryCount);
  sysInt(u"UpdateFirmwareTimeOut", p.UpdateFirmwareTimeOut);
  sysInt(u"UpdateFirmwareTryCount", p.UpdateFirmwareTryCount);
  sysBool(u"OutputDebug", p.OutputDebug);
  sysInt(u"OutputLog", p.OutputLog);
  sysInt(u"DebugDays", p.DebugDays);
  p.DebugDir = ini.ReadString(u"System", u"DebugDir", u"");
  fnBool(u"ExpandName1", p.ExpandName1);
  fnStr(u"ForceBarcode1", p.ForceBarcode1);
  fnBool(u"Minus2Delete", p.Minus2Delete);
  fnStr(u"ForceFlag1", p.ForceFlag1);
  fnStr(u"ForceFlag2", p.ForceFlag2);
  fnStr(u"ForceFlag3", p.ForceFlag3);
  fnStr(u"ForceProducedDateRule", p.ForceProducedDateRule);
  fnStr(u"ForceFreshnessDateFrom", p.ForceFreshnessDateFrom);
  fnStr(u"ForceValidDateFrom", p.ForceValidDateFrom);
  fnStr(u"ForcePackageDateFrom", p.ForcePackageDateFrom);
  fnBool(u"ClearHotkey4TS", p.ClearHotkey4TS);
  fnBool(u"ClearGroup4TS", p.ClearGroup4TS);
  fnBool(u"TrimPLUID4TS", p.TrimPLUID4TS);
  fnBool(u"TrimPLUCode4TS", p.TrimPLUCode4TS);
  fnBool(u"AutoSyncTime", p.AutoSyncTime);
  fnStr(u"Customer", p.Customer);
  p.Customer = UpperAscii(p.Customer);
  fnBool(u"WeightUseg", p.WeightUseg);
  fnBool(u"SaleRecordUseg", p.SaleRecordUseg);
  fnBool(u"DetectProtocol", p.DetectProtocol);
  p.OldM3Mode = ini.ReadString(u"System", u"OldM3Mode", u"");
  p.KM40ACP = 0;
  // A 32-bit code page number; the INI value is read as a signed integer.
  // Absent or 0 (which would have to mean itself): the system's choice.
  p.AnsiCodePage =
      static_cast<uint32_t>(ini.ReadInteger(u"System", u"AnsiCodePage", static_cast<int32_t>(p.AnsiCodePage)));
  if (p.AnsiCodePage == 0) p.AnsiCodePage = syscp::DefaultAnsiCodePage();

  if (p.DebugDir.empty()) p.DebugDir = (LibraryDirectory() / "vemkasdk_log").u16string();
  if (p.OutputDebug || p.OutputLog > 0) std::filesystem::create_directories(std::filesystem::path(p.DebugDir), ec);

  p.ParamFile = file;
  p.ParamFileExists = exists;
  Params() = std::move(p);
  g_loaded.store(true, std::memory_order_release);
  return 0;
}

const TVKSDKSysParams& SysParams() {
  if (!g_loaded.load(std::memory_order_acquire)) std::call_once(g_once, [] {
      if (!g_loaded.load(std::memory_order_acquire)) LoadSysParams();
    });
  return Params();
}

}  // namespace vk
