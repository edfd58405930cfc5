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
#include "tests/fakes/recording_plugins.h"
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

constexpr Win32Window::Point kOrigin{10, 10};
constexpr Win32Window::Size kSize{360, 690};

constexpr char kGetRegistrar[] = "FlutterDesktopEngineGetPluginRegistrar";
constexpr char kReloadFonts[] = "FlutterDesktopEngineReloadSystemFonts";
constexpr char kDestroyController[] = "FlutterDesktopViewControllerDestroy";
constexpr char kWindowProc[] = "FlutterDesktopViewControllerHandleTopLevelWindowProc";

const char* const kRegistrarNames[] = {"ConnectivityPlusWindowsPlugin",
                                       "FlutterPlatformAlertPlugin",
                                       "RivePlugin",
                                       "ScreenRetrieverWindowsPluginCApi",
                                       "SentryFlutterPlugin",
                                       "TrayManagerPlugin",
                                       "UrlLauncherWindows",
                                       "WindowManagerPlugin",
                                       "WindowsSingleInstancePlugin"};

std::vector<uint8_t> EncodedCall(const std::string& method) {
  const flutter::MethodCall<> call(method, nullptr);
  return *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
}

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
    created_ = window->Create(L"Quorvanta", kOrigin, kSize);
    return window;
  }

  // The UI side sends `method` on `channel`; returns the answer that came back at once.
  std::optional<std::vector<uint8_t>> Call(const std::string& channel, const std::string& method) {
    const auto response = messenger_.ResponseTo(messenger_.Deliver(channel, EncodedCall(method)));
    if (!response.has_value()) {
      return std::nullopt;
    }
    return response->bytes;
  }

  // The events sent on `channel` so far, with the threads they were sent from.
  std::vector<testing_fakes::MessengerCall> EventsSentOn(const std::string& channel) const {
    std::vector<testing_fakes::MessengerCall> events;
    for (auto& call : messenger_.CallsTo(MessengerFunction::kSend)) {
      if (call.channel == channel) {
        events.push_back(std::move(call));
      }
    }
    return events;
  }

  // Calls of the embedder, leaving out the window messages offered to the view controller.
  std::vector<EngineCall> CallsWithoutWindowMessages() const {
    std::vector<EngineCall> calls = embedder_.Calls();
    std::erase_if(calls, [](const EngineCall& call) { return call.function == kWindowProc; });
    return calls;
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
  EXPECT_THAT(embedder_.FunctionNamesWithoutWindowMessages(), ElementsAreArray(expected_functions));

  const std::vector<EngineCall> calls = CallsWithoutWindowMessages();
  ASSERT_EQ(calls.size(), expected_functions.size());
  const void* engine = calls[1].returned;
  std::vector<std::string> looked_up;
  std::vector<const void*> registered_with;
  for (const EngineCall& call : calls) {
    if (call.function != kGetRegistrar) {
      continue;
    }
    EXPECT_EQ(call.handle, engine);
    looked_up.push_back(call.plugin_name);
    if (call.plugin_name != "SentryFlutterPlugin") {
      registered_with.push_back(call.returned);
    }
  }
  EXPECT_THAT(looked_up, ElementsAreArray(kRegistrarNames));
  // Each plugin library gets the registrar looked up under its own name.
  const char* const functions[] = {"ConnectivityPlusWindowsPluginRegisterWithRegistrar",
                                   "FlutterPlatformAlertPluginRegisterWithRegistrar",
                                   "RivePluginRegisterWithRegistrar",
                                   "ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar",
                                   "TrayManagerPluginRegisterWithRegistrar",
                                   "UrlLauncherWindowsRegisterWithRegistrar",
                                   "WindowManagerPluginRegisterWithRegistrar",
                                   "WindowsSingleInstancePluginRegisterWithRegistrar"};
  const std::vector<testing_fakes::PluginRegistration> registrations =
      testing_fakes::PluginRegistrations();
  ASSERT_EQ(registrations.size(), std::size(functions));
  ASSERT_EQ(registered_with.size(), std::size(functions));
  for (size_t index = 0; index < registrations.size(); ++index) {
    EXPECT_EQ(registrations[index].function, functions[index]);
    EXPECT_EQ(registrations[index].registrar, registered_with[index]) << functions[index];
  }

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
  EXPECT_EQ(calls[3].width, client.right - client.left);
  EXPECT_EQ(calls[3].height, client.bottom - client.top);
  HWND view = static_cast<HWND>(const_cast<void*>(calls.back().returned));
  EXPECT_EQ(GetParent(view), handle);
  RECT view_area{};
  GetClientRect(view, &view_area);
  EXPECT_EQ(view_area.right, client.right);
  EXPECT_EQ(view_area.bottom, client.bottom);
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
  EXPECT_EQ(messenger_.Calls().size(), 0u);
  const std::vector<std::string> names = embedder_.FunctionNamesWithoutWindowMessages();
  EXPECT_EQ(std::count(names.begin(), names.end(), kGetRegistrar), 0);
  // The native window is left for the caller to destroy; what still reaches it goes nowhere near
  // the failed view controller or the engine it ended.
  ASSERT_NE(window->GetHandle(), nullptr);
  embedder_.ClearCalls();
  SendMessageW(window->GetHandle(), WM_FONTCHANGE, 0, 0);
  EXPECT_THAT(embedder_.FunctionNames(), IsEmpty());
}

TEST_F(FlutterWindowTest, TheViewControllerSeesEachMessageFirstAndWhatItHandlesGoesNoFurther) {
  bool view_handles = true;
  embedder_.SetWindowProcHandler(
      [&](FlutterDesktopWindowMessage message) -> std::optional<FlutterDesktopLResult> {
        if ((message == WM_CLOSE || message == WM_FONTCHANGE) && view_handles) {
          return 42;
        }
        return std::nullopt;
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
  ASSERT_THAT(embedder_.FunctionNames(), ElementsAre(kWindowProc, kReloadFonts));
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
  const bool events_arrived =
      PumpMessagesUntil([&] { return EventsSentOn("openconnect_events").size() >= 20; });

  DestroyWindow(window->GetHandle());
  const size_t sent_at_teardown = EventsSentOn("openconnect_events").size();
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
  const std::vector<testing_fakes::MessengerCall> events = EventsSentOn("openconnect_events");
  EXPECT_EQ(events.size(), sent_at_teardown);
  EXPECT_THAT(late_listener->Codes(), IsEmpty());
  int32_t expected_code = 1;
  for (const auto& event : events) {
    EXPECT_EQ(event.bytes, SuccessEnvelope(flutter::EncodableValue(expected_code++)));
    EXPECT_EQ(event.thread, std::this_thread::get_id());
  }
  // The view controller went with the native window, and no message was offered to it after.
  const std::vector<std::string> names = embedder_.FunctionNames();
  const auto destroyed = std::find(names.begin(), names.end(), kDestroyController);
  ASSERT_NE(destroyed, names.end());
  EXPECT_EQ(std::find(destroyed, names.end(), kWindowProc), names.end());
  window.reset();
}

}  // namespace
}  // namespace shell_testing
