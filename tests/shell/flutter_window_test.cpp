#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
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
#include "tests/shell/message_pump.h"
#include "tests/support/log_capture.h"
#include "tests/support/recording_channel_doubles.h"
#include "vpn/event_streams.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using testing_fakes::EngineCall;
using testing_fakes::MessengerFunction;

constexpr char kGetRegistrar[] = "FlutterDesktopEngineGetPluginRegistrar";
constexpr char kDestroyController[] = "FlutterDesktopViewControllerDestroy";
constexpr char kWindowProc[] = "FlutterDesktopViewControllerHandleTopLevelWindowProc";

// The registrar names in lookup order. Each plugin library's registration function is named after
// its registrar, except that no library registers the one without a native side.
constexpr const char* kRegistrarNames[] = {"ConnectivityPlusWindowsPlugin",
                                           "FlutterPlatformAlertPlugin",
                                           "RivePlugin",
                                           "ScreenRetrieverWindowsPluginCApi",
                                           "SentryFlutterPlugin",
                                           "TrayManagerPlugin",
                                           "UrlLauncherWindows",
                                           "WindowManagerPlugin",
                                           "WindowsSingleInstancePlugin"};
constexpr char kWithoutLibrary[] = "SentryFlutterPlugin";

std::vector<uint8_t> SuccessEnvelope(const flutter::EncodableValue& value) {
  return *flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(&value);
}

class FlutterWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    embedder_.SetMessenger(messenger_.handle());
    testing_fakes::ClearPluginRegistrations();
  }

  void TearDown() override {
    EXPECT_EQ(embedder_.MisusedHandles(), 0);
    EXPECT_THAT(messenger_.Violations(), IsEmpty());
    vpn::ClearEventSinks();
  }

  // Creates the host window as the program does.
  std::unique_ptr<FlutterWindow> CreateHostWindow() {
    auto window = std::make_unique<FlutterWindow>(flutter::EngineProject(L"data"));
    created_ = window->Create(L"Quorvanta", {10, 10}, {360, 690});
    return window;
  }

  // The UI side sends `method` on `channel`; returns the answer that came back at once, if any.
  std::vector<uint8_t> Call(const std::string& channel, const std::string& method) {
    const auto encoded = flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(
        flutter::MethodCall<>(method, nullptr));
    const auto response = messenger_.ResponseTo(messenger_.Deliver(channel, *encoded));
    return response.has_value() ? response->bytes : std::vector<uint8_t>{};
  }

  std::vector<testing_fakes::MessengerCall> EventsSent() const {
    return messenger_.CallsTo(MessengerFunction::kSend);
  }

  // Declared first: the engine's messenger outlives the engine.
  testing_fakes::RecordingMessenger messenger_;
  testing_fakes::RecordingEngine embedder_;
  testing_support::LogCapture log_;
  bool created_ = false;
};

