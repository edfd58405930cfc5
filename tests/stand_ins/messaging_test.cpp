#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "channels/standard_method_codec.h"
#include "shell/embedder/embedder_api.h"
#include "tests/stand_ins/embedder_test_support.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableValue;
using testing::Contains;
using testing::ElementsAre;
using testing_support::TestEngine;

std::string WriteScript(const std::string& name, const std::string& text) {
  const std::string path = testing_support::TestFolder() + name;
  testing_support::WriteText(path, text);
  return path;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& start) {
  std::vector<std::string> found;
  for (const std::string& line : lines) {
    if (line.rfind(start, 0) == 0) found.push_back(line);
  }
  return found;
}

// What a channel callback saw.
struct Received {
  DWORD thread = 0;
  int calls = 0;
  std::string method;
  EncodableValue arguments;
  const FlutterDesktopMessageResponseHandle* response = nullptr;
};

void Record(FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void* user_data) {
  auto* received = static_cast<Received*>(user_data);
  ++received->calls;
  received->thread = GetCurrentThreadId();
  received->response = message->response_handle;
  std::unique_ptr<flutter::MethodCall<>> call =
      flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(message->message,
                                                                   message->message_size);
  if (call) {
    received->method = call->MethodName();
    received->arguments = call->Arguments() != nullptr ? *call->Arguments() : EncodableValue();
  }
}

void RecordAndAnswerTwice(FlutterDesktopMessengerRef messenger,
                          const FlutterDesktopMessage* message, void* user_data) {
  Record(messenger, message, user_data);
  const EncodableValue pong("pong");
  const auto bytes = flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(&pong);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, bytes->data(),
                                      bytes->size());
  // Ignored: the message has its answer.
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, bytes->data(),
                                      bytes->size());
}

TEST(StandInMessaging, ScriptCallsReachTheCallbackOnThePlatformThreadAndGetOneAnswer) {
  const std::string script =
      WriteScript("call.jsonl",
                  "{\"do\":\"call\",\"channel\":\"test/channel\",\"method\":\"ping\","
                  "\"args\":[\"a\",1,[2,3]],\"expect\":\"pong\"}\n"
                  "{\"do\":\"call\",\"channel\":\"test/nobody\",\"method\":\"ping\"}\n");
  TestEngine engine({"--ui-script=" + script});
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
  Received received;
  FlutterDesktopMessengerSetCallback(messenger, "test/channel", &RecordAndAnswerTwice, &received);
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  ASSERT_NE(controller, nullptr);

  EXPECT_TRUE(engine.WaitForLine("done failures=0"));
  EXPECT_EQ(received.calls, 1);
  EXPECT_EQ(received.thread, GetCurrentThreadId());
  EXPECT_EQ(received.method, "ping");
  EXPECT_EQ(
      received.arguments,
      EncodableValue(EncodableList{
          EncodableValue("a"), EncodableValue(int32_t{1}),
          EncodableValue(EncodableList{EncodableValue(int32_t{2}), EncodableValue(int32_t{3})})}));
  FlutterDesktopViewControllerDestroy(controller);
  const std::vector<std::string> transcript = engine.Transcript();
  EXPECT_THAT(LinesStartingWith(transcript, "reply "),
              ElementsAre("reply test/channel/ping \"pong\"", "reply test/nobody/ping empty"));
  EXPECT_THAT(transcript, Contains("handler test/channel"));
  EXPECT_THAT(transcript, Contains("ok reply test/channel/ping \"pong\""));
}

TEST(StandInMessaging, SendsFromAnotherThreadArriveInOrder) {
  TestEngine engine;
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  ASSERT_NE(controller, nullptr);
  constexpr int kCount = 100;
  std::atomic<int> accepted{0};
  std::thread sender([&] {
    for (int i = 0; i < kCount; ++i) {
      const uint8_t byte = static_cast<uint8_t>(i);
      accepted += FlutterDesktopMessengerSend(messenger, "test/order", &byte, 1) ? 1 : 0;
    }
  });
  sender.join();
  EXPECT_EQ(accepted, kCount);

  char last[32];
  std::snprintf(last, sizeof(last), "message test/order %02x", kCount - 1);
  EXPECT_TRUE(engine.WaitForLine(last));
  FlutterDesktopViewControllerDestroy(controller);
  std::vector<std::string> expected;
  for (int i = 0; i < kCount; ++i) {
    char line[32];
    std::snprintf(line, sizeof(line), "message test/order %02x", i);
    expected.push_back(line);
  }
  EXPECT_EQ(LinesStartingWith(engine.Transcript(), "message "), expected);
}

struct ReplyLog {
  std::atomic<int> calls{0};
  std::atomic<DWORD> thread{0};
  std::atomic<size_t> size{99};
};

void LogReply(const uint8_t*, size_t size, void* user_data) {
  auto* log = static_cast<ReplyLog*>(user_data);
  ++log->calls;
  log->thread = GetCurrentThreadId();
  log->size = size;
}

