#ifndef QUORVANTA_TESTS_SUPPORT_LOG_CAPTURE_H_
#define QUORVANTA_TESTS_SUPPORT_LOG_CAPTURE_H_

#include <mutex>
#include <string>
#include <string_view>

#include "base/log.h"

namespace testing_support {

// Captures everything the program logs while it exists, from any thread.
class LogCapture : public logging::Destination {
 public:
  LogCapture() : previous_(logging::SetDestination(this)) {}
  ~LogCapture() override { logging::SetDestination(previous_); }

  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string Out() const { return Read(out_); }
  std::string Err() const { return Read(err_); }
  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    out_.clear();
    err_.clear();
  }

  void Write(logging::Stream stream, std::string_view text) override {
    std::lock_guard<std::mutex> hold(lock_);
    (stream == logging::Stream::kOut ? out_ : err_).append(text);
  }

 private:
  std::string Read(const std::string& text) const {
    std::lock_guard<std::mutex> hold(lock_);
    return text;
  }

  mutable std::mutex lock_;
  std::string out_;
  std::string err_;
  logging::Destination* previous_;
};

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_LOG_CAPTURE_H_
