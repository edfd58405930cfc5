#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "channels/standard_method_codec.h"
#include "shell/embedder/embedder_api.h"
#include "tests/stand_ins/embedder_test_support.h"
#include "tests/stand_ins/host_window.h"
#include "tests/stand_ins/png_reader.h"

namespace {

using flutter::EncodableValue;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using testing_support::HostWindow;
using testing_support::TestEngine;

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

void Answer(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
            const EncodableValue* value) {
  const auto bytes = Codec().EncodeSuccessEnvelope(value);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, bytes->data(),
                                      bytes->size());
}

void SendEvent(FlutterDesktopMessengerRef messenger, int32_t code) {
  const EncodableValue value(code);
  const auto bytes = Codec().EncodeSuccessEnvelope(&value);
  FlutterDesktopMessengerSend(messenger, "test_events", bytes->data(), bytes->size());
}

// An event channel: a listen is answered and followed by the events 4 and 5; a cancel is
// answered and followed by a late event 6, which the UI no longer takes.
void EventChannel(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                  void*) {
  const auto call = Codec().DecodeMethodCall(message->message, message->message_size);
  Answer(messenger, message, nullptr);
  if (call->MethodName() == "listen") {
    SendEvent(messenger, 4);
    SendEvent(messenger, 5);
  } else {
    SendEvent(messenger, 6);
  }
}

// The control channel: "vpnConnected" answers "1"; other methods get no answer.
void ControlChannel(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                    void*) {
  const auto call = Codec().DecodeMethodCall(message->message, message->message_size);
  if (call->MethodName() == "vpnConnected") {
    const EncodableValue one("1");
    Answer(messenger, message, &one);
  }
}

