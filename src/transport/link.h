// A task's link to its device: the one thing a family's exchange loop talks
// through. The UDP client is one; an offline conversion's file link is
// another (its "device" is the binary file), so transfers and conversions
// run the same loop.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/debug_list.h"
#include "runtime/types.h"

namespace vk {

class TVKSDKLink {
 public:
  // Judges a received answer: false when it cannot be an answer at all (a
  // damaged frame, say).
  using AnswerCheck = std::function<bool(const TVKBytes& Datagram)>;

  virtual ~TVKSDKLink() = default;

  // Sends Request and waits for an answer that Accept takes: TryCount
  // attempts of TimeOut ms each. WhileWaiting, when given, runs after each
  // send (work that can overlap the device's answer). Empty: no answer.
  virtual TVKBytes Exchange(const TVKBytes& Request, int32_t TimeOut, int32_t TryCount, TVKDebugList* DebugList,
                            const std::function<void()>& WhileWaiting, const AnswerCheck& Accept) = 0;
  // Waits up to TimeOut ms for one more answer, sending nothing.
  virtual TVKBytes ReceiveMore(int32_t TimeOut, TVKDebugList* DebugList, const AnswerCheck& Accept) = 0;
  // True when answers to earlier requests may still be waiting; Drain
  // throws them away (and clears this).
  virtual bool MayHoldStaleAnswers() const { return false; }
  virtual void Drain(TVKDebugList* /*DebugList*/) {}
  // False when a request can only ever get the answer it got (a file): an
  // answer the item refuses then ends the task.
  virtual bool CanAskAgain() const { return true; }
  // A failure of the link itself (a file that could not be written) as a
  // result code; 0 when there is none.
  virtual uint32_t LinkError() const { return 0; }
};

}  // namespace vk
