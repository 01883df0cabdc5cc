// Process-wide system parameters, read once from the INI file beside the
// library when it is loaded and constant afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "runtime/codepage_system.h"

namespace vk {

struct TVKSDKSysParams {
  int32_t SyncTimeOut = 3000;
  int32_t SyncTryCount = 5;
  int32_t GetDeviceTimeOut = 3000;
  int32_t GetDeviceTryCount = 3;
  int32_t ClearDataTimeOut = 20000;
  int32_t ClearDataTryCount = 3;
  int32_t UpdateFirmwareTimeOut = 10000;
  int32_t UpdateFirmwareTryCount = 10;
  bool OutputDebug = true;
  int32_t OutputLog = 2;
  int32_t DebugDays = 7;
  std::u16string DebugDir;
  bool ExpandName1 = false;
  std::u16string ForceBarcode1;
  bool Minus2Delete = false;
  std::u16string ForceFlag1;
  std::u16string ForceFlag2;
  std::u16string ForceFlag3;
  std::u16string ForceProducedDateRule;
  std::u16string ForceFreshnessDateFrom;
  std::u16string ForceValidDateFrom;
  std::u16string ForcePackageDateFrom;
  bool ClearHotkey4TS = true;
  bool ClearGroup4TS = true;
  bool TrimPLUID4TS = true;
  bool TrimPLUCode4TS = true;
  bool AutoSyncTime = true;
  std::u16string Customer;  // stored upper-cased
  bool WeightUseg = false;
  bool SaleRecordUseg = false;
  bool DetectProtocol = false;
  std::u16string OldM3Mode;
  int32_t KM40ACP = 0;
  // Ours: the code page that code page 0 and the A exports stand for
  // (System/AnsiCodePage; when absent UTF-8 on Linux, the system's ANSI code
  // page on Windows).
  uint32_t AnsiCodePage = syscp::DefaultAnsiCodePage();

  // Where the values came from (shown in every task header).
  std::filesystem::path ParamFile;
  bool ParamFileExists = false;
};

// The loaded parameters. The first call loads them if nothing has yet.
const TVKSDKSysParams& SysParams();

// Loads the parameters: with an empty path from VEMKASDK_INI when set, else
// from the library's own path with the extension ".ini". An explicit path
// that does not exist returns -1 and changes nothing; otherwise 0.
int32_t LoadSysParams(const std::filesystem::path& FileName = {});

// Directory of the library, and the library path itself.
std::filesystem::path LibraryDirectory();

}  // namespace vk