TEST(StandInMessaging, SendWithReplyAnswersOnceOnThePlatformThread) {
  TestEngine engine;
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  ASSERT_NE(controller, nullptr);
  ReplyLog log;
  std::thread sender([&] {
    const uint8_t byte = 7;
    EXPECT_TRUE(
        FlutterDesktopMessengerSendWithReply(messenger, "test/reply", &byte, 1, &LogReply, &log));
  });
  sender.join();
  EXPECT_TRUE(testing_support::PumpUntil([&] { return log.calls > 0; }, std::chrono::seconds(20)));
  testing_support::PumpFor(std::chrono::milliseconds(200));
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(log.thread, GetCurrentThreadId());
  EXPECT_EQ(log.size, 0u);  // the UI side has no handler of its own
  FlutterDesktopViewControllerDestroy(controller);
  EXPECT_EQ(log.calls, 1);
}

TEST(StandInMessaging, RepliesStillWaitingAreAnsweredOnceWhenTheEngineEnds) {
  // An engine that never runs: its UI side never sees the message.
  TestEngine idle;
  ReplyLog idle_log;
  EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(FlutterDesktopEngineGetMessenger(idle.engine),
                                                   "test/reply", nullptr, 0, &LogReply, &idle_log));
  EXPECT_TRUE(FlutterDesktopEngineDestroy(idle.engine));
  EXPECT_EQ(idle_log.calls, 1);

  // A running engine whose platform thread never got round to the UI side's answer.
  TestEngine running;
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, running.engine);
  ASSERT_NE(controller, nullptr);
  ReplyLog running_log;
  EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(FlutterDesktopEngineGetMessenger(running.engine),
                                                   "test/reply", nullptr, 0, &LogReply,
                                                   &running_log));
  Sleep(300);
  FlutterDesktopViewControllerDestroy(controller);
  EXPECT_EQ(running_log.calls, 1);
  EXPECT_EQ(running_log.thread, GetCurrentThreadId());
}

TEST(StandInMessaging, AReferencedMessengerOutlivesItsEngineAndTurnsUnavailable) {
  const std::string script =
      WriteScript("call.jsonl",
                  "{\"do\":\"call\",\"channel\":\"test/keep\",\"method\":\"m\",\"wait\":false}\n");
  TestEngine engine({"--ui-script=" + script});
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
  Received received;
  FlutterDesktopMessengerSetCallback(messenger, "test/keep", &Record, &received);
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  ASSERT_NE(controller, nullptr);
  ASSERT_TRUE(
      testing_support::PumpUntil([&] { return received.calls == 1; }, std::chrono::seconds(20)));

  EXPECT_EQ(FlutterDesktopMessengerAddRef(messenger), messenger);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopViewControllerDestroy(controller);

  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger), messenger);
  // The kept message's late answer is dropped, as is a second one.
  FlutterDesktopMessengerSendResponse(messenger, received.response, nullptr, 0);
  FlutterDesktopMessengerSendResponse(messenger, received.response, nullptr, 0);
  FlutterDesktopMessengerUnlock(messenger);
  const uint8_t byte = 1;
  EXPECT_FALSE(FlutterDesktopMessengerSend(messenger, "test/keep", &byte, 1));
  ReplyLog log;
  EXPECT_FALSE(
      FlutterDesktopMessengerSendWithReply(messenger, "test/keep", &byte, 1, &LogReply, &log));
  FlutterDesktopMessengerRelease(messenger);
  EXPECT_EQ(log.calls, 0);
  EXPECT_THAT(LinesStartingWith(engine.Transcript(), "reply "), ElementsAre());
}

// The script's calls are on their way while the platform thread does not handle messages; the
// view controller then ends.
int CallbacksAfterLateMessages(bool pump_before_destroy) {
  const std::string script =
      WriteScript("late.jsonl",
                  "{\"do\":\"sleep\",\"ms\":200}\n"
                  "{\"do\":\"call\",\"channel\":\"test/late\",\"method\":\"a\",\"wait\":false}\n"
                  "{\"do\":\"call\",\"channel\":\"test/late\",\"method\":\"b\",\"wait\":false}\n"
                  "{\"do\":\"call\",\"channel\":\"test/late\",\"method\":\"c\",\"wait\":false}\n");
  TestEngine engine({"--ui-script=" + script});
  Received received;
  FlutterDesktopMessengerSetCallback(FlutterDesktopEngineGetMessenger(engine.engine), "test/late",
                                     &Record, &received);
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  EXPECT_NE(controller, nullptr);
  EXPECT_TRUE(engine.WaitForLine("script " + script));
  Sleep(1000);
  EXPECT_THAT(engine.Transcript(), Contains("done failures=0"));
  if (pump_before_destroy) testing_support::PumpFor(std::chrono::milliseconds(300));
  FlutterDesktopViewControllerDestroy(controller);
  testing_support::PumpFor(std::chrono::milliseconds(300));
  return received.calls;
}

TEST(StandInMessaging, NothingIsDeliveredAfterTheViewControllerEnds) {
  EXPECT_EQ(CallbacksAfterLateMessages(/*pump_before_destroy=*/true), 3);
  EXPECT_EQ(CallbacksAfterLateMessages(/*pump_before_destroy=*/false), 0);
}

}  // namespace
