#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "channels/event_stream_handler_functions.h"
#include "channels/method_call.h"
#include "tests/support/encodable_value_printer.h"

namespace flutter {
namespace {

using testing::ElementsAre;

TEST(MethodCall, ArgumentsAreEmptyOnlyWhenNoneWereGiven) {
  MethodCall<> without("a", nullptr);
  EXPECT_EQ(without.MethodName(), "a");
  EXPECT_EQ(without.Arguments(), nullptr);

  MethodCall<> with_null("b", std::make_unique<EncodableValue>());
  ASSERT_NE(with_null.Arguments(), nullptr);
  EXPECT_TRUE(with_null.Arguments()->IsNull());
}

// A sink that tells whether it still exists.
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
  EXPECT_NE(sink, nullptr);  // not taken
  EXPECT_FALSE(destroyed);
  const char* messages[] = {"No OnListen handler set", "No OnCancel handler set"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_NE(errors[i], nullptr);
    EXPECT_EQ(errors[i]->code, "error");
    EXPECT_EQ(errors[i]->message, messages[i]);
    EXPECT_EQ(errors[i]->details, nullptr);
  }
}

TEST(StreamHandlerFunctions, FunctionsGetTheArgumentsAndDecideWhetherTheSinkLivesOn) {
  std::unique_ptr<EventSink<>> kept;
  std::vector<const EncodableValue*> seen;
  StreamHandlerFunctions<> handler(
      [&](const EncodableValue* arguments, std::unique_ptr<EventSink<>>&& events) {
        seen.push_back(arguments);
        if (arguments != nullptr) kept = std::move(events);  // takes the sink only then
        return std::make_unique<StreamHandlerError<>>(StreamHandlerError<>{"busy", "", nullptr});
      },
      [&](const EncodableValue* arguments) {
        seen.push_back(arguments);
        return std::unique_ptr<StreamHandlerError<>>();
      });
  const EncodableValue arguments("go");
  bool kept_destroyed = false;
  bool dropped_destroyed = false;

  const auto error = handler.OnListen(&arguments, std::make_unique<WatchedSink>(&kept_destroyed));
  EXPECT_NE(handler.OnListen(nullptr, std::make_unique<WatchedSink>(&dropped_destroyed)), nullptr);
  EXPECT_EQ(handler.OnCancel(&arguments), nullptr);

  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, "busy");
  EXPECT_THAT(seen, ElementsAre(&arguments, nullptr, &arguments));
  EXPECT_TRUE(dropped_destroyed) << "a sink not taken goes when the call returns";
  EXPECT_FALSE(kept_destroyed);
  kept.reset();
  EXPECT_TRUE(kept_destroyed);
}

}  // namespace
}  // namespace flutter
