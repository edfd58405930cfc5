#ifndef QUORVANTA_TESTS_SUPPORT_RECORDING_CHANNEL_DOUBLES_H_
#define QUORVANTA_TESTS_SUPPORT_RECORDING_CHANNEL_DOUBLES_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "channels/event_sink.h"
#include "channels/method_result.h"
#include "tests/support/queue_task_runner.h"

namespace testing_support {

// What the sinks of one stream received, shared by the test and its sinks.
class EventRecord {
 public:
  void Add(int32_t code, bool on_platform_thread) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      codes_.push_back(code);
      off_platform_thread_ += on_platform_thread ? 0 : 1;
    }
    changed_.notify_all();
  }
  void NoteUnexpectedCall() {
    std::lock_guard<std::mutex> hold(lock_);
    ++unexpected_calls_;
  }
  std::vector<int32_t> Codes() const { return Read(codes_); }
  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    codes_.clear();
  }
  // Waits until at least `count` events arrived. False on time-out.
  [[nodiscard]] bool WaitForCount(size_t count,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, timeout, [&] { return codes_.size() >= count; });
  }
  int off_platform_thread() const { return Read(off_platform_thread_); }
  int unexpected_calls() const { return Read(unexpected_calls_); }

 private:
  template <typename T>
  T Read(const T& field) const {
    std::lock_guard<std::mutex> hold(lock_);
    return field;
  }

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<int32_t> codes_;
  int off_platform_thread_ = 0;
  int unexpected_calls_ = 0;
};

// A listener's sink: records each int32 event and whether it came on the platform thread. Error
// and EndOfStream, which the streams never send, and a non-int32 event count as unexpected.
class RecordingEventSink : public flutter::EventSink<> {
 public:
  RecordingEventSink(std::shared_ptr<EventRecord> record, const QueueTaskRunner* platform)
      : record_(std::move(record)), platform_(platform) {}

  void Success(const flutter::EncodableValue* event) override {
    const int32_t* code = event != nullptr ? std::get_if<int32_t>(event) : nullptr;
    if (code == nullptr) {
      record_->NoteUnexpectedCall();
      return;
    }
    record_->Add(*code, platform_ != nullptr && platform_->IsRunnerThread());
  }
  void Error(const std::string&, const std::string&, const flutter::EncodableValue*) override {
    record_->NoteUnexpectedCall();
  }
  void EndOfStream() override { record_->NoteUnexpectedCall(); }

 private:
  std::shared_ptr<EventRecord> record_;
  const QueueTaskRunner* platform_;
};

// The answer a method call got.
struct MethodAnswer {
  enum class Kind { kNone, kSuccess, kError, kNotImplemented };
  Kind kind = Kind::kNone;
  int answers = 0;
  // The handler let go of the result, answered or not; a kept one is a leak.
  bool released = false;
  flutter::EncodableValue value;
  std::string error_code;
};

class RecordingMethodResult : public flutter::MethodResult<> {
 public:
  explicit RecordingMethodResult(std::shared_ptr<MethodAnswer> answer)
      : answer_(std::move(answer)) {}
  ~RecordingMethodResult() override { answer_->released = true; }

  void Success(const flutter::EncodableValue* result) override {
    Answer(MethodAnswer::Kind::kSuccess);
    answer_->value = result != nullptr ? *result : flutter::EncodableValue();
  }
  void Error(const std::string& code, const std::string&, const flutter::EncodableValue*) override {
    Answer(MethodAnswer::Kind::kError);
    answer_->error_code = code;
  }
  void NotImplemented() override { Answer(MethodAnswer::Kind::kNotImplemented); }

 private:
  void Answer(MethodAnswer::Kind kind) {
    answer_->kind = kind;
    ++answer_->answers;
  }

  std::shared_ptr<MethodAnswer> answer_;
};

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_RECORDING_CHANNEL_DOUBLES_H_
