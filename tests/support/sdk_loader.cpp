#include "support/sdk_loader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

#include "runtime/types.h"
#include "support/test_platform.h"

namespace vktest {

namespace fs = std::filesystem;

namespace {

std::mutex g_lock;
Sdk g_sdk;
std::string g_loadedIni;
bool g_loaded = false;

struct TempDirs {
  std::vector<fs::path> dirs;
  ~TempDirs() {
    if (std::getenv("VEMKA_KEEP_TEMP")) return;
    for (auto& d : dirs) {
      std::error_code ec;
      fs::remove_all(d, ec);
    }
  }
};
TempDirs g_temps;

}  // namespace

fs::path TempDir() {
  static std::atomic<int> counter{0};
  fs::path base = fs::temp_directory_path() / ("vemka-test-" + std::to_string(ProcessId()) + "-" +
                                               std::to_string(counter++));
  fs::create_directories(base);
  std::lock_guard<std::mutex> g(g_lock);
  g_temps.dirs.push_back(base);
  return base;
}

std::string DefaultIni(const fs::path& debugDir, const std::string& extraSystem, const std::string& extraSections) {
  return "[System]\n"
         "SyncTimeOut=300\n"
         "SyncTryCount=2\n"
         "GetDeviceTimeOut=200\n"
         "GetDeviceTryCount=1\n"
         "ClearDataTimeOut=300\n"
         "ClearDataTryCount=2\n"
         // Text files without a code page are UTF-8 on every platform (on
         // Windows the ANSI code page would otherwise be the system's).
         "AnsiCodePage=65001\n"
         "DebugDir=" + vk::Utf16ToUtf8(debugDir.u16string()) + "\n" + extraSystem + "\n" + extraSections;
}

Sdk& LoadSdk(const std::string& iniText) {
  std::lock_guard<std::mutex> g(g_lock);
  if (g_loaded) {
    EXPECT_EQ(g_loadedIni, iniText) << "the library is already loaded with another INI in this process";
    return g_sdk;
  }
  fs::path dir = fs::temp_directory_path() / ("vemka-ini-" + std::to_string(ProcessId()));
  fs::create_directories(dir);
  g_temps.dirs.push_back(dir);
  fs::path ini = dir / "libvemkasdk.ini";
  std::ofstream(ini, std::ios::binary) << iniText;
  SetEnv("VEMKASDK_INI", vk::Utf16ToUtf8(ini.u16string()));
  std::string error;
  void* h = OpenLibrary(VEMKA_SDK_LIB_PATH, error);
  if (!h) {
    ADD_FAILURE() << "cannot load " << VEMKA_SDK_LIB_PATH << ": " << error;
    return g_sdk;
  }
  g_sdk.handle = h;
#define VKSDK_TEST_RESOLVE_(name)                                                          \
  g_sdk.name = reinterpret_cast<decltype(g_sdk.name)>(LibrarySymbol(h, "VemkaSDK_" #name)); \
  if (!g_sdk.name) ADD_FAILURE() << "missing export VemkaSDK_" #name;
  VKSDK_TEST_EXPORTS(VKSDK_TEST_RESOLVE_)
#undef VKSDK_TEST_RESOLVE_
  g_loaded = true;
  g_loadedIni = iniText;
  return g_sdk;
}

Sdk& LoadSdkDefault(fs::path* debugDir) {
  static fs::path d = TempDir() / "debug";
  if (debugDir) *debugDir = d;
  return LoadSdk(DefaultIni(d));
}

std::u16string U16(const std::string& utf8) { return vk::Utf8ToUtf16(utf8); }

}  // namespace vktest
