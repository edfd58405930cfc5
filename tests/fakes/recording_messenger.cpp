#include "tests/fakes/recording_messenger.h"

#include <cstdlib>
#include <utility>

#include "base/log.h"

// The embedder's objects, as this fake models them.
struct FlutterDesktopMessenger {
  std::mutex engine_lock;
  std::atomic<std::thread::id> lock_owner{};
  // Guarded by engine_lock alone, as in the real embedder.
  bool available = true;
  // The engine's own reference plus one per add-ref.
  std::atomic<int> references{1};
};

struct FlutterDesktopMessageResponseHandleOpaque {
  uint64_t delivery;
};

namespace testing_fakes {
namespace {

std::atomic<RecordingMessenger*> current{nullptr};
std::atomic<int> live_messengers{0};

RecordingMessenger& Current() {
  RecordingMessenger* recorder = current.load();
  if (recorder == nullptr) {
    logging::Err("An embedder messaging function was called with no RecordingMessenger in place.");
    std::abort();
  }
  return *recorder;
}

void DropReference(FlutterDesktopMessengerRef messenger) {
  if (messenger->references.fetch_sub(1) == 1) {
    delete messenger;
    live_messengers.fetch_sub(1);
  }
}

MessengerCall MakeCall(MessengerFunction function, FlutterDesktopMessengerRef messenger,
                       const char* channel = nullptr, const uint8_t* data = nullptr,
                       size_t size = 0) {
  MessengerCall call;
  call.function = function;
  call.messenger = messenger;
  if (channel != nullptr) {
    call.channel = channel;
  }
  call.null_data = data == nullptr;
  if (data != nullptr) {
    call.bytes.assign(data, data + size);
  }
  call.size = size;
  return call;
}

}  // namespace

RecordingMessenger::RecordingMessenger() : handle_(new FlutterDesktopMessenger) {
  live_messengers.fetch_add(1);
  RecordingMessenger* expected = nullptr;
  if (!current.compare_exchange_strong(expected, this)) {
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
  lock_returns_null_.store(returns_null);
}

void RecordingMessenger::SetAcceptSendsWithReply(bool accept) {
  accept_sends_with_reply_.store(accept);
}

void RecordingMessenger::ShutDownEngine() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!engine_running_) {
      return;
    }
    engine_running_ = false;
  }
  {
    std::lock_guard<std::mutex> hold(handle_->engine_lock);
    handle_->available = false;
  }
  DropReference(handle_);
}

const FlutterDesktopMessageResponseHandle* RecordingMessenger::Deliver(
    const std::string& channel, const std::vector<uint8_t>& message) {
  FlutterDesktopMessageCallback callback;
  void* user_data;
  const FlutterDesktopMessageResponseHandle* response_handle;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    auto registration = callbacks_.find(channel);
    if (!engine_running_ || registration == callbacks_.end()) {
      return nullptr;
    }
    std::tie(callback, user_data) = registration->second;
    Deliveries::iterator delivery;
    if (spare_deliveries_.empty()) {
      auto handle = std::make_unique<FlutterDesktopMessageResponseHandle>();
      const FlutterDesktopMessageResponseHandle* key = handle.get();
      delivery = deliveries_.emplace(key, Delivery{std::move(handle), false, Response{}}).first;
    } else {
      delivery = deliveries_.insert(std::move(spare_deliveries_.back())).position;
      spare_deliveries_.pop_back();
    }
    delivery->second.handle->delivery = next_delivery_++;
    response_handle = delivery->first;
  }
  const FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), channel.c_str(), message.data(),
                                     message.size(), response_handle};
  callback(handle_, &record, user_data);
  return response_handle;
}

std::optional<Response> RecordingMessenger::ResponseTo(
    const FlutterDesktopMessageResponseHandle* handle) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto delivery = deliveries_.find(handle);
  if (delivery == deliveries_.end() || !delivery->second.answered) {
    return std::nullopt;
  }
  return delivery->second.response;
}

bool RecordingMessenger::TakeResponse(const FlutterDesktopMessageResponseHandle* handle,
                                      Response* response) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto delivery = deliveries_.find(handle);
  if (delivery == deliveries_.end() || !delivery->second.answered) {
    return false;
  }
  std::swap(*response, delivery->second.response);
  Deliveries::node_type node = deliveries_.extract(delivery);
  node.mapped().answered = false;
  spare_deliveries_.push_back(std::move(node));
  return true;
}

std::optional<std::pair<FlutterDesktopMessageCallback, void*>> RecordingMessenger::Registration(
    const std::string& channel) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto registration = callbacks_.find(channel);
  if (registration == callbacks_.end()) {
    return std::nullopt;
  }
  return registration->second;
}

bool RecordingMessenger::AnswerPendingSend(const std::vector<uint8_t>& answer) {
  PendingSend pending{};
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (pending_sends_.empty()) {
      return false;
    }
    pending = pending_sends_.front();
    pending_sends_.erase(pending_sends_.begin());
  }
  pending.reply(answer.data(), answer.size(), pending.user_data);
  return true;
}

std::vector<MessengerCall> RecordingMessenger::Calls() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return calls_;
}

std::vector<MessengerCall> RecordingMessenger::CallsTo(MessengerFunction function) const {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<MessengerCall> selected;
  for (const MessengerCall& call : calls_) {
    if (call.function == function) {
      selected.push_back(call);
    }
  }
  return selected;
}

size_t RecordingMessenger::CountOf(MessengerFunction function) const {
  std::lock_guard<std::mutex> hold(mutex_);
  size_t count = 0;
  for (const MessengerCall& call : calls_) {
    count += call.function == function ? 1 : 0;
  }
  return count;
}

