#include "benchmarks/null_embedder.h"

#include <cstdio>
#include <cstdlib>

namespace benchmark_support {
namespace {

NullEmbedder* active = nullptr;

// Any non-null handle: the messenger only hands it back with the one response.
const auto* const kResponseHandle =
    reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(&active);

}  // namespace

NullEmbedder::NullEmbedder() {
  if (active != nullptr) {
    std::fputs("Only one NullEmbedder may exist at a time.\n", stderr);
    std::abort();
  }
  active = this;
  received_.reserve(64);
}

NullEmbedder::~NullEmbedder() { active = nullptr; }

NullEmbedder* NullEmbedder::Owning(FlutterDesktopMessengerRef messenger) {
  return reinterpret_cast<NullEmbedder*>(messenger) == active ? active : nullptr;
}

void NullEmbedder::Deliver(const std::vector<uint8_t>& message) {
  const FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), nullptr, message.data(),
                                     message.size(), kResponseHandle};
  callback_(handle(), &record, user_data_);
}

}  // namespace benchmark_support

using benchmark_support::NullEmbedder;

// The linker sends every call of a messaging function here (--wrap); __real_ is the recording
// fake's own definition.
extern "C" {

bool __real_FlutterDesktopMessengerSend(FlutterDesktopMessengerRef, const char*, const uint8_t*,
                                        size_t);
void __real_FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef,
                                                const FlutterDesktopMessageResponseHandle*,
                                                const uint8_t*, size_t);
void __real_FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef, const char*,
                                               FlutterDesktopMessageCallback, void*);
FlutterDesktopMessengerRef __real_FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef);
void __real_FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef);
bool __real_FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef);
FlutterDesktopMessengerRef __real_FlutterDesktopMessengerLock(FlutterDesktopMessengerRef);
void __real_FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef);

bool __wrap_FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                        const uint8_t* message, size_t message_size) {
  if (NullEmbedder* stand_in = NullEmbedder::Owning(messenger)) {
    stand_in->Receive(message, message_size);
    return true;
  }
  return __real_FlutterDesktopMessengerSend(messenger, channel, message, message_size);
}

void __wrap_FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                                const FlutterDesktopMessageResponseHandle* handle,
                                                const uint8_t* data, size_t data_length) {
  if (NullEmbedder* stand_in = NullEmbedder::Owning(messenger)) {
    stand_in->Receive(data, data_length);
    return;
  }
  __real_FlutterDesktopMessengerSendResponse(messenger, handle, data, data_length);
}

void __wrap_FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                               const char* channel,
                                               FlutterDesktopMessageCallback callback,
                                               void* user_data) {
  if (NullEmbedder* stand_in = NullEmbedder::Owning(messenger)) {
    stand_in->Register(callback, user_data);
    return;
  }
  __real_FlutterDesktopMessengerSetCallback(messenger, channel, callback, user_data);
}

FlutterDesktopMessengerRef __wrap_FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  if (NullEmbedder::Owning(messenger) != nullptr) return messenger;
  return __real_FlutterDesktopMessengerAddRef(messenger);
}

void __wrap_FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (NullEmbedder::Owning(messenger) != nullptr) return;
  __real_FlutterDesktopMessengerRelease(messenger);
}

bool __wrap_FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (NullEmbedder::Owning(messenger) != nullptr) return true;
  return __real_FlutterDesktopMessengerIsAvailable(messenger);
}

FlutterDesktopMessengerRef __wrap_FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  if (NullEmbedder::Owning(messenger) != nullptr) return messenger;
  return __real_FlutterDesktopMessengerLock(messenger);
}

void __wrap_FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (NullEmbedder::Owning(messenger) != nullptr) return;
  __real_FlutterDesktopMessengerUnlock(messenger);
}

}  // extern "C"
