// Library load and unload, and the lifecycle exports.
#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "sdk/guard.h"
#include "tasks/task_list.h"
#include "vemkasdk.h"

namespace {

// Reads the INI file when the library is loaded. At unload every task is
// told to stop; where the system allows it (not on Windows, whose unload
// code runs under the loader lock) the unload also waits until they have,
// so no task thread runs on in unmapped code. VemkaSDK_Finalize is the
// place to stop and wait on every platform.
struct LibraryLifetime {
  LibraryLifetime() {
    vk::sdk::GuardVoid([] { vk::LoadSysParams(); });
  }
  ~LibraryLifetime() {
    vk::sdk::GuardVoid([] {
      if (vk::platform::UnloadMayWaitForThreads()) {
        vk::TaskList::Stop(0);
        vk::TaskList::ReapFinishedThreads();
      } else {
        vk::TaskList::AskToStop(0);
      }
    });
  }
};
LibraryLifetime g_lifetime;

}  // namespace

extern "C" {

// The task list and family registry exist from load on; Initialize only
// keeps its documented result, so a host that forgets it is not punished.
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_Initialize(void*) { return 1; }

// Stops every task and waits until each has ended and its thread is joined.
VEMKA_API void VEMKA_CALL VemkaSDK_Finalize(void) {
  vk::sdk::GuardVoid([] {
    vk::TaskList::Stop(0);
    vk::TaskList::ReapFinishedThreads();
  });
}

VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetLastTaskError(void) { return 0; }

}  // extern "C"
