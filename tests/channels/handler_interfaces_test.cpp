#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "channels/event_stream_handler_functions.h"
#include "channels/method_call.h"

namespace flutter {
namespace {

TEST(MethodCall, ArgumentsAreEmptyOnlyWhenNoneWereGiven) {
  EXPECT_EQ(MethodCall<>("a", nullptr).Arguments(), nullptr);
  MethodCall<> with_null("b", std::make_unique<EncodableValue>());
  ASSERT_NE(with_null.Arguments(), nullptr);
  EXPECT_TRUE(with_null.Arguments()->IsNull());
}

// A sink that tells when it is destroyed.
class WatchedSink : public EventSink<> {
 public:
  explicit WatchedSink(bool* destroyed) : destroyed_(destroyed) {}
  ~WatchedSink() override { *destroyed_ = true; }
  void Success(const EncodableValue*) override {}
  void Error(const std::string&, const std::string&, const EncodableValue*) override {}
  void EndOfStream() override {}

 private:
  bool* destroyed_;
};

TEST(StreamHandlerFunctions, MissingFunctionsAnswerWithErrorsAndLeaveTheSinkToTheCaller) {
  StreamHandlerFunctions<> handler(nullptr, nullptr);
  bool destroyed = false;
  std::unique_ptr<EventSink<>> sink = std::make_unique<WatchedSink>(&destroyed);
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

TEST(StreamHandlerFunctions, ASinkTheListenFunctionDoesNotTakeGoesWhenTheCallReturns) {
  std::unique_ptr<EventSink<>> kept;
  StreamHandlerFunctions<> handler(
      [&kept](const EncodableValue* arguments, std::unique_ptr<EventSink<>>&& sink) {
        if (arguments != nullptr) kept = std::move(sink);
        return std::unique_ptr<StreamHandlerError<>>();
      },
      nullptr);
  const EncodableValue arguments;
  bool kept_destroyed = false;
  bool dropped_destroyed = false;
  EXPECT_EQ(handler.OnListen(&arguments, std::make_unique<WatchedSink>(&kept_destroyed)), nullptr);
  EXPECT_EQ(handler.OnListen(nullptr, std::make_unique<WatchedSink>(&dropped_destroyed)), nullptr);
  EXPECT_TRUE(dropped_destroyed);
  EXPECT_FALSE(kept_destroyed);
}

}  // namespace
}  // namespace flutter
