#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "channels/standard_method_codec.h"
#include "shell/embedder/embedder_api.h"
#include "tests/stand_ins/embedder_test_support.h"
#include "tests/stand_ins/host_window.h"
#include "tests/stand_ins/png_reader.h"
#include "tests/support/encodable_value_printer.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableValue;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using testing_support::TestEngine;

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

void Answer(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
            const EncodableValue* value) {
  const auto bytes = Codec().EncodeSuccessEnvelope(value);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, bytes->data(),
                                      bytes->size());
}

// What the channels saw: the threads their calls came on, the arguments of the last call that had
// some.
struct Seen {
  std::set<DWORD> threads;
  EncodableValue arguments;
};

// "test_events": a listen is answered and followed by the events 4 and 5; a cancel is answered
// and followed by a late event 6, which the UI no longer takes. The control channel answers
// "vpnConnected" with "1", twice (the second answer is ignored), and nothing else.
void Channel(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
             void* user_data) {
  const auto call = Codec().DecodeMethodCall(message->message, message->message_size);
  auto* seen = static_cast<Seen*>(user_data);
  seen->threads.insert(GetCurrentThreadId());
  if (call->Arguments() != nullptr && !call->Arguments()->IsNull()) {
    seen->arguments = *call->Arguments();
  }
  if (std::string(message->channel) == "test_events") {
    Answer(messenger, message, nullptr);
    for (const int32_t code : call->MethodName() == "listen" ? std::vector{4, 5} : std::vector{6}) {
      const EncodableValue event(code);
      const auto bytes = Codec().EncodeSuccessEnvelope(&event);
      FlutterDesktopMessengerSend(messenger, "test_events", bytes->data(), bytes->size());
    }
  } else if (call->MethodName() == "vpnConnected") {
    const EncodableValue one("1");
    Answer(messenger, message, &one);
    Answer(messenger, message, &one);
  }
}

