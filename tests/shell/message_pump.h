#ifndef QUORVANTA_TESTS_SHELL_MESSAGE_PUMP_H_
#define QUORVANTA_TESTS_SHELL_MESSAGE_PUMP_H_

#include <chrono>
#include <functional>

namespace shell_testing {

// Dispatches the window messages waiting for this thread.
void DispatchPendingMessages();

// Dispatches this thread's window messages until `done` holds; false when it still does not
// after `limit`.
[[nodiscard]] bool PumpMessagesUntil(const std::function<bool()>& done,
                                     std::chrono::milliseconds limit = std::chrono::seconds(20));

// Dispatches this thread's window messages for `duration`.
void PumpMessagesFor(std::chrono::milliseconds duration);

}  // namespace shell_testing

#endif  // QUORVANTA_TESTS_SHELL_MESSAGE_PUMP_H_
