// Every export runs its body through Guard: nothing may leave the library
// as an exception, a failure becomes the export's documented empty result.
#pragma once

#include <utility>

namespace vk::sdk {

template <class R, class F>
R Guard(R onError, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    return onError;
  }
}

template <class F>
void GuardVoid(F&& body) noexcept {
  try {
    std::forward<F>(body)();
  } catch (...) {
  }
}

}  // namespace vk::sdk
