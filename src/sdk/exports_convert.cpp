// Offline conversion exports. The conversion task is not built yet: no task
// is started (0xFFFFFFFF) and the blocking forms refuse with 261.
#include "vemkasdk.h"

extern "C" {

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTask(const char16_t*, uint32_t, uint32_t, int32_t,
                                                         const char16_t*, const char16_t*, uint32_t, uint32_t,
                                                         TVKSDKOnProgressEvent, void*) {
  return VKSDK_INVALID_TASK;
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTaskW(const char16_t*, uint32_t, uint32_t, int32_t,
                                                          const char16_t*, const char16_t*, uint32_t, uint32_t,
                                                          TVKSDKOnProgressEvent, void*) {
  return VKSDK_INVALID_TASK;
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTaskA(const char*, uint32_t, uint32_t, int32_t, const char*,
                                                          const char*, uint32_t, uint32_t, TVKSDKOnProgressEvent,
                                                          void*) {
  return VKSDK_INVALID_TASK;
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Bin2TxtA(const char*, uint32_t, int32_t, const char*, const char*, uint32_t) {
  return VKSDK_ERR_UNSUPPORTED;
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Txt2BinA(const char*, uint32_t, int32_t, const char*, const char*, uint32_t) {
  return VKSDK_ERR_UNSUPPORTED;
}

}  // extern "C"
