#ifndef QUORVANTA_TESTS_FAKES_RECORDING_METHOD_RESULT_H_
#define QUORVANTA_TESTS_FAKES_RECORDING_METHOD_RESULT_H_

#include <optional>
#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "channels/method_result.h"

namespace fakes {

// A MethodResult that keeps a copy of every answer it is given, in order.
class RecordingMethodResult : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  enum class Kind { kSuccess, kError, kNotImplemented };

  struct Answer {
    Kind kind;
    // The value (Success) or details (Error); empty when the pointer given was empty.
    std::optional<flutter::EncodableValue> value;
    std::string code;
    std::string message;
  };

  void Success(const flutter::EncodableValue* result) override {
    answers.push_back({Kind::kSuccess, Copy(result), {}, {}});
  }
  void Error(const std::string& error_code, const std::string& error_message,
             const flutter::EncodableValue* error_details) override {
    answers.push_back({Kind::kError, Copy(error_details), error_code, error_message});
  }
  void NotImplemented() override { answers.push_back({Kind::kNotImplemented, {}, {}, {}}); }

  std::vector<Answer> answers;

 private:
  static std::optional<flutter::EncodableValue> Copy(const flutter::EncodableValue* value) {
    return value != nullptr ? std::optional<flutter::EncodableValue>(*value) : std::nullopt;
  }
};

}  // namespace fakes

#endif  // QUORVANTA_TESTS_FAKES_RECORDING_METHOD_RESULT_H_