TEST_F(FlutterWindowTest, CreationRunsTheViewRegistersThePluginsWiresTheChannelsAndHostsTheView) {
  const std::unique_ptr<FlutterWindow> window = CreateHostWindow();
  ASSERT_TRUE(created_);
  HWND handle = window->GetHandle();

  std::vector<std::string> expected_functions = {
      "FlutterDesktopGetDpiForMonitor", "FlutterDesktopEngineCreate",
      "FlutterDesktopEngineGetMessenger", "FlutterDesktopViewControllerCreate",
      "FlutterDesktopViewControllerGetView"};
  expected_functions.insert(expected_functions.end(), std::size(kRegistrarNames), kGetRegistrar);
  expected_functions.push_back("FlutterDesktopViewGetHWND");
  ASSERT_THAT(embedder_.FunctionNamesWithoutWindowMessages(), ElementsAreArray(expected_functions));

  std::vector<EngineCall> calls = embedder_.Calls();
  std::erase_if(calls, [](const EngineCall& call) { return call.function == kWindowProc; });
  const std::vector<testing_fakes::PluginRegistration> registrations =
      testing_fakes::PluginRegistrations();
  auto registration = registrations.begin();
  for (size_t row = 0; row < std::size(kRegistrarNames); ++row) {
    const std::string name = kRegistrarNames[row];
    SCOPED_TRACE(name);
    const EngineCall& lookup = calls[5 + row];
    EXPECT_EQ(lookup.handle, calls[1].returned);
    EXPECT_EQ(lookup.plugin_name, name);
    if (name != kWithoutLibrary) {
      ASSERT_NE(registration, registrations.end());
      EXPECT_EQ(registration->function, name + "RegisterWithRegistrar");
      EXPECT_EQ(registration->registrar, lookup.returned);
      ++registration;
    }
  }
  EXPECT_EQ(registration, registrations.end());

  std::vector<std::string> channels;
  for (const auto& call : messenger_.CallsTo(MessengerFunction::kSetCallback)) {
    EXPECT_EQ(call.messenger, messenger_.handle());
    EXPECT_NE(call.callback, nullptr);
    channels.push_back(call.channel);
  }
  EXPECT_THAT(channels, ElementsAre("quorvanta/channeling", "v2ray_events", "openconnect_events"));

  // The view has the client area's size, lies in it as its child, and the window stays hidden.
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(calls[3].width, client.right);
  EXPECT_EQ(calls[3].height, client.bottom);
  HWND view = static_cast<HWND>(const_cast<void*>(calls.back().returned));
  EXPECT_EQ(GetParent(view), handle);
  RECT view_area{};
  GetClientRect(view, &view_area);
  EXPECT_TRUE(EqualRect(&view_area, &client));
  EXPECT_FALSE(IsWindowVisible(handle));
  EXPECT_EQ(log_.Err(), "");
}

TEST_F(FlutterWindowTest, TheWiredChannelsAnswerTheUiAndEachStreamKeepsItsOwnListener) {
  const std::unique_ptr<FlutterWindow> window = CreateHostWindow();
  ASSERT_TRUE(created_);

  EXPECT_EQ(Call("quorvanta/channeling", "vpnConnected"),
            SuccessEnvelope(flutter::EncodableValue(std::string("0"))));
  EXPECT_EQ(Call("openconnect_events", "listen"), SuccessEnvelope(flutter::EncodableValue()));
  EXPECT_TRUE(vpn::HasListener(vpn::EventStream::kOpenConnect));
  EXPECT_FALSE(vpn::HasListener(vpn::EventStream::kXray));
  EXPECT_EQ(Call("v2ray_events", "listen"), SuccessEnvelope(flutter::EncodableValue()));
  EXPECT_EQ(Call("openconnect_events", "cancel"), SuccessEnvelope(flutter::EncodableValue()));
  EXPECT_FALSE(vpn::HasListener(vpn::EventStream::kOpenConnect));
  EXPECT_TRUE(vpn::HasListener(vpn::EventStream::kXray));
}

TEST_F(FlutterWindowTest, WithoutAViewNothingIsRegisteredOrWiredAndCreationFails) {
  embedder_.FailViewControllerCreation();
  const std::unique_ptr<FlutterWindow> window = CreateHostWindow();

  EXPECT_FALSE(created_);
  EXPECT_EQ(log_.Err(), "Failed to create view controller.\n");
  EXPECT_THAT(testing_fakes::PluginRegistrations(), IsEmpty());
  EXPECT_THAT(messenger_.Calls(), IsEmpty());
  EXPECT_THAT(embedder_.FunctionNamesWithoutWindowMessages(),
              testing::Not(testing::Contains(kGetRegistrar)));
  // The native window is left for the caller to destroy; what still reaches it goes nowhere near
  // the failed view controller or the engine it ended.
  ASSERT_NE(window->GetHandle(), nullptr);
  embedder_.ClearCalls();
  SendMessageW(window->GetHandle(), WM_FONTCHANGE, 0, 0);
  EXPECT_THAT(embedder_.FunctionNames(), IsEmpty());
}

