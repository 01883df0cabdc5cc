/* Compiles the public header as C11: it must stand alone. */
#include "vemkasdk.h"

static void VEMKA_CALL on_progress(uint32_t code, uint32_t index, uint32_t total, void *user) {
  (void)code; (void)index; (void)total; (void)user;
}

int vemka_c_header_check(void) {
  TVKSDKOnProgressEvent cb = on_progress;
  TVKSDKDeviceInfo info;
  (void)cb;
  (void)info;
  return VKSDK_ERR_NO_REPLY == 266 && ptHecr == 2 && sizeof(TVKSDKDeviceInfo) == 256;
}
