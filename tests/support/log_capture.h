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
  LogCapture();
  ~LogCapture() override;

  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string Out() const;
  std::string Err() const;
  void Clear();

  void Write(logging::Stream stream, std::string_view text) override;

 private:
  mutable std::mutex lock_;
  std::string out_;
  std::string err_;
  logging::Destination* previous_;
};

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_LOG_CAPTURE_H_