TEST_F(FlutterWindowTest, TheViewControllerSeesEachMessageFirstAndWhatItHandlesGoesNoFurther) {
  bool view_handles = true;
  embedder_.SetWindowProcHandler([&](FlutterDesktopWindowMessage message) {
    const bool handled = view_handles && (message == WM_CLOSE || message == WM_FONTCHANGE);
    return handled ? std::optional<FlutterDesktopLResult>(42) : std::nullopt;
  });
  const std::unique_ptr<FlutterWindow> window = CreateHostWindow();
  ASSERT_TRUE(created_);
  HWND handle = window->GetHandle();
  ShowWindow(handle, SW_SHOWNOACTIVATE);
  const void* engine = embedder_.Calls().at(1).returned;
  embedder_.ClearCalls();

  EXPECT_EQ(SendMessageW(handle, WM_CLOSE, 3, 4), 42);
  EXPECT_TRUE(IsWindowVisible(handle)) << "the close request went past the view controller";
  EXPECT_EQ(SendMessageW(handle, WM_FONTCHANGE, 0, 0), 42);
  ASSERT_THAT(embedder_.FunctionNames(), ElementsAre(kWindowProc, kWindowProc));
  const EngineCall offered = embedder_.Calls()[0];
  EXPECT_EQ(offered.window, handle);
  EXPECT_EQ(offered.message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(offered.wparam, WPARAM{3});
  EXPECT_EQ(offered.lparam, LPARAM{4});

  view_handles = false;
  embedder_.ClearCalls();
  EXPECT_EQ(SendMessageW(handle, WM_FONTCHANGE, 0, 0), 0);
  ASSERT_THAT(embedder_.FunctionNames(),
              ElementsAre(kWindowProc, "FlutterDesktopEngineReloadSystemFonts"));
  EXPECT_EQ(embedder_.Calls()[1].handle, engine);
  EXPECT_EQ(SendMessageW(handle, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindowVisible(handle));
}

TEST_F(FlutterWindowTest, WorkerEventsReachTheUiInOrderAndStopBeforeTheMessengerGoes) {
  std::unique_ptr<FlutterWindow> window = CreateHostWindow();
  ASSERT_TRUE(created_);
  ASSERT_EQ(Call("openconnect_events", "listen"), SuccessEnvelope(flutter::EncodableValue()));

  std::atomic<bool> keep_posting{true};
  std::atomic<int32_t> posted{0};
  std::thread worker([&] {
    for (int32_t code = 1; keep_posting; ++code) {
      vpn::PostEvent(vpn::EventStream::kOpenConnect, code);
      posted = code;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const bool events_arrived = PumpMessagesUntil([&] { return EventsSent().size() >= 20; });

  DestroyWindow(window->GetHandle());
  const size_t sent_at_teardown = EventsSent().size();
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
  const std::vector<testing_fakes::MessengerCall> events = EventsSent();
  EXPECT_EQ(events.size(), sent_at_teardown);
  EXPECT_THAT(late_listener->Codes(), IsEmpty());
  int32_t expected_code = 1;
  for (const auto& event : events) {
    EXPECT_EQ(event.channel, "openconnect_events");
    EXPECT_EQ(event.bytes, SuccessEnvelope(flutter::EncodableValue(expected_code++)));
    EXPECT_EQ(event.thread, std::this_thread::get_id());
  }
  // The view controller went with the native window, and no message was offered to it after.
  const std::vector<std::string> names = embedder_.FunctionNames();
  const auto destroyed = std::find(names.begin(), names.end(), kDestroyController);
  ASSERT_NE(destroyed, names.end());
  EXPECT_EQ(std::find(destroyed, names.end(), kWindowProc), names.end());
}

}  // namespace
}  // namespace shell_testing
