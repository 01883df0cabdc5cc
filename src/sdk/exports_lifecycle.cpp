// Library load and unload, and the lifecycle exports.
#include "runtime/sysparams.h"
#include "sdk/guard.h"
#include "tasks/task_list.h"
#include "vemkasdk.h"

namespace {

// Reads the INI file when the library is loaded; stops and awaits every task
// when it is unloaded, so no task thread runs on in unmapped code.
struct LibraryLifetime {
  LibraryLifetime() {
    vk::sdk::GuardVoid([] { vk::LoadSysParams(); });
  }
  ~LibraryLifetime() {
    vk::sdk::GuardVoid([] {
      vk::TaskList::Stop(0);
      vk::TaskList::ReapFinishedThreads();
    });
  }
};
LibraryLifetime g_lifetime;

}  // namespace

extern "C" {

// The task list and family registry exist from load on; Initialize only
// keeps its documented result, so a host that forgets it is not punished.
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_Initialize(void*) { return 1; }

VEMKA_API void VEMKA_CALL VemkaSDK_Finalize(void) {}

VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetLastTaskError(void) { return 0; }

}  // extern "C"
