#include "tsecr/tsecr_protocol.h"

#include <exception>
#include <string>

#include "tsecr/tsecr_item.h"

namespace vk {

// After the base has opened the task's files: the data type's item runs
// the slot of the task's ProcType and is freed when it returns.
void TVKSDKTSecrProtocol::Execute() {
  TVKSDKCustomProtocol::Execute();
  if (Terminated()) return;
  TVKSDKExecParams& p = FExecParams;
  const TVKSDKTSecrItemClass cls = TSecrItemClassOf(p.DataType);
  if (cls == TVKSDKTSecrItemClass::None) {
    WriteDebug("Unknown data type: " + std::to_string(p.DataType));
    DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
    return;
  }
  try {
    std::unique_ptr<TVKSDKTSecrCustomItem> item = MakeTSecrItem(cls, this);
    item->Create();
    switch (p.ProcType) {
      case VKSDK_PROC_DOWNLOAD: item->DoDownload(); break;
      case VKSDK_PROC_UPLOAD:
      case VKSDK_PROC_LIST: item->DoUpload(); break;
      case VKSDK_PROC_DOWNLOAD_TSECR: item->DoUpdate(); break;
      case VKSDK_PROC_DELETE:
      case VKSDK_PROC_CLEAR_IMAGES: item->DoDelete(); break;
      default:
        WriteDebug("Unsupported ProcType: " + std::to_string(p.ProcType));
        DoProgress(VKSDK_ERR_TSECR_UNSUPPORTED, 0, 0);
        break;
    }
  } catch (const std::exception& e) {
    WriteDebug(e.what());
    if (!FinalReported()) DoProgress(VKSDK_ERR_TSECR_UNSUPPORTED, 0, 0);
  }
}

}  // namespace vk
