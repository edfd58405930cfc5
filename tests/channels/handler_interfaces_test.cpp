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

void ExpectMissingHandlerError(const std::unique_ptr<StreamHandlerError<>>& error,
                               const std::string& message) {
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, "error");
  EXPECT_EQ(error->message, message);
  EXPECT_EQ(error->details, nullptr);
}

TEST(StreamHandlerFunctions, MissingListenFunctionAnswersWithAnErrorAndLeavesTheSink) {
  StreamHandlerFunctions<> handler(nullptr, nullptr);
  bool destroyed = false;
  std::unique_ptr<EventSink<>> sink = std::make_unique<WatchedSink>(&destroyed);
  ExpectMissingHandlerError(handler.OnListen(nullptr, std::move(sink)), "No OnListen handler set");
  EXPECT_NE(sink, nullptr);  // not taken: still the caller's to destroy
  EXPECT_FALSE(destroyed);
}

TEST(StreamHandlerFunctions, MissingCancelFunctionAnswersWithAnError) {
  StreamHandlerFunctions<> handler(nullptr, nullptr);
  ExpectMissingHandlerError(handler.OnCancel(nullptr), "No OnCancel handler set");
}

TEST(StreamHandlerFunctions, ListenFunctionThatTakesTheSinkKeepsItAlive) {
  std::unique_ptr<EventSink<>> kept;
  const EncodableValue* seen_arguments = nullptr;
  StreamHandlerFunctions<> handler(
      [&](const EncodableValue* arguments, std::unique_ptr<EventSink<>>&& events) {
        seen_arguments = arguments;
        kept = std::move(events);
        return std::unique_ptr<StreamHandlerError<>>();
      },
      nullptr);
  const EncodableValue arguments("go");
  bool destroyed = false;
  EXPECT_EQ(handler.OnListen(&arguments, std::make_unique<WatchedSink>(&destroyed)), nullptr);
  EXPECT_EQ(seen_arguments, &arguments);
  EXPECT_FALSE(destroyed);
  kept.reset();
  EXPECT_TRUE(destroyed);
}

TEST(StreamHandlerFunctions, SinkThatIsNotTakenIsDestroyedWhenTheCallReturns) {
  StreamHandlerFunctions<> handler(
      [](const EncodableValue*, std::unique_ptr<EventSink<>>&&) {
        return std::make_unique<StreamHandlerError<>>(
            StreamHandlerError<>{"busy", "later", std::make_unique<EncodableValue>(int32_t{3})});
      },
      [](const EncodableValue* arguments) {
        return std::make_unique<StreamHandlerError<>>(
            StreamHandlerError<>{"cancel", std::get<std::string>(*arguments), nullptr});
      });
  bool destroyed = false;
  std::unique_ptr<StreamHandlerError<>> error =
      handler.OnListen(nullptr, std::make_unique<WatchedSink>(&destroyed));
  EXPECT_TRUE(destroyed);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, "busy");
  ASSERT_NE(error->details, nullptr);
  EXPECT_EQ(*error->details, EncodableValue(int32_t{3}));

  const EncodableValue arguments("why");
  std::unique_ptr<StreamHandlerError<>> cancel_error = handler.OnCancel(&arguments);
  ASSERT_NE(cancel_error, nullptr);
  EXPECT_EQ(cancel_error->message, "why");
}

}  // namespace
}  // namespace flutter
