#include "tests/fakes/recording_messenger.h"

#include <atomic>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>

#include "base/log.h"

struct FlutterDesktopMessenger {
  std::mutex engine_lock;
  std::atomic<std::thread::id> lock_owner{};
  bool available = true;           // guarded by engine_lock alone, as in the real embedder
  std::atomic<int> references{1};  // the engine's own, plus one per add-ref
};

namespace testing_fakes {

using Function = MessengerFunction;

struct RecordingMessenger::State {
  // A call just recorded, with the fake's lock held while the caller adds to it.
  struct Recorded {
    std::unique_lock<std::mutex> hold;
    MessengerCall& call;
  };

  Recorded Record(Function function, FlutterDesktopMessengerRef messenger,
                  const char* channel = nullptr, const uint8_t* data = nullptr, size_t size = 0) {
    std::unique_lock<std::mutex> hold(mutex);
    MessengerCall& call = calls.emplace_back();
    call.function = function;
    call.messenger = messenger;
    call.channel = channel != nullptr ? channel : "";
    call.null_data = data == nullptr;
    if (data != nullptr) call.bytes.assign(data, data + size);
    call.size = size;
    call.thread = std::this_thread::get_id();
    return {std::move(hold), call};
  }

  template <typename T>
  T Read(const T& field) const {
    std::lock_guard<std::mutex> hold(mutex);
    return field;
  }

  // A delivered message. Its handle is its number, never dereferenced. Once its response is
  // taken, the slot and the response's storage serve a later message (number 0: a free slot).
  struct Delivery {
    uintptr_t number = 0;
    bool answered = false;
    Response response;
  };

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
  int outstanding_references = 0;
};

namespace {

std::atomic<RecordingMessenger::State*> current{nullptr};
std::atomic<int> live_messengers{0};

RecordingMessenger::State& Current() {
  RecordingMessenger::State* state = current.load();
  if (state == nullptr) {
    logging::Err("An embedder messaging function was called with no RecordingMessenger in place.");
    std::abort();
  }
  return *state;
}

void DropReference(FlutterDesktopMessengerRef messenger) {
  if (messenger->references.fetch_sub(1) == 1) {
    delete messenger;
    live_messengers.fetch_sub(1);
  }
}

}  // namespace

RecordingMessenger::RecordingMessenger()
    : state_(std::make_unique<State>()), handle_(new FlutterDesktopMessenger) {
  live_messengers.fetch_add(1);
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
  std::lock_guard<std::mutex> hold(handle_->engine_lock);
  handle_->available = available;
}

void RecordingMessenger::SetLockReturnsNull(bool returns_null) {
  state_->lock_returns_null = returns_null;
}

void RecordingMessenger::SetAcceptSendsWithReply(bool accept) {
  state_->accept_sends_with_reply = accept;
}

void RecordingMessenger::ShutDownEngine() {
  {
    std::lock_guard<std::mutex> hold(state_->mutex);
    if (!std::exchange(state_->engine_running, false)) return;
  }
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
  std::lock_guard<std::mutex> hold(state_->mutex);
  const State::Delivery* delivery = state_->Find(handle);
  if (delivery == nullptr || !delivery->answered) return std::nullopt;
  return delivery->response;
}

bool RecordingMessenger::TakeResponse(const FlutterDesktopMessageResponseHandle* handle,
                                      Response* response) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Delivery* delivery = state_->Find(handle);
  if (delivery == nullptr || !delivery->answered) return false;
  std::swap(*response, delivery->response);
  delivery->number = 0;
  delivery->answered = false;
  return true;
}

std::optional<std::pair<FlutterDesktopMessageCallback, void*>> RecordingMessenger::Registration(
    const std::string& channel) const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  const auto registration = state_->callbacks.find(channel);
  if (registration == state_->callbacks.end()) return std::nullopt;
  return registration->second;
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