void RecordingMessenger::MoveCallsInto(std::vector<MessengerCall>* calls) {
  calls->clear();
  std::lock_guard<std::mutex> hold(mutex_);
  calls_.swap(*calls);
}

std::vector<std::string> RecordingMessenger::Violations() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return violations_;
}

int RecordingMessenger::OutstandingReferences() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return outstanding_references_;
}

int RecordingMessenger::LiveMessengers() { return live_messengers.load(); }

std::unique_lock<std::mutex> RecordingMessenger::Record(MessengerCall&& call) {
  call.thread = std::this_thread::get_id();
  std::unique_lock<std::mutex> hold(mutex_);
  calls_.push_back(std::move(call));
  return hold;
}

void RecordingMessenger::AddViolation(std::string what) {
  std::lock_guard<std::mutex> hold(mutex_);
  violations_.push_back(std::move(what));
}

bool RecordingMessenger::OnSend(MessengerCall&& call) {
  Record(std::move(call));
  return true;
}

bool RecordingMessenger::OnSendWithReply(MessengerCall&& call) {
  const PendingSend pending{call.reply, call.user_data};
  auto hold = Record(std::move(call));
  if (!accept_sends_with_reply_) {
    return false;
  }
  pending_sends_.push_back(pending);
  return true;
}

void RecordingMessenger::OnSetCallback(MessengerCall&& call) {
  const std::string channel = call.channel;
  const std::pair<FlutterDesktopMessageCallback, void*> registration{call.callback, call.user_data};
  auto hold = Record(std::move(call));
  if (registration.first == nullptr) {
    callbacks_.erase(channel);
  } else {
    callbacks_[channel] = registration;
  }
}

void RecordingMessenger::OnSendResponse(MessengerCall&& call) {
  FlutterDesktopMessengerRef messenger = call.messenger;
  const bool unlocked =
      !lock_returns_null_ && messenger->lock_owner.load() != std::this_thread::get_id();
  const bool unavailable = !messenger->available;
  const FlutterDesktopMessageResponseHandle* handle = call.response_handle;
  auto hold = Record(std::move(call));
  const MessengerCall& recorded = calls_.back();
  if (unlocked) {
    violations_.push_back("response sent without holding the messenger lock");
  }
  if (unavailable) {
    violations_.push_back("response sent while the engine is unavailable");
  }
  auto delivery = deliveries_.find(handle);
  if (delivery == deliveries_.end()) {
    violations_.push_back("response to an unknown message");
  } else if (delivery->second.answered) {
    violations_.push_back("second response to one message");
  } else {
    delivery->second.answered = true;
    delivery->second.response.bytes.assign(recorded.bytes.begin(), recorded.bytes.end());
    delivery->second.response.null_data = recorded.null_data;
  }
}

FlutterDesktopMessengerRef RecordingMessenger::OnAddRef(FlutterDesktopMessengerRef messenger) {
  auto hold = Record(MakeCall(MessengerFunction::kAddRef, messenger));
  messenger->references.fetch_add(1);
  ++outstanding_references_;
  return messenger;
}

void RecordingMessenger::OnRelease(FlutterDesktopMessengerRef messenger) {
  {
    auto hold = Record(MakeCall(MessengerFunction::kRelease, messenger));
    if (messenger == nullptr || outstanding_references_ == 0) {
      violations_.push_back("release without a matching add-ref");
      return;
    }
    --outstanding_references_;
  }
  DropReference(messenger);
}

FlutterDesktopMessengerRef RecordingMessenger::OnLock(FlutterDesktopMessengerRef messenger) {
  Record(MakeCall(MessengerFunction::kLock, messenger));
  if (lock_returns_null_) {
    return nullptr;
  }
  if (messenger->lock_owner.load() == std::this_thread::get_id()) {
    // Locking again would deadlock the test instead of failing it.
    AddViolation("lock taken again by the thread that holds it");
    return messenger;
  }
  messenger->engine_lock.lock();
  messenger->lock_owner.store(std::this_thread::get_id());
  return messenger;
}

void RecordingMessenger::OnUnlock(FlutterDesktopMessengerRef messenger) {
  Record(MakeCall(MessengerFunction::kUnlock, messenger));
  if (messenger == nullptr) {
    AddViolation("unlock with a null lock value");
    return;
  }
  if (messenger->lock_owner.load() != std::this_thread::get_id()) {
    AddViolation("unlock by a thread that does not hold the lock");
    return;
  }
  messenger->lock_owner.store(std::thread::id());
  messenger->engine_lock.unlock();
}

bool RecordingMessenger::OnIsAvailable(FlutterDesktopMessengerRef messenger) {
  Record(MakeCall(MessengerFunction::kIsAvailable, messenger));
  return messenger->available;
}

}  // namespace testing_fakes

using testing_fakes::Current;
using testing_fakes::MakeCall;
using testing_fakes::MessengerCall;
using testing_fakes::MessengerFunction;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  return Current().OnSend(
      MakeCall(MessengerFunction::kSend, messenger, channel, message, message_size));
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  MessengerCall call =
      MakeCall(MessengerFunction::kSendWithReply, messenger, channel, message, message_size);
  call.reply = reply;
  call.user_data = user_data;
  return Current().OnSendWithReply(std::move(call));
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  MessengerCall call =
      MakeCall(MessengerFunction::kSendResponse, messenger, nullptr, data, data_length);
  call.response_handle = handle;
  Current().OnSendResponse(std::move(call));
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  MessengerCall call = MakeCall(MessengerFunction::kSetCallback, messenger, channel);
  call.callback = callback;
  call.user_data = user_data;
  Current().OnSetCallback(std::move(call));
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  return Current().OnAddRef(messenger);
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  Current().OnRelease(messenger);
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return Current().OnIsAvailable(messenger);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  return Current().OnLock(messenger);
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  Current().OnUnlock(messenger);
}
