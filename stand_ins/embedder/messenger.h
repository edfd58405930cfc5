#ifndef QUORVANTA_STAND_INS_EMBEDDER_MESSENGER_H_
#define QUORVANTA_STAND_INS_EMBEDDER_MESSENGER_H_

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>

#include "shell/embedder/embedder_api.h"

namespace stand_in {
class Engine;
}

// The handle of one incoming message, until its one response.
struct FlutterDesktopMessageResponseHandleOpaque {
  uint64_t call_id = 0;
};

// The engine's messenger. The engine holds one reference and each add-ref one more; the object
// lives until the last release, also after the engine has ended, so that late responses can find
// out that nobody takes them any more.
struct FlutterDesktopMessenger {
  FlutterDesktopMessenger() = default;
  FlutterDesktopMessenger(const FlutterDesktopMessenger&) = delete;
  FlutterDesktopMessenger& operator=(const FlutterDesktopMessenger&) = delete;
  ~FlutterDesktopMessenger();

  std::atomic<int> references{1};
  // Recursive: the program answers while it holds the lock through FlutterDesktopMessengerLock.
  std::recursive_mutex lock;
  // Guarded by `lock`. Null once the engine has ended: the messenger is then unavailable.
  stand_in::Engine* engine = nullptr;
  // Guarded by `lock`. Handles not answered yet, owned here, so that an answer through a handle
  // that is unknown or already answered is recognised without touching freed memory.
  std::set<const FlutterDesktopMessageResponseHandle*> open_responses;
};

namespace stand_in {

// A new response handle for the message `call_id`. Call with the messenger's lock held.
const FlutterDesktopMessageResponseHandle* OpenResponse(FlutterDesktopMessenger* messenger,
                                                        uint64_t call_id);

// Closes `handle` and gives its message's id; nothing when the handle is not open. Call with the
// messenger's lock held.
std::optional<uint64_t> CloseResponse(FlutterDesktopMessenger* messenger,
                                      const FlutterDesktopMessageResponseHandle* handle);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_MESSENGER_H_