void InstallChannels(FlutterDesktopEngineRef engine, Seen* seen) {
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  FlutterDesktopMessengerSetCallback(messenger, "test_events", &Channel, seen);
  FlutterDesktopMessengerSetCallback(messenger, "quorvanta/channeling", &Channel, seen);
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

TEST(StandInScriptedUi, PlaysAScriptAgainstARealWindow) {
  const std::string shot = testing_support::TestFolder() + "shots/connected.png";
  const std::string script = testing_support::WriteScript(
      R"({"do":"window","expect":{"visible":1,"foreground":1,"x":20,"y":30,"width":400,"height":300,"minimized":0}}
{"do":"listen","channel":"test_events","expect":null}
{"do":"expect_event","channel":"test_events","value":4}
{"do":"expect_event","channel":"test_events","value":5}
{"do":"call","method":"vpnConnected","expect":"1"}
{"do":"call","method":"nosuch","args":["a",1,[2,3]],"expect_no_reply":true,"timeout_ms":300}
{"do":"call","channel":"test/nobody","method":"ping"}
{"do":"screenshot","path":")" +
      shot + R"("}
{"do":"close"}
{"do":"window","expect":{"visible":0}}
{"do":"show"}
{"do":"window","expect":{"visible":1,"foreground":1}}
{"do":"cancel","channel":"test_events","expect":null}
{"do":"expect_no_event","channel":"test_events","timeout_ms":200}
{"do":"minimize"}
{"do":"window","expect":{"minimized":1},"timeout_ms":2000}
{"do":"destroy"})");
  TestEngine engine({"--ui-script=" + script});
  testing_support::HostWindow host(20, 30, 400, 300);
  ASSERT_NE(host.Host(engine.engine), nullptr);
  Seen seen;
  InstallChannels(engine.engine, &seen);

  ASSERT_TRUE(engine.WaitForLine("engine stopped", std::chrono::seconds(60)));
  EXPECT_EQ(host.hwnd(), nullptr);  // destroyed by the script
  // Calls reach the callbacks on the platform thread only.
  EXPECT_EQ(seen.threads, std::set<DWORD>{GetCurrentThreadId()});
  EXPECT_EQ(
      seen.arguments,
      EncodableValue(EncodableList{
          EncodableValue("a"), EncodableValue(int32_t{1}),
          EncodableValue(EncodableList{EncodableValue(int32_t{2}), EncodableValue(int32_t{3})})}));
  const std::vector<std::string> transcript = engine.Transcript();
  // Every check held; the list below shows one line of each kind.
  EXPECT_THAT(transcript, Not(Contains(HasSubstr("FAILED"))));
  EXPECT_EQ(std::count(transcript.begin(), transcript.end(), "reply vpnConnected \"1\""), 1);
  const std::string shown = "window visible=1 foreground=1 x=20 y=30 width=400 height=300 ";
  const std::vector<std::string> expected = {
      "handler test_events",
      "handler quorvanta/channeling",
      "show",
      "script " + script,
      shown + "minimized=0",
      "listen test_events",
      "reply test_events/listen null",
      "event test_events 4",
      "ok event test_events 4",
      "ok event test_events 5",
      "call vpnConnected",
      "reply vpnConnected \"1\"",
      "ok reply vpnConnected \"1\"",
      "call nosuch [\"a\",1,[2,3]]",
      "ok no reply nosuch",
      "call test/nobody/ping",
      "reply test/nobody/ping empty",
      "screenshot " + shot + " 400x300",
      "close",
      "window visible=0 foreground=0 x=20 y=30 width=400 height=300 minimized=0",
      "ok window visible=0",
      "show",
      shown + "minimized=0",
      "cancel test_events",
      "reply test_events/cancel null",
      "ignored event test_events 6",
      "ok no event test_events",
      "minimize",
      "destroy",
      "done failures=0",
      "engine stopped"};
  EXPECT_TRUE(HasInOrder(transcript, expected));
  // The check of 4 may come before or after 5 arrives; the events themselves keep their order.
  EXPECT_TRUE(HasInOrder(transcript,
                         {"event test_events 4", "event test_events 5", "ok event test_events 5"}));

  // The view paints the status panel in its colour (red, green, blue: as the encoder was given
  // them) above the transcript, dark on white; the client area's bottom right stays blank.
  const std::string file = testing_support::ReadText(shot);
  uint32_t width = 0;
  uint32_t height = 0;
  const std::vector<uint8_t> pixels =
      testing_support::ReadPng(std::vector<uint8_t>(file.begin(), file.end()), &width, &height);
  ASSERT_EQ(pixels.size(), size_t{400} * 300 * 3);
  const size_t corner = ((height - 20) * width + width - 20) * 3;
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin() + corner, pixels.begin() + corner + 3),
            std::vector<uint8_t>(3, 255));
  size_t dark = 0;
  size_t panel = 0;
  for (size_t i = 0; i < pixels.size(); i += 3) {
    dark += pixels[i] < 100 && pixels[i + 1] < 100 && pixels[i + 2] < 100;
    panel += pixels[i] == 0xDD && pixels[i + 1] == 0xE6 && pixels[i + 2] == 0xF0;
  }
  EXPECT_GT(dark, 200u) << "no text in the screenshot";
  EXPECT_GT(panel, size_t{width} * 40) << "no status panel in the screenshot";
}

TEST(StandInScriptedUi, UnmetChecksAndFaultyScriptsAreFailedLines) {
  const std::string path = testing_support::TestFolder() + "ui.jsonl";
  const struct {
    const char* script;  // null: there is no script file
    std::vector<std::string> in_order;
    size_t calls;
  } cases[] = {
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
    testing_support::WriteScript(test.script != nullptr ? test.script : "");
    if (test.script == nullptr) std::remove(path.c_str());
    TestEngine engine({"--ui-script=" + path});
    FlutterDesktopViewControllerRef controller = engine.CreateView();
    ASSERT_NE(controller, nullptr);
    Seen seen;
    InstallChannels(engine.engine, &seen);
    EXPECT_TRUE(engine.WaitForLine(test.in_order.back()));
    FlutterDesktopViewControllerDestroy(controller);
    const std::vector<std::string> transcript = engine.Transcript();
    EXPECT_TRUE(HasInOrder(transcript, test.in_order));
    size_t calls = 0;
    for (const std::string& line : transcript) calls += line.rfind("call ", 0) == 0;
    EXPECT_EQ(calls, test.calls);
  }
}

}  // namespace
