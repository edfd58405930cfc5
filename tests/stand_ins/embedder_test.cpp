#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "channels/standard_method_codec.h"
#include "shell/embedder/embedder_api.h"
#include "tests/support/message_pump_win32.h"

// The stand-in embedder driven through its C functions, as far as the end-to-end runs do not
// show it: every kind of check of the UI side failing (those runs trust "done failures=0", which
// a check that cannot fail would make worthless), the commands they do not use, and the messenger
// at the engine's end, which the program's messenger relies on.
namespace {

using testing::Contains;
using testing::Not;
using testing::StartsWith;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

// The running test's own folder, relative to the current directory, with a trailing slash.
std::string TestFolder() {
  const std::string folder =
      std::string("test_output/") + testing::UnitTest::GetInstance()->current_test_info()->name();
  std::filesystem::create_directories(folder);
  return folder + "/";
}

// Writes `text` as the running test's script and gives its path.
std::string WriteScript(const std::string& text) {
  const std::string path = TestFolder() + "ui.jsonl";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// An engine created as the program creates it, with `arguments` after one that copies the
// transcript to a new file in the test's folder. Its argument strings are overwritten once it
// exists, as the program frees them, so every case shows that the engine keeps copies.
struct TestEngine {
  explicit TestEngine(std::vector<std::string> arguments)
      : transcript_path(TestFolder() + "transcript.txt") {
    std::filesystem::remove(transcript_path);
    arguments.insert(arguments.begin(), "--ui-transcript=" + transcript_path);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    FlutterDesktopEngineProperties properties{};
    properties.assets_path = L"data\\flutter_assets";
    properties.dart_entrypoint_argc = static_cast<int>(argv.size());
    properties.dart_entrypoint_argv = argv.data();
    engine = FlutterDesktopEngineCreate(&properties);
    for (std::string& argument : arguments) argument.assign(argument.size(), 'x');
  }

  FlutterDesktopViewControllerRef CreateView() const {
    return FlutterDesktopViewControllerCreate(100, 80, engine);
  }
  std::vector<std::string> Transcript() const {
    std::ifstream file(transcript_path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }
  bool WaitForLine(const std::string& line) const {
    return PumpMessagesUntil([&] { return std::ranges::count(Transcript(), line) > 0; });
  }

  std::string transcript_path;
  FlutterDesktopEngineRef engine = nullptr;
};

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

void Answer(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
            const flutter::EncodableValue* value) {
  const auto bytes = Codec().EncodeSuccessEnvelope(value);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, bytes->data(),
                                      bytes->size());
}

// "test_events": a listen is answered and followed by the events 4 and 5; a cancel is answered
// and followed by a late event 6, which the UI no longer takes. The control channel answers
// "vpnConnected" with "1" and nothing else. Records the threads the calls came on.
void Channel(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
             void* threads) {
  static_cast<std::set<DWORD>*>(threads)->insert(GetCurrentThreadId());
  const auto call = Codec().DecodeMethodCall(message->message, message->message_size);
  if (std::string(message->channel) == "test_events") {
    Answer(messenger, message, nullptr);
    for (const int32_t code : call->MethodName() == "listen" ? std::vector{4, 5} : std::vector{6}) {
      const flutter::EncodableValue event(code);
      const auto bytes = Codec().EncodeSuccessEnvelope(&event);
      FlutterDesktopMessengerSend(messenger, "test_events", bytes->data(), bytes->size());
    }
  } else if (call->MethodName() == "vpnConnected") {
    const flutter::EncodableValue one("1");
    Answer(messenger, message, &one);
  }
}

// `expected` appears in `lines` in this order, other lines between them allowed.
testing::AssertionResult HasInOrder(const std::vector<std::string>& lines,
                                    const std::vector<std::string>& expected) {
  size_t next = 0;
  for (const std::string& line : lines) {
    if (next < expected.size() && line == expected[next]) ++next;
  }
  if (next == expected.size()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "missing in order: \"" << expected[next] << "\"";
}

TEST(StandInScriptedUi, ChecksHoldWhenMetAndEveryUnmetOneIsAFailedLine) {
  const std::string path = WriteScript("");
  const struct {
    const char* script;  // null: there is no script file
    std::vector<std::string> in_order;
    size_t calls;
  } cases[] = {
      {R"({"do":"listen","channel":"test_events","expect":null}
{"do":"expect_event","channel":"test_events","value":4}
{"do":"call","method":"nosuch","args":["a",1],"expect_no_reply":true,"timeout_ms":300}
{"do":"call","channel":"test/nobody","method":"ping"}
{"do":"cancel","channel":"test_events","expect":null}
{"do":"expect_no_event","channel":"test_events","timeout_ms":200})",
       {"listen test_events", "reply test_events/listen null", "ok event test_events 4",
        "call nosuch [\"a\",1]", "ok no reply nosuch", "reply test/nobody/ping empty",
        "reply test_events/cancel null", "ignored event test_events 6", "ok no event test_events",
        "done failures=0"},
       2},
      {R"({"do":"call","method":"vpnConnected","expect":"0"}
{"do":"call","method":"vpnConnected","expect_error":"error"}
{"do":"expect_event","channel":"test_events","value":4}
{"do":"listen","channel":"test_events"}
{"do":"expect_event","channel":"test_events","value":5}
{"do":"call","method":"nosuch","timeout_ms":200}
{"do":"show"})",
       {"FAILED reply vpnConnected \"0\": got \"1\"",
        "FAILED reply vpnConnected error \"error\": got \"1\"",
        "FAILED event test_events 4: not listening on test_events", "event test_events 4",
        "FAILED event test_events 5: got 4", "FAILED reply nosuch: none within 200 ms",
        "FAILED show: no top-level window", "done failures=6"},
       3},
      // A script with faults is not run at all.
      {"{\"do\":\"call\",\"method\":\"vpnConnected\"}\n{\"do\":\"jump\"}\n",
       {"FAILED script line 2: unknown command \"jump\"", "done failures=1"},
       0},
      {nullptr, {"FAILED script " + path + ": cannot be read", "done failures=1"}, 0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.in_order.front());
    WriteScript(test.script != nullptr ? test.script : "");
    if (test.script == nullptr) std::remove(path.c_str());
    TestEngine engine({"--ui-script=" + path});
    std::set<DWORD> threads;
    FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
    FlutterDesktopMessengerSetCallback(messenger, "test_events", &Channel, &threads);
    FlutterDesktopMessengerSetCallback(messenger, "quorvanta/channeling", &Channel, &threads);
    FlutterDesktopViewControllerRef controller = engine.CreateView();
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(engine.WaitForLine(test.in_order.back()));
    FlutterDesktopViewControllerDestroy(controller);
    const std::vector<std::string> transcript = engine.Transcript();
    EXPECT_TRUE(HasInOrder(transcript, test.in_order));
    size_t calls = 0;
    for (const std::string& line : transcript) calls += line.starts_with("call ");
    EXPECT_EQ(calls, test.calls);
    // Calls reach the callbacks on the platform thread only.
    EXPECT_TRUE(threads.empty() || threads == std::set<DWORD>{GetCurrentThreadId()});
  }
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

TEST(StandInMessaging, AReferencedMessengerOutlivesItsEngineAndTurnsUnavailable) {
  TestEngine engine(
      {"--ui-script=" +
       WriteScript(R"({"do":"call","channel":"test/keep","method":"m","wait":false})")});
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine.engine);
  Received received;
  FlutterDesktopMessengerSetCallback(messenger, "test/keep", &Record, &received);
  FlutterDesktopViewControllerRef controller = engine.CreateView();
  ASSERT_NE(controller, nullptr);
  ASSERT_TRUE(PumpMessagesUntil([&] { return received.calls == 1; }));

  EXPECT_EQ(FlutterDesktopMessengerAddRef(messenger), messenger);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopViewControllerDestroy(controller);

  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger), messenger);
  // The kept message's late answer is dropped.
  FlutterDesktopMessengerSendResponse(messenger, received.response, nullptr, 0);
  FlutterDesktopMessengerUnlock(messenger);
  const uint8_t byte = 1;
  EXPECT_FALSE(FlutterDesktopMessengerSend(messenger, "test/keep", &byte, 1));
  FlutterDesktopMessengerRelease(messenger);
  EXPECT_THAT(engine.Transcript(), Not(Contains(StartsWith("reply "))));
}

// The script's calls are on their way while the platform thread handles no messages; the view
// controller then ends, and none of them reaches the callback.
TEST(StandInMessaging, NothingIsDeliveredAfterTheViewControllerEnds) {
  const std::string script = WriteScript(R"({"do":"sleep","ms":200}
{"do":"call","channel":"test/late","method":"a","wait":false}
{"do":"call","channel":"test/late","method":"b","wait":false})");
  TestEngine engine({"--ui-script=" + script});
  Received received;
  FlutterDesktopMessengerSetCallback(FlutterDesktopEngineGetMessenger(engine.engine), "test/late",
                                     &Record, &received);
  FlutterDesktopViewControllerRef controller = engine.CreateView();
  ASSERT_NE(controller, nullptr);
  EXPECT_TRUE(engine.WaitForLine("script " + script));
  Sleep(1000);
  EXPECT_THAT(engine.Transcript(), Contains("done failures=0"));
  FlutterDesktopViewControllerDestroy(controller);
  PumpMessagesFor(std::chrono::milliseconds(300));
  EXPECT_EQ(received.calls, 0);
}

}  // namespace
