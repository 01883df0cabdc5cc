// The link of an offline conversion: the binary file stands in for the
// scale. A download request's data is written to the file (raw records, or
// one hex line per frame) and acknowledged at once; an upload request is
// answered with the file's next block of records.
#pragma once

#include <cstdint>

#include "transport/link.h"

namespace vk {

struct TVKSDKExecParams;

class TVKSDKHecrFileLink : public TVKSDKLink {
 public:
  TVKSDKHecrFileLink(TVKSDKExecParams& Params, int32_t PackageLen);

  TVKBytes Exchange(const TVKBytes& Request, int32_t TimeOut, int32_t TryCount, TVKDebugList* DebugList,
                    const std::function<void()>& WhileWaiting, const AnswerCheck& Accept) override;
  // A file answers every request at once and never again.
  TVKBytes ReceiveMore(int32_t, TVKDebugList*, const AnswerCheck&) override { return {}; }
  bool CanAskAgain() const override { return false; }
  uint32_t LinkError() const override { return FError; }

 private:
  TVKSDKExecParams& FParams;
  TVKBytes FBlock;
  uint32_t FError = 0;
};

}  // namespace vk
