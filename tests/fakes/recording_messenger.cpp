#include "tests/fakes/recording_messenger.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "base/log.h"

struct FlutterDesktopMessenger {
  std::mutex engine_lock;
  std::atomic<std::thread::id> lock_owner{};
  bool available = true;           // guarded by engine_lock alone, as in the real embedder
  std::atomic<int> references{1};  // the engine's own, plus one per add-ref
};

namespace testing_fakes {

struct RecordingMessenger::State {
  // A delivered message. Its handle is its number, never dereferenced. Once its response is
  // taken, the slot and the response's storage serve a later message (number 0: a free slot).
  struct Delivery {
    uintptr_t number = 0;
    bool answered = false;
    Response response;
  };

  template <typename Work>
  auto Locked(Work work) {
    std::lock_guard<std::mutex> hold(mutex);
    return work();
  }

  void Record(MessengerFunction function, FlutterDesktopMessengerRef messenger, const char* channel,
              const uint8_t* data, size_t size, FlutterDesktopMessageCallback callback = nullptr) {
    Locked([&] {
      calls.push_back(
          {function, messenger, channel,
           data != nullptr ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>(),
           data == nullptr, callback, std::this_thread::get_id()});
    });
  }

  void Violation(const char* what) {
    Locked([&] { violations.emplace_back(what); });
  }

  Delivery* Slot(uintptr_t number) {
    for (Delivery& delivery : deliveries) {
      if (delivery.number == number) return &delivery;
    }
    return nullptr;
  }

  Delivery* Find(const FlutterDesktopMessageResponseHandle* handle) {
    return handle != nullptr ? Slot(reinterpret_cast<uintptr_t>(handle)) : nullptr;
  }

  mutable std::mutex mutex;
  bool engine_running = true;
  std::atomic<bool> lock_returns_null{false};
  std::atomic<bool> accept_sends_with_reply{true};
  std::vector<MessengerCall> calls;
  std::vector<std::string> violations;
  std::map<std::string, std::pair<FlutterDesktopMessageCallback, void*>> callbacks;
  std::deque<std::pair<FlutterDesktopBinaryReply, void*>> pending_sends;
  std::vector<Delivery> deliveries;
  uintptr_t delivered = 0;
  std::atomic<int> outstanding_references{0};
  std::atomic<int> locks_held{0};
};

namespace {

std::atomic<RecordingMessenger::State*> current{nullptr};

RecordingMessenger::State& Current() {
  RecordingMessenger::State* state = current.load();
  if (state == nullptr) {
    logging::Err("An embedder messaging function was called with no RecordingMessenger in place.");
    std::abort();
  }
  return *state;
}

// Whether the calling thread may act as the lock holder: it holds the lock, or the lock function
// returned null and there is nothing to hold.
bool HoldsLock(RecordingMessenger::State& state, FlutterDesktopMessengerRef messenger) {
  return state.lock_returns_null || messenger->lock_owner.load() == std::this_thread::get_id();
}

void DropReference(FlutterDesktopMessengerRef messenger) {
  if (messenger->references.fetch_sub(1) == 1) delete messenger;
}

}  // namespace

RecordingMessenger::RecordingMessenger()
    : state_(std::make_unique<State>()), handle_(new FlutterDesktopMessenger) {
  State* expected = nullptr;
  if (!current.compare_exchange_strong(expected, state_.get())) {
    logging::Err("Only one RecordingMessenger may exist at a time.");
    std::abort();
  }
}

RecordingMessenger::~RecordingMessenger() {
  ShutDownEngine();
  current.store(nullptr);
}

void RecordingMessenger::SetAvailable(bool available) {
  // A lock left held (listed in Violations()) is waited for a while, not forever, so that the
  // test fails instead of hanging. Polled: sanitizers see every try, not every timed wait.
  bool locked = false;
  for (int wait = 0; !locked && wait < 1000; ++wait) {
    if (handle_->lock_owner.load() == std::this_thread::get_id()) break;
    locked = handle_->engine_lock.try_lock();
    if (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  handle_->available = available;
  if (locked) handle_->engine_lock.unlock();
}

void RecordingMessenger::SetLockReturnsNull(bool returns_null) {
  state_->lock_returns_null = returns_null;
}

void RecordingMessenger::SetAcceptSendsWithReply(bool accept) {
  state_->accept_sends_with_reply = accept;
}

void RecordingMessenger::ShutDownEngine() {
  if (!state_->Locked([this] { return std::exchange(state_->engine_running, false); })) return;
  SetAvailable(false);
  DropReference(handle_);
}

const FlutterDesktopMessageResponseHandle* RecordingMessenger::Deliver(
    const std::string& channel, const std::vector<uint8_t>& message) {
  std::unique_lock<std::mutex> hold(state_->mutex);
  const auto registration = state_->callbacks.find(channel);
  if (!state_->engine_running || registration == state_->callbacks.end()) return nullptr;
  const auto [callback, user_data] = registration->second;
  State::Delivery* delivery = state_->Slot(0);
  if (delivery == nullptr) delivery = &state_->deliveries.emplace_back();
  delivery->number = ++state_->delivered;
  const auto* handle =
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(delivery->number);
  hold.unlock();
  const FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), channel.c_str(), message.data(),
                                     message.size(), handle};
  callback(handle_, &record, user_data);
  return handle;
}

std::optional<Response> RecordingMessenger::ResponseTo(
    const FlutterDesktopMessageResponseHandle* handle) const {
  return state_->Locked([&]() -> std::optional<Response> {
    const State::Delivery* delivery = state_->Find(handle);
    if (delivery == nullptr || !delivery->answered) return std::nullopt;
    return delivery->response;
  });
}

bool RecordingMessenger::TakeResponse(const FlutterDesktopMessageResponseHandle* handle,
                                      Response* response) {
  return state_->Locked([&] {
    State::Delivery* delivery = state_->Find(handle);
    if (delivery == nullptr || !delivery->answered) return false;
    std::swap(*response, delivery->response);
    delivery->number = 0;
    delivery->answered = false;
    return true;
  });
}

bool RecordingMessenger::AnswerPendingSend(const std::vector<uint8_t>& answer) {
  std::unique_lock<std::mutex> hold(state_->mutex);
  if (state_->pending_sends.empty()) return false;
  const auto [reply, user_data] = state_->pending_sends.front();
  state_->pending_sends.pop_front();
  hold.unlock();
  reply(answer.data(), answer.size(), user_data);
  return true;
}

std::vector<MessengerCall> RecordingMessenger::Calls() const {
  return state_->Locked([this] { return state_->calls; });
}

std::vector<MessengerCall> RecordingMessenger::CallsTo(MessengerFunction function) const {
  std::vector<MessengerCall> calls = Calls();
  std::erase_if(calls, [function](const MessengerCall& call) { return call.function != function; });
  return calls;
}

void RecordingMessenger::MoveCallsInto(std::vector<MessengerCall>* calls) {
  calls->clear();
  state_->Locked([&] { state_->calls.swap(*calls); });
}

std::vector<std::string> RecordingMessenger::Violations() const {
  return state_->Locked([this] {
    std::vector<std::string> violations = state_->violations;
    if (state_->locks_held.load() > 0) violations.emplace_back("messenger lock still held");
    return violations;
  });
}

int RecordingMessenger::OutstandingReferences() const {
  return state_->outstanding_references.load();
}

}  // namespace testing_fakes

