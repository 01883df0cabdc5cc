#include "pecr/pecr_protocol.h"

namespace vk {

// The family's exchange is not built yet: every task ends as unsupported.
void TVKSDKPecrProtocol::Execute() {
  TVKSDKCustomProtocol::Execute();
  if (Terminated()) return;
  DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
}

}  // namespace vk
