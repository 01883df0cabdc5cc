#include "vemkasdk.h"

extern "C" {
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_Initialize(void*) { return 1; }
VEMKA_API void VEMKA_CALL VemkaSDK_Finalize(void) {}
VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetLastTaskError(void) { return 0; }
}
