#ifndef QUORVANTA_TESTS_FAKES_RECORDING_MESSENGER_H_
#define QUORVANTA_TESTS_FAKES_RECORDING_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shell/embedder/embedder_api.h"

namespace testing_fakes {

enum class MessengerFunction { kSend, kSendWithReply, kSetCallback };

// One send or registration. A registration carries no bytes; a removal has no callback.
struct MessengerCall {
  MessengerFunction function = MessengerFunction::kSend;
  FlutterDesktopMessengerRef messenger = nullptr;
  std::string channel;
  std::vector<uint8_t> bytes;
  bool null_data = false;
  FlutterDesktopMessageCallback callback = nullptr;
  std::thread::id thread;  // the caller's
};

// What a response to an incoming message carried.
struct Response {
  std::vector<uint8_t> bytes;
  bool null_data = false;
};

// Stands in for the embedder's messenger: defines the nine FlutterDesktopMessenger* functions,
// records sends and registrations, keeps each delivered message's response, and lists breaches
// of the protocol a real embedder relies on in Violations() instead of crashing: one response per
// message; availability asked and responses sent only under the lock, and only while available;
// locks paired and none left held; references balanced. The messenger object is freed with its
// last reference (the engine's until ShutDownEngine(), plus one per add-ref), so that a later use
// is one the sanitizers see; its availability flag is guarded only by the messenger lock, so that
// an unlocked read racing with a shutdown is a data race for ThreadSanitizer.
//
// One instance at a time, outliving every thread that calls the functions; any thread may call
// its members.
class RecordingMessenger {
 public:
  RecordingMessenger();
  ~RecordingMessenger();

  RecordingMessenger(const RecordingMessenger&) = delete;
  RecordingMessenger& operator=(const RecordingMessenger&) = delete;

  // Not to be used by the test after ShutDownEngine().
  FlutterDesktopMessengerRef handle() const { return handle_; }

  // Makes the engine (un)available, under the messenger lock.
  void SetAvailable(bool available);
  // When set, the lock function returns null and locks nothing.
  void SetLockReturnsNull(bool returns_null);
  // Whether sends with a reply are accepted (the default) or refused.
  void SetAcceptSendsWithReply(bool accept);
  // Unavailable under the messenger lock, then the engine's reference dropped.
  void ShutDownEngine();

  // Delivers an incoming message to the callback registered for `channel`, on this thread.
  // Returns the message's response handle, or null when no callback is registered.
  [[nodiscard]] const FlutterDesktopMessageResponseHandle* Deliver(
      const std::string& channel, const std::vector<uint8_t>& message);
  // The response to a delivered message, if one came.
  std::optional<Response> ResponseTo(const FlutterDesktopMessageResponseHandle* handle) const;
  // Swaps the response into `*response` and forgets the message, so that long runs neither grow
  // nor reallocate. False, with nothing changed, when no response has come.
  [[nodiscard]] bool TakeResponse(const FlutterDesktopMessageResponseHandle* handle,
                                  Response* response);
  // Answers the oldest accepted send with a reply, on this thread. False when none is pending.
  [[nodiscard]] bool AnswerPendingSend(const std::vector<uint8_t>& answer);

  std::vector<MessengerCall> Calls() const;
  std::vector<MessengerCall> CallsTo(MessengerFunction function) const;
  // Swaps the calls so far into `*calls` (cleared first) and forgets them, as TakeResponse.
  void MoveCallsInto(std::vector<MessengerCall>* calls);

  std::vector<std::string> Violations() const;
  // Add-refs not yet released.
  int OutstandingReferences() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
  FlutterDesktopMessengerRef handle_;
};

}  // namespace testing_fakes

#endif  // QUORVANTA_TESTS_FAKES_RECORDING_MESSENGER_H_
