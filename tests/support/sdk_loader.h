// Loads the built library (libvemkasdk.so, or VemkaSDK.dll) the way a host
// program does (dlopen and dlsym, or LoadLibrary and GetProcAddress, of the
// exported names). Each test process loads it once, after
// choosing its INI file through VEMKASDK_INI.
#pragma once

#include <filesystem>
#include <string>

#include "vemkasdk.h"

#define VKSDK_TEST_EXPORTS(X)                                                                       \
  X(Initialize) X(Finalize) X(GetLastTaskError) X(ExecTask) X(ExecTaskA) X(ExecTaskW) X(ExecTaskEx) \
  X(ExecTaskExA) X(ExecTaskExW) X(Sync_ExecTask) X(Sync_ExecTaskA) X(Sync_ExecTaskW)                 \
  X(Sync_ExecTask_PB) X(Sync_ExecTaskA_PB) X(Sync_ExecTaskW_PB) X(StopTask) X(WaitForTask)           \
  X(ExecConvertTask) X(ExecConvertTaskA) X(ExecConvertTaskW) X(Bin2TxtA) X(Txt2BinA)                 \
  X(GetDeviceType) X(GetDeviceInfo) X(GetDeviceInfoEx) X(GetDevicesInfo)                             \
  X(GetNetworkSectionDevicesInfo) X(GetNetworkSectionDevicesInfoEx) X(GetNetworkSectionDeviceList)   \
  X(GetNetworkSectionDeviceListA) X(GetNetworkSectionDeviceListW) X(OnlineSell)                      \
  X(PostOnlineSellData) X(PostOnlineSellDataW) X(PostOnlineSellDataA) X(OnlineMessage)               \
  X(OnlineMessageA) X(PostOnlineMessageResponse) X(PostOnlineMessageResponseA) X(OnlineHttpMessage)  \
  X(OnlineHttpMessageA) X(OnlineTcpMessage) X(OnlineTcpMessageA)

namespace vktest {

struct Sdk {
#define VKSDK_TEST_MEMBER_(name) decltype(&::VemkaSDK_##name) name = nullptr;
  VKSDK_TEST_EXPORTS(VKSDK_TEST_MEMBER_)
#undef VKSDK_TEST_MEMBER_
  void* handle = nullptr;
};

// A fresh directory under the system temp directory, removed at exit.
std::filesystem::path TempDir();

// Short time-outs, UTF-8 as the ANSI code page and a private debug directory,
// so tests stay quick, read alike everywhere and leave nothing in the build
// tree. Extra lines are appended to [System] or given with their own section headers.
std::string DefaultIni(const std::filesystem::path& debugDir, const std::string& extraSystem = "",
                       const std::string& extraSections = "");

// Writes the INI text into a temp file, points VEMKASDK_INI at it and loads
// the library (once per process; a second call with other text fails the
// test).
Sdk& LoadSdk(const std::string& iniText);
// LoadSdk with DefaultIni in a new temp directory; debugDir receives it.
Sdk& LoadSdkDefault(std::filesystem::path* debugDir = nullptr);

// UTF-16 literal helpers.
std::u16string U16(const std::string& utf8);

}  // namespace vktest
