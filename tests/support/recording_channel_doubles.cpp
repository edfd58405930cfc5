#include "tests/support/recording_channel_doubles.h"

namespace testing_support {

void EventRecord::Add(int32_t code, bool on_platform_thread) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    codes_.push_back(code);
    if (!on_platform_thread) {
      ++off_platform_thread_;
    }
  }
  changed_.notify_all();
}

void EventRecord::NoteUnexpectedCall() {
  std::lock_guard<std::mutex> hold(lock_);
  ++unexpected_calls_;
}

std::vector<int32_t> EventRecord::Codes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return codes_;
}

void EventRecord::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  codes_.clear();
}

bool EventRecord::WaitForCount(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, timeout, [&] { return codes_.size() >= count; });
}

int EventRecord::off_platform_thread() const {
  std::lock_guard<std::mutex> hold(lock_);
  return off_platform_thread_;
}

int EventRecord::unexpected_calls() const {
  std::lock_guard<std::mutex> hold(lock_);
  return unexpected_calls_;
}

}  // namespace testing_support
