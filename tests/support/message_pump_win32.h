#ifndef QUORVANTA_TESTS_SUPPORT_MESSAGE_PUMP_WIN32_H_
#define QUORVANTA_TESTS_SUPPORT_MESSAGE_PUMP_WIN32_H_

#include <windows.h>

#include <chrono>
#include <functional>

namespace testing_support {

// Dispatches this thread's window messages until `done` holds; false if it still does not after
// `limit`.
[[nodiscard]] inline bool PumpMessagesUntil(
    const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

inline void PumpMessagesFor(std::chrono::milliseconds duration) {
  static_cast<void>(PumpMessagesUntil([] { return false; }, duration));
}

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_MESSAGE_PUMP_WIN32_H_
