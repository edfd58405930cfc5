#include "tests/support/log_capture.h"

namespace testing_support {

LogCapture::LogCapture() : previous_(logging::SetDestination(this)) {}

LogCapture::~LogCapture() { logging::SetDestination(previous_); }

std::string LogCapture::Out() const {
  std::lock_guard<std::mutex> hold(lock_);
  return out_;
}

std::string LogCapture::Err() const {
  std::lock_guard<std::mutex> hold(lock_);
  return err_;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  out_.clear();
  err_.clear();
}

void LogCapture::Write(logging::Stream stream, std::string_view text) {
  std::lock_guard<std::mutex> hold(lock_);
  (stream == logging::Stream::kOut ? out_ : err_).append(text);
}

}  // namespace testing_support
