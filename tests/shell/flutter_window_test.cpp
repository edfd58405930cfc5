#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "channels/standard_method_codec.h"
#include "shell/embedder/engine_project.h"
#include "shell/flutter_window.h"
#include "tests/fakes/recording_engine.h"
#include "tests/fakes/recording_messenger.h"
#include "tests/shell/shell_test_helpers.h"
#include "tests/support/log_capture.h"
#include "tests/support/recording_channel_doubles.h"
#include "vpn/event_streams.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;
using testing_fakes::MessengerFunction;

constexpr char kWindowMessage[] = "ViewControllerHandleTopLevelWindowProc(";

class FlutterWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    embedder_.messenger = messenger_.handle();
    // The view's window, parked as the embedder's is until the host takes it in.
    embedder_.view_window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                            HWND_MESSAGE, nullptr, nullptr, nullptr);
  }

  void TearDown() override {
    EXPECT_THAT(messenger_.Violations(), IsEmpty());
    vpn::ClearEventSinks();
    DestroyWindow(embedder_.view_window);
  }

  // Creates the host window as the program does.
  bool CreateHostWindow() { return window_.Create(L"Quorvanta", {10, 10}, {360, 690}); }

  // The embedder's calls up to the view controller's creation, which has the window's size.
  std::vector<testing::Matcher<std::string>> StartCalls(const char* controller) {
    const RECT client = window_.ClientArea();
    std::string created = "ViewControllerCreate(e1, ";
    created += std::to_string(client.right) + "x" + std::to_string(client.bottom) + ") = ";
    return {StartsWith("GetDpiForMonitor("), StartsWith("EngineCreate("), "EngineGetMessenger(e1)",
            created + controller};
  }

  // In this order: the engine's messenger outlives the engine, and the engine the window.
  testing_fakes::RecordingMessenger messenger_;
  testing_fakes::RecordingEngine embedder_;
  testing_support::LogCapture log_;
  FlutterWindow window_{flutter::EngineProject(L"data")};
};

// The channels it wires show in the whole program's run, which talks on them.
TEST_F(FlutterWindowTest, CreationRunsTheViewRegistersThePluginsAndHostsTheView) {
  ASSERT_TRUE(CreateHostWindow());

  // Each registrar in lookup order, then the registration function named after it, except that
  // no plugin library registers the one without a native side.
  std::vector<testing::Matcher<std::string>> expected = StartCalls("c1");
  expected.push_back("ViewControllerGetView(c1) = v1");
  int registrar = 0;
  for (const std::string name :
       {"ConnectivityPlusWindowsPlugin", "FlutterPlatformAlertPlugin", "RivePlugin",
        "ScreenRetrieverWindowsPluginCApi", "SentryFlutterPlugin", "TrayManagerPlugin",
        "UrlLauncherWindows", "WindowManagerPlugin", "WindowsSingleInstancePlugin"}) {
    std::string handed = "r";
    handed += std::to_string(++registrar);
    expected.push_back("EngineGetPluginRegistrar(e1, " + name + ") = " + handed);
    if (name != "SentryFlutterPlugin") {
      expected.push_back(name + "RegisterWithRegistrar(" + handed + ")");
    }
  }
  expected.push_back("ViewGetHWND(v1) = w1");
  std::vector<std::string> calls = embedder_.calls;
  std::erase_if(calls, [](const std::string& call) { return call.starts_with(kWindowMessage); });
  EXPECT_THAT(calls, testing::ElementsAreArray(expected));
  // The view is the window's content, and the window stays hidden.
  EXPECT_EQ(embedder_.Name(GetWindow(window_.GetHandle(), GW_CHILD)), "w1");
  EXPECT_FALSE(IsWindowVisible(window_.GetHandle()));
  EXPECT_EQ(log_.Err(), "");
}

TEST_F(FlutterWindowTest, WithoutAViewNothingIsRegisteredOrWiredAndCreationFails) {
  embedder_.fail_view_controller_creation = true;
  EXPECT_FALSE(CreateHostWindow());
  EXPECT_EQ(log_.Err(), "Failed to create view controller.\n");
  ASSERT_NE(window_.GetHandle(), nullptr);
  EXPECT_THAT(embedder_.calls, testing::ElementsAreArray(StartCalls("null")));
  EXPECT_THAT(messenger_.Calls(), IsEmpty());
  // The native window is left for the caller to destroy; what still reaches it goes nowhere near
  // the failed view controller or the engine it ended.
  SendMessageW(window_.GetHandle(), WM_FONTCHANGE, 0, 0);
  EXPECT_EQ(embedder_.calls.size(), 4u);
}

