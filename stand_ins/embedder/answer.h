#ifndef QUORVANTA_STAND_INS_EMBEDDER_ANSWER_H_
#define QUORVANTA_STAND_INS_EMBEDDER_ANSWER_H_

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace stand_in {

// A result envelope as the UI side reads it: the answer to one of its calls, or one event.
struct Answer {
  enum class Kind {
    kSuccess,      // `value` holds the result
    kError,        // `code`, `message`, `details`
    kEmpty,        // no bytes at all: no handler, or the end of an event stream
    kUndecodable,  // `raw` holds bytes that are no envelope
  };
  Kind kind = Kind::kEmpty;
  nlohmann::json value;
  std::string code;
  std::string message;
  nlohmann::json details;
  std::vector<uint8_t> raw;

  // The transcript form: the value's JSON, `error <code> <message> <details>` (each as JSON),
  // `empty`, or `undecodable <hex>`.
  std::string Text() const;
};

Answer DecodeAnswer(const std::vector<uint8_t>& bytes);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_ANSWER_H_
