#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shell/embedder/embedder_api.h"
#include "tests/stand_ins/embedder_test_support.h"

namespace {

using testing::Contains;
using testing::ElementsAre;
using testing_support::TestEngine;

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
  int calls = 0;
  const FlutterDesktopMessageResponseHandle* response = nullptr;
};

void Record(FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void* user_data) {
  auto* received = static_cast<Received*>(user_data);
  ++received->calls;
  received->response = message->response_handle;
}

TEST(StandInMessaging, SendsFromAnotherThreadArriveInOrder) {
  TestEngine engine;
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
  FlutterDesktopViewControllerRef controller = engine.CreateView();
  ASSERT_NE(controller, nullptr);
  std::vector<std::string> expected;
  for (int i = 0; i < 100; ++i) {
    char line[32];
    std::snprintf(line, sizeof(line), "message test/order %02x", i);
    expected.push_back(line);
  }
  std::atomic<int> accepted{0};
  std::thread sender([&] {
    for (int i = 0; i < 100; ++i) {
      const uint8_t byte = static_cast<uint8_t>(i);
      accepted += FlutterDesktopMessengerSend(messenger, "test/order", &byte, 1) ? 1 : 0;
    }
  });
  sender.join();
  EXPECT_EQ(accepted, 100);
  EXPECT_TRUE(engine.WaitForLine(expected.back()));
  FlutterDesktopViewControllerDestroy(controller);
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

// The reply is called once, on the platform thread, with no data: by the UI side, which has no
// handlers, or, still waiting, by the engine's end, whether it ran or not.
TEST(StandInMessaging, SendWithReplyAnswersOnceOnThePlatformThread) {
  enum class Case { kAnsweredByTheUi, kEngineNeverRan, kEndedBeforeThePlatformThreadGotIt };
  for (const Case test :
       {Case::kAnsweredByTheUi, Case::kEngineNeverRan, Case::kEndedBeforeThePlatformThreadGotIt}) {
    SCOPED_TRACE(static_cast<int>(test));
    TestEngine engine;
    FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
    FlutterDesktopViewControllerRef controller =
        test == Case::kEngineNeverRan ? nullptr : engine.CreateView();
    ASSERT_EQ(controller == nullptr, test == Case::kEngineNeverRan);
    ReplyLog log;
    std::thread([&] {
      const uint8_t byte = 7;
      EXPECT_TRUE(
          FlutterDesktopMessengerSendWithReply(messenger, "test/reply", &byte, 1, &LogReply, &log));
    }).join();
    if (test == Case::kAnsweredByTheUi) {
      EXPECT_TRUE(
          testing_support::PumpUntil([&] { return log.calls > 0; }, std::chrono::seconds(20)));
      testing_support::PumpFor(std::chrono::milliseconds(200));
      EXPECT_EQ(log.calls, 1);
    } else {
      Sleep(300);
    }
    if (controller != nullptr) {
      FlutterDesktopViewControllerDestroy(controller);
    } else {
      EXPECT_TRUE(FlutterDesktopEngineDestroy(engine.engine));
    }
    EXPECT_EQ(log.calls, 1);
    EXPECT_EQ(log.thread, GetCurrentThreadId());
    EXPECT_EQ(log.size, 0u);
  }
}

TEST(StandInMessaging, AReferencedMessengerOutlivesItsEngineAndTurnsUnavailable) {
  TestEngine engine(
      {"--ui-script=" + testing_support::WriteScript(
                            R"({"do":"call","channel":"test/keep","method":"m","wait":false})")});
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
  Received received;
  FlutterDesktopMessengerSetCallback(messenger, "test/keep", &Record, &received);
  FlutterDesktopViewControllerRef controller = engine.CreateView();
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
  const std::string script = testing_support::WriteScript(R"({"do":"sleep","ms":200}
{"do":"call","channel":"test/late","method":"a","wait":false}
{"do":"call","channel":"test/late","method":"b","wait":false}
{"do":"call","channel":"test/late","method":"c","wait":false})");
  TestEngine engine({"--ui-script=" + script});
  Received received;
  FlutterDesktopMessengerSetCallback(FlutterDesktopEngineGetMessenger(engine.engine), "test/late",
                                     &Record, &received);
  FlutterDesktopViewControllerRef controller = engine.CreateView();
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
