#include "stand_ins/embedder/answer.h"

#include "channels/method_result.h"
#include "channels/standard_method_codec.h"
#include "stand_ins/embedder/value_json.h"

namespace stand_in {
namespace {

class AnswerCollector : public flutter::MethodResult<> {
 public:
  explicit AnswerCollector(Answer* answer) : answer_(answer) {}

  void Success(const flutter::EncodableValue* result) override {
    answer_->kind = Answer::Kind::kSuccess;
    answer_->value = result != nullptr ? JsonFromValue(*result) : nlohmann::json();
  }
  void Error(const std::string& code, const std::string& message,
             const flutter::EncodableValue* details) override {
    answer_->kind = Answer::Kind::kError;
    answer_->code = code;
    answer_->message = message;
    answer_->details = details != nullptr ? JsonFromValue(*details) : nlohmann::json();
  }
  void NotImplemented() override { answer_->kind = Answer::Kind::kEmpty; }

 private:
  Answer* answer_;
};

}  // namespace

std::string Answer::Text() const {
  switch (kind) {
    case Kind::kSuccess:
      return JsonText(value);
    case Kind::kError:
      return "error " + JsonText(code) + " " + JsonText(message) + " " + JsonText(details);
    case Kind::kEmpty:
      return "empty";
    case Kind::kUndecodable:
      return "undecodable " + HexText(raw);
  }
  return "empty";
}

Answer DecodeAnswer(const std::vector<uint8_t>& bytes) {
  Answer answer;
  if (bytes.empty()) {
    return answer;
  }
  AnswerCollector collector(&answer);
  if (!flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(
          bytes.data(), bytes.size(), &collector)) {
    answer.kind = Answer::Kind::kUndecodable;
    answer.raw = bytes;
  }
  return answer;
}

}  // namespace stand_in