TEST_F(FlutterWindowTest, TheViewControllerSeesEachMessageFirstAndWhatItHandlesGoesNoFurther) {
  bool view_handles = true;
  embedder_.window_proc = [&](FlutterDesktopWindowMessage message) {
    const bool handled = view_handles && (message == WM_CLOSE || message == WM_FONTCHANGE);
    return handled ? std::optional<FlutterDesktopLResult>(42) : std::nullopt;
  };
  ASSERT_TRUE(CreateHostWindow());
  HWND handle = window_.GetHandle();
  ShowWindow(handle, SW_SHOWNOACTIVATE);
  embedder_.calls.clear();
  const std::string offered = kWindowMessage + ("c1, " + embedder_.Name(handle));

  EXPECT_EQ(SendMessageW(handle, WM_CLOSE, 3, 4), 42);
  EXPECT_TRUE(IsWindowVisible(handle)) << "the close request went past the view controller";
  EXPECT_EQ(SendMessageW(handle, WM_FONTCHANGE, 0, 0), 42);
  view_handles = false;
  EXPECT_EQ(SendMessageW(handle, WM_FONTCHANGE, 0, 0), 0);
  EXPECT_THAT(embedder_.calls, ElementsAre(offered + ", 16, 3, 4)", offered + ", 29, 0, 0)",
                                           offered + ", 29, 0, 0)", "EngineReloadSystemFonts(e1)"));
}

TEST_F(FlutterWindowTest, WorkerEventsReachTheUiInOrderAndStopBeforeTheMessengerGoes) {
  ASSERT_TRUE(CreateHostWindow());
  const auto listen = flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(
      flutter::MethodCall<>("listen", nullptr));
  static_cast<void>(messenger_.Deliver("openconnect_events", *listen));
  ASSERT_TRUE(vpn::HasListener(vpn::EventStream::kOpenConnect));

  std::atomic<bool> keep_posting{true};
  std::atomic<int32_t> posted{0};
  std::thread worker([&] {
    for (int32_t code = 1; keep_posting; ++code) {
      vpn::PostEvent(vpn::EventStream::kOpenConnect, code);
      posted = code;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  auto events = [&] { return messenger_.CallsTo(MessengerFunction::kSend); };
  const bool events_arrived = PumpMessagesUntil([&] { return events().size() >= 20; });

  DestroyWindow(window_.GetHandle());
  const size_t sent_at_teardown = events().size();
  const int32_t posted_at_teardown = posted;
  EXPECT_FALSE(vpn::HasListener(vpn::EventStream::kOpenConnect));
  // The worker goes on; so does the loop, which must find nothing to send any more. A listener
  // that appears now gets nothing either: there is no way to the UI thread left.
  auto late_listener = std::make_shared<testing_support::EventRecord>();
  static_cast<void>(
      vpn::OnListen(vpn::EventStream::kOpenConnect, nullptr,
                    std::make_unique<testing_support::RecordingEventSink>(late_listener, nullptr)));
  const bool worker_went_on = PumpMessagesUntil([&] { return posted >= posted_at_teardown + 50; });
  PumpMessagesFor(std::chrono::milliseconds(100));
  keep_posting = false;
  worker.join();

  ASSERT_TRUE(events_arrived);
  ASSERT_TRUE(worker_went_on);
  EXPECT_EQ(events().size(), sent_at_teardown);
  EXPECT_THAT(late_listener->Codes(), IsEmpty());
  int32_t expected_code = 1;
  for (const auto& event : events()) {
    const flutter::EncodableValue code(expected_code++);
    EXPECT_EQ(event.channel, "openconnect_events");
    EXPECT_EQ(event.bytes,
              *flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(&code));
    EXPECT_EQ(event.thread, std::this_thread::get_id());
  }
  // The view controller went with the native window, and no message was offered to it after.
  EXPECT_EQ(embedder_.calls.back(), "ViewControllerDestroy(c1)");
}

}  // namespace
}  // namespace shell_testing
