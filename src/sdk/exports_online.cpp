// Online service exports. The services are not built yet: nothing starts
// (false) and nothing can be posted (false).
#include "vemkasdk.h"

extern "C" {

VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineSell(void*, VKSDK_BOOL, TVKSDKOnOnlineSellEvent, uint32_t) {
  return 0;
}
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineSellData(uintptr_t, const char16_t*) { return 0; }
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineSellDataW(uintptr_t, const char16_t*) { return 0; }
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineSellDataA(uintptr_t, const char*) { return 0; }
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineMessage(void*, VKSDK_BOOL, TVKSDKOnOnlineMessageEvent, uint32_t) {
  return 0;
}
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineMessageA(void*, VKSDK_BOOL, TVKSDKOnOnlineMessageEventA, uint32_t) {
  return 0;
}
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineMessageResponse(uintptr_t, const char16_t*) { return 0; }
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineMessageResponseA(uintptr_t, const char*) { return 0; }
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineHttpMessage(void*, VKSDK_BOOL, TVKSDKOnOnlineHttpMessageEvent,
                                                           uint32_t, int32_t) {
  return 0;
}
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineHttpMessageA(void*, VKSDK_BOOL, TVKSDKOnOnlineHttpMessageEventA,
                                                            uint32_t, int32_t) {
  return 0;
}
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineTcpMessage(void*, VKSDK_BOOL, TVKSDKOnOnlineTcpMessageEvent, uint32_t,
                                                          int32_t) {
  return 0;
}
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineTcpMessageA(void*, VKSDK_BOOL, TVKSDKOnOnlineTcpMessageEventA,
                                                           uint32_t, int32_t) {
  return 0;
}

}  // extern "C"
