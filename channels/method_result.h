#ifndef QUORVANTA_CHANNELS_METHOD_RESULT_H_
#define QUORVANTA_CHANNELS_METHOD_RESULT_H_

#include <string>

#include "channels/encodable_value.h"

namespace flutter {

// The answer to one method call. A handler owns it and answers through it exactly once, at once
// or later from elsewhere.
template <typename T = EncodableValue>
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;

  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  // A null `result` answers with a null value.
  virtual void Success(const T* result) = 0;
  // A null `details` sends no details.
  virtual void Error(const std::string& error_code, const std::string& error_message,
                     const T* error_details) = 0;
  virtual void NotImplemented() = 0;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_METHOD_RESULT_H_