using testing_fakes::Current;
using testing_fakes::MessengerFunction;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  Current().Record(MessengerFunction::kSend, messenger, channel, message, message_size);
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  auto& state = Current();
  state.Record(MessengerFunction::kSendWithReply, messenger, channel, message, message_size);
  if (!state.accept_sends_with_reply) return false;
  state.Locked([&] { state.pending_sends.emplace_back(reply, user_data); });
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  auto& state = Current();
  // Read before the fake's own lock is taken, which would order them against a shutdown.
  const bool locked = testing_fakes::HoldsLock(state, messenger);
  const bool available = messenger->available;
  state.Locked([&] {
    if (!locked) state.violations.emplace_back("response sent without holding the messenger lock");
    if (!available) state.violations.emplace_back("response sent while the engine is unavailable");
    auto* delivery = state.Find(handle);
    if (delivery == nullptr) {
      state.violations.emplace_back("response to an unknown message");
    } else if (delivery->answered) {
      state.violations.emplace_back("second response to one message");
    } else {
      delivery->answered = true;
      delivery->response.bytes.assign(data, data + (data != nullptr ? data_length : 0));
      delivery->response.null_data = data == nullptr;
    }
  });
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  auto& state = Current();
  state.Record(MessengerFunction::kSetCallback, messenger, channel, nullptr, 0, callback);
  state.Locked([&] {
    if (callback == nullptr) {
      state.callbacks.erase(channel);
    } else {
      state.callbacks[channel] = {callback, user_data};
    }
  });
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  messenger->references.fetch_add(1);
  ++state.outstanding_references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  if (state.outstanding_references.fetch_sub(1) <= 0) {
    ++state.outstanding_references;
    return state.Violation("release without a matching add-ref");
  }
  testing_fakes::DropReference(messenger);
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  if (!testing_fakes::HoldsLock(state, messenger)) {
    state.Violation("availability asked without holding the messenger lock");
  }
  return messenger->available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  if (state.lock_returns_null) return nullptr;
  if (messenger->lock_owner.load() == std::this_thread::get_id()) {
    // Locking again would deadlock the test instead of failing it.
    state.Violation("lock taken again by the thread that holds it");
    return messenger;
  }
  messenger->engine_lock.lock();
  messenger->lock_owner.store(std::this_thread::get_id());
  ++state.locks_held;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  if (messenger == nullptr) return state.Violation("unlock with a null lock value");
  if (messenger->lock_owner.load() != std::this_thread::get_id()) {
    return state.Violation("unlock by a thread that does not hold the lock");
  }
  --state.locks_held;
  messenger->lock_owner.store(std::thread::id());
  messenger->engine_lock.unlock();
}
