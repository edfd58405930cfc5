#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "channels/event_stream_handler_functions.h"

namespace flutter {
namespace {

class IdleSink : public EventSink<> {
 public:
  void Success(const EncodableValue*) override {}
  void Error(const std::string&, const std::string&, const EncodableValue*) override {}
  void EndOfStream() override {}
};

TEST(StreamHandlerFunctions, MissingFunctionsAnswerWithErrorsAndLeaveTheSinkToTheCaller) {
  StreamHandlerFunctions<> handler(nullptr, nullptr);
  std::unique_ptr<EventSink<>> sink = std::make_unique<IdleSink>();
  const std::unique_ptr<StreamHandlerError<>> errors[] = {
      handler.OnListen(nullptr, std::move(sink)), handler.OnCancel(nullptr)};
  EXPECT_NE(sink, nullptr) << "the sink was taken";
  const char* messages[] = {"No OnListen handler set", "No OnCancel handler set"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_NE(errors[i], nullptr);
    EXPECT_EQ(errors[i]->code, "error");
    EXPECT_EQ(errors[i]->message, messages[i]);
    EXPECT_EQ(errors[i]->details, nullptr);
  }
}

}  // namespace
}  // namespace flutter