void InstallChannels(FlutterDesktopEngineRef engine) {
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  FlutterDesktopMessengerSetCallback(messenger, "test_events", &EventChannel, nullptr);
  FlutterDesktopMessengerSetCallback(messenger, "quorvanta/channeling", &ControlChannel, nullptr);
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

std::string Window(const char* fields) { return std::string("window ") + fields; }

TEST(StandInScriptedUi, PlaysAScriptAgainstARealWindow) {
  const std::string folder = testing_support::TestFolder();
  const std::string shot = folder + "shots/connected.png";
  testing_support::WriteText(
      folder + "ui.jsonl",
      "{\"do\":\"window\",\"expect\":{\"visible\":1,\"foreground\":1,\"x\":20,\"y\":30,"
      "\"width\":400,\"height\":300,\"minimized\":0}}\n"
      "{\"do\":\"listen\",\"channel\":\"test_events\",\"expect\":null}\n"
      "{\"do\":\"expect_event\",\"channel\":\"test_events\",\"value\":4}\n"
      "{\"do\":\"expect_event\",\"channel\":\"test_events\",\"value\":5}\n"
      "{\"do\":\"call\",\"method\":\"vpnConnected\",\"expect\":\"1\"}\n"
      "{\"do\":\"call\",\"method\":\"nosuch\",\"args\":[1,\"x\"],\"expect_no_reply\":true,"
      "\"timeout_ms\":300}\n"
      "{\"do\":\"screenshot\",\"path\":\"" +
          shot +
          "\"}\n"
          "{\"do\":\"close\"}\n"
          "{\"do\":\"window\",\"expect\":{\"visible\":0}}\n"
          "{\"do\":\"show\"}\n"
          "{\"do\":\"window\",\"expect\":{\"visible\":1,\"foreground\":1}}\n"
          "{\"do\":\"cancel\",\"channel\":\"test_events\",\"expect\":null}\n"
          "{\"do\":\"expect_no_event\",\"channel\":\"test_events\",\"timeout_ms\":200}\n"
          "{\"do\":\"minimize\"}\n"
          "{\"do\":\"window\",\"expect\":{\"minimized\":1},\"timeout_ms\":2000}\n"
          "{\"do\":\"destroy\"}\n");
  TestEngine engine({"--ui-script=" + folder + "ui.jsonl"});
  HostWindow host(20, 30, 400, 300);
  ASSERT_NE(host.Host(engine.engine), nullptr);
  InstallChannels(engine.engine);

  ASSERT_TRUE(engine.WaitForLine("engine stopped", std::chrono::seconds(60)));
  EXPECT_EQ(host.hwnd(), nullptr);  // destroyed by the script
  const std::vector<std::string> transcript = engine.Transcript();
  EXPECT_THAT(transcript, Not(Contains(HasSubstr("FAILED"))));
  EXPECT_TRUE(HasInOrder(
      transcript, {"handler test_events",
                   "handler quorvanta/channeling",
                   "show",
                   "script " + folder + "ui.jsonl",
                   Window("visible=1 foreground=1 x=20 y=30 width=400 height=300 minimized=0"),
                   "ok window visible=1 foreground=1 x=20 y=30 width=400 height=300 minimized=0",
                   "listen test_events",
                   "reply test_events/listen null",
                   "event test_events 4",
                   "event test_events 5",
                   "ok event test_events 4",
                   "ok event test_events 5",
                   "call vpnConnected",
                   "reply vpnConnected \"1\"",
                   "ok reply vpnConnected \"1\"",
                   "call nosuch [1,\"x\"]",
                   "ok no reply nosuch",
                   "screenshot " + shot + " 400x300",
                   "close",
                   Window("visible=0 foreground=0 x=20 y=30 width=400 height=300 minimized=0"),
                   "ok window visible=0",
                   "show",
                   Window("visible=1 foreground=1 x=20 y=30 width=400 height=300 minimized=0"),
                   "ok window visible=1 foreground=1",
                   "cancel test_events",
                   "reply test_events/cancel null",
                   "ignored event test_events 6",
                   "ok no event test_events",
                   "minimize",
                   "ok window minimized=1",
                   "destroy",
                   "done failures=0",
                   "engine stopped"}));
  // A check comes after its reply; events that arrived with the reply may come between them.
  EXPECT_TRUE(
      HasInOrder(transcript, {"reply test_events/listen null", "ok reply test_events/listen null",
                              "ok event test_events 4"}));
  EXPECT_TRUE(
      HasInOrder(transcript, {"reply test_events/cancel null", "ok reply test_events/cancel null",
                              "ok no event test_events"}));

  const std::string bytes = testing_support::ReadText(shot);
  testing_support::DecodedPng image;
  std::string error;
  ASSERT_TRUE(testing_support::ReadStoredPng(std::vector<uint8_t>(bytes.begin(), bytes.end()),
                                             &image, &error))
      << error;
  ASSERT_EQ(image.width, 400u);
  ASSERT_EQ(image.height, 300u);
  // The view paints the transcript on white, bottom right of the client area is still blank.
  const size_t corner = (size_t{image.height - 20} * image.width + image.width - 20) * 3;
  EXPECT_EQ(image.pixels[corner], 255);
  EXPECT_EQ(image.pixels[corner + 1], 255);
  EXPECT_EQ(image.pixels[corner + 2], 255);
  size_t dark = 0;
  for (size_t i = 0; i < image.pixels.size(); i += 3) {
    dark += image.pixels[i] < 100 && image.pixels[i + 1] < 100 && image.pixels[i + 2] < 100;
  }
  EXPECT_GT(dark, 200u) << "no text in the screenshot";
}

TEST(StandInScriptedUi, UnmetExpectationsAreFailedLines) {
  const std::string folder = testing_support::TestFolder();
  testing_support::WriteText(
      folder + "ui.jsonl",
      "{\"do\":\"call\",\"method\":\"vpnConnected\",\"expect\":\"0\"}\n"
      "{\"do\":\"call\",\"method\":\"vpnConnected\",\"expect_error\":\"error\"}\n"
      "{\"do\":\"expect_event\",\"channel\":\"test_events\",\"value\":4}\n"
      "{\"do\":\"listen\",\"channel\":\"test_events\"}\n"
      "{\"do\":\"expect_event\",\"channel\":\"test_events\",\"value\":5}\n"
      "{\"do\":\"call\",\"method\":\"nosuch\",\"timeout_ms\":200}\n"
      "{\"do\":\"show\"}\n");
  TestEngine engine({"--ui-script=" + folder + "ui.jsonl"});
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  ASSERT_NE(controller, nullptr);
  InstallChannels(engine.engine);
  EXPECT_TRUE(engine.WaitForLine("done failures=6"));
  FlutterDesktopViewControllerDestroy(controller);
  EXPECT_TRUE(
      HasInOrder(engine.Transcript(),
                 {"FAILED reply vpnConnected \"0\": got \"1\"",
                  "FAILED reply vpnConnected error \"error\": got \"1\"",
                  "FAILED event test_events 4: not listening on test_events", "event test_events 4",
                  "FAILED event test_events 5: got 4", "FAILED reply nosuch: none within 200 ms",
                  "FAILED show: no top-level window", "done failures=6"}));
}

TEST(StandInScriptedUi, AFaultyScriptIsNotRunAtAll) {
  const std::string folder = testing_support::TestFolder();
  testing_support::WriteText(folder + "ui.jsonl",
                             "{\"do\":\"call\",\"method\":\"vpnConnected\"}\n"
                             "{\"do\":\"jump\"}\n");
  TestEngine engine({"--ui-script=" + folder + "ui.jsonl"});
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  ASSERT_NE(controller, nullptr);
  InstallChannels(engine.engine);
  EXPECT_TRUE(engine.WaitForLine("done failures=1"));
  FlutterDesktopViewControllerDestroy(controller);
  const std::vector<std::string> transcript = engine.Transcript();
  EXPECT_THAT(transcript, Contains("FAILED script line 2: unknown command \"jump\""));
  EXPECT_THAT(transcript, Not(Contains(HasSubstr("call "))));

  TestEngine unreadable({"--ui-script=" + folder + "missing.jsonl"});
  controller = FlutterDesktopViewControllerCreate(100, 80, unreadable.engine);
  ASSERT_NE(controller, nullptr);
  EXPECT_TRUE(unreadable.WaitForLine("done failures=1"));
  FlutterDesktopViewControllerDestroy(controller);
  EXPECT_THAT(unreadable.Transcript(),
              Contains("FAILED script " + folder + "missing.jsonl: cannot be read"));
}

}  // namespace