std::vector<MessengerCall> RecordingMessenger::Calls() const { return state_->Read(state_->calls); }

std::vector<MessengerCall> RecordingMessenger::CallsTo(MessengerFunction function) const {
  std::vector<MessengerCall> calls = Calls();
  std::erase_if(calls, [function](const MessengerCall& call) { return call.function != function; });
  return calls;
}

void RecordingMessenger::MoveCallsInto(std::vector<MessengerCall>* calls) {
  calls->clear();
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->calls.swap(*calls);
}

std::vector<std::string> RecordingMessenger::Violations() const {
  return state_->Read(state_->violations);
}

int RecordingMessenger::OutstandingReferences() const {
  return state_->Read(state_->outstanding_references);
}

int RecordingMessenger::LiveMessengers() { return live_messengers.load(); }

}  // namespace testing_fakes

using testing_fakes::Current;
using testing_fakes::Function;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  Current().Record(Function::kSend, messenger, channel, message, message_size);
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  auto& state = Current();
  auto [hold, call] =
      state.Record(Function::kSendWithReply, messenger, channel, message, message_size);
  call.reply = reply;
  call.user_data = user_data;
  if (!state.accept_sends_with_reply) return false;
  state.pending_sends.emplace_back(reply, user_data);
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  auto& state = Current();
  // Read before the fake's own lock is taken, which would order them against a shutdown.
  const bool locked =
      state.lock_returns_null || messenger->lock_owner.load() == std::this_thread::get_id();
  const bool available = messenger->available;
  auto [hold, call] = state.Record(Function::kSendResponse, messenger, nullptr, data, data_length);
  call.response_handle = handle;
  if (!locked) state.violations.emplace_back("response sent without holding the messenger lock");
  if (!available) state.violations.emplace_back("response sent while the engine is unavailable");
  auto* delivery = state.Find(handle);
  if (delivery == nullptr) {
    state.violations.emplace_back("response to an unknown message");
  } else if (delivery->answered) {
    state.violations.emplace_back("second response to one message");
  } else {
    delivery->answered = true;
    delivery->response.bytes.assign(call.bytes.begin(), call.bytes.end());
    delivery->response.null_data = call.null_data;
  }
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  auto& state = Current();
  auto [hold, call] = state.Record(Function::kSetCallback, messenger, channel);
  call.callback = callback;
  call.user_data = user_data;
  if (callback == nullptr) {
    state.callbacks.erase(call.channel);
  } else {
    state.callbacks[call.channel] = {callback, user_data};
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  auto recorded = state.Record(Function::kAddRef, messenger);
  messenger->references.fetch_add(1);
  ++state.outstanding_references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  {
    auto recorded = state.Record(Function::kRelease, messenger);
    if (messenger == nullptr || state.outstanding_references == 0) {
      state.violations.emplace_back("release without a matching add-ref");
      return;
    }
    --state.outstanding_references;
  }
  testing_fakes::DropReference(messenger);
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  Current().Record(Function::kIsAvailable, messenger);
  return messenger->available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  {
    auto recorded = state.Record(Function::kLock, messenger);
    if (state.lock_returns_null) return nullptr;
    if (messenger->lock_owner.load() == std::this_thread::get_id()) {
      // Locking again would deadlock the test instead of failing it.
      state.violations.emplace_back("lock taken again by the thread that holds it");
      return messenger;
    }
  }
  messenger->engine_lock.lock();
  messenger->lock_owner.store(std::this_thread::get_id());
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  auto& state = Current();
  auto recorded = state.Record(Function::kUnlock, messenger);
  if (messenger == nullptr) {
    state.violations.emplace_back("unlock with a null lock value");
  } else if (messenger->lock_owner.load() != std::this_thread::get_id()) {
    state.violations.emplace_back("unlock by a thread that does not hold the lock");
  } else {
    messenger->lock_owner.store(std::thread::id());
    messenger->engine_lock.unlock();
  }
}
