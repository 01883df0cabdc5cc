// Placeholder: defaults only. Replaced by the INI reader.
#include "runtime/sysparams.h"

#include <mutex>

#include "runtime/platform.h"

namespace vk {

namespace {
TVKSDKSysParams g_params;
std::once_flag g_once;
}  // namespace

std::filesystem::path LibraryDirectory() { return platform::LibraryPath().parent_path(); }

int32_t LoadSysParams(const std::filesystem::path& FileName) {
  (void)FileName;
  g_params = TVKSDKSysParams{};
  g_params.DebugDir = (LibraryDirectory() / "vemkasdk_log").u16string();
  return 0;
}

const TVKSDKSysParams& SysParams() {
  std::call_once(g_once, [] { LoadSysParams(); });
  return g_params;
}

}  // namespace vk
