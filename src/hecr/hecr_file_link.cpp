#include "hecr/hecr_file_link.h"

#include <stdexcept>

#include "data/text_file.h"
#include "hecr/hecr_frame.h"
#include "hecr/hecr_item.h"
#include "tasks/custom_protocol.h"

namespace vk {

TVKSDKHecrFileLink::TVKSDKHecrFileLink(TVKSDKExecParams& Params, int32_t PackageLen)
    : FParams(Params), FBlock(static_cast<size_t>(PackageLen > 0 ? PackageLen : 0)) {}

TVKBytes TVKSDKHecrFileLink::Exchange(const TVKBytes& Request, int32_t, int32_t, TVKDebugList*,
                                      const std::function<void()>&, const AnswerCheck&) {
  TVKSDKExecParams& p = FParams;
  const uint16_t param = TVKHecrProtocol::GetHeadInfo(Request).Param;
  if (p.ProcType == VKSDK_PROC_DOWNLOAD) {
    if (!p.AuxFileStream) throw std::runtime_error("No output file.");
    bool written = true;
    if (p.OutputFileType == 0) {
      if (Request.size() > TVKHecrProtocol::kHeadSize + 2)
        written = p.AuxFileStream->Write(Request.data() + TVKHecrProtocol::kHeadSize,
                                         Request.size() - TVKHecrProtocol::kHeadSize - 2);
    } else {
      written = WriteLineToFileStream(*p.AuxFileStream, Bytes2Hex(Request), p.AuxCodePage);
    }
    if (!written) {
      // A record that did not reach the file is lost: the task stops here.
      FError = VKSDK_ERR_CREATE_FILE;
      return {};
    }
    return TVKHecrProtocol::Package(TVKHecrProtocol::kSign, 0, kHecrAckCmd, param, 0, nullptr, 0);
  }
  // The block is handed to the item as a reply frame; nothing checks that
  // frame's CRC, so none is computed.
  const size_t got = p.AuxFileStream ? p.AuxFileStream->Read(FBlock.data(), FBlock.size()) : 0;
  if (got > 0xFFFF)
    return TVKHecrProtocol::Package(TVKHecrProtocol::kSign, 0, 0, param, 0, FBlock.data(), static_cast<uint32_t>(got));
  TVKBytes reply;
  TVKSDKHecrCustomItem::BuildFrame(reply, 0, param, FBlock.data(), got, false);
  return reply;
}

}  // namespace vk
