#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "channels/event_stream_handler_functions.h"
#include "channels/method_call.h"
#include "tests/support/encodable_value_printer.h"

namespace flutter {
namespace {

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

TEST(StreamHandlerFunctions, FunctionsReceiveTheArgumentsAndDecideTheSinksLifetime) {
  std::unique_ptr<EventSink<>> kept;
  const EncodableValue* seen_arguments = nullptr;
  StreamHandlerFunctions<> handler(
      [&](const EncodableValue* arguments, std::unique_ptr<EventSink<>>&& events) {
        seen_arguments = arguments;
        if (arguments != nullptr) {
          kept = std::move(events);
          return std::unique_ptr<StreamHandlerError<>>();
        }
        return std::make_unique<StreamHandlerError<>>(
            StreamHandlerError<>{"busy", "later", std::make_unique<EncodableValue>(int32_t{3})});
      },
      [](const EncodableValue* arguments) {
        return std::make_unique<StreamHandlerError<>>(
            StreamHandlerError<>{"cancel", std::get<std::string>(*arguments), nullptr});
      });

  const EncodableValue arguments("go");
  bool kept_destroyed = false;
  EXPECT_EQ(handler.OnListen(&arguments, std::make_unique<WatchedSink>(&kept_destroyed)), nullptr);
  EXPECT_EQ(seen_arguments, &arguments);
  EXPECT_FALSE(kept_destroyed);
  kept.reset();
  EXPECT_TRUE(kept_destroyed);

  bool untaken_destroyed = false;
  std::unique_ptr<StreamHandlerError<>> error =
      handler.OnListen(nullptr, std::make_unique<WatchedSink>(&untaken_destroyed));
  EXPECT_TRUE(untaken_destroyed);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, "busy");
  ASSERT_NE(error->details, nullptr);
  EXPECT_EQ(*error->details, EncodableValue(int32_t{3}));

  std::unique_ptr<StreamHandlerError<>> cancel_error = handler.OnCancel(&arguments);
  ASSERT_NE(cancel_error, nullptr);
  EXPECT_EQ(cancel_error->message, "go");
}

}  // namespace
}  // namespace flutter
