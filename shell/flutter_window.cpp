#include "shell/flutter_window.h"

#include <optional>

#include "base/log.h"
#include "channels/event_channel.h"
#include "channels/event_stream_handler_functions.h"
#include "channels/method_channel.h"
#include "channels/standard_method_codec.h"
#include "shell/plugin_registrant.h"
#include "vpn/control_channel.h"
#include "vpn/event_streams.h"

namespace {

std::unique_ptr<flutter::StreamHandler<>> StreamHandlerFor(vpn::EventStream stream) {
  return std::make_unique<flutter::StreamHandlerFunctions<>>(
      [stream](const flutter::EncodableValue* arguments,
               std::unique_ptr<flutter::EventSink<>>&& events) {
        return vpn::OnListen(stream, arguments, std::move(events));
      },
      [stream](const flutter::EncodableValue* arguments) {
        return vpn::OnCancel(stream, arguments);
      });
}

}  // namespace

FlutterWindow::FlutterWindow(const flutter::EngineProject& project) : project_(project) {}

FlutterWindow::~FlutterWindow() { ReleaseViewController(); }

bool FlutterWindow::OnCreate() {
  if (!Win32Window::OnCreate()) {
    return false;
  }
  const RECT frame = ClientArea();
  view_controller_ = std::make_unique<flutter::FlutterViewController>(
      frame.right - frame.left, frame.bottom - frame.top, project_);
  // The view controller has written why it has no view.
  if (view_controller_->Engine() == nullptr || view_controller_->View() == nullptr) {
    return false;
  }
  RegisterAllPlugins(view_controller_->Engine());
  RegisterVpnChannels(view_controller_->Engine()->Messenger());
  // The window stays hidden: the UI shows it when it is ready.
  AttachContent(view_controller_->View()->NativeWindow());
  return true;
}

void FlutterWindow::OnDestroy() {
  ReleaseViewController();
  Win32Window::OnDestroy();
}

LRESULT FlutterWindow::HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (view_controller_ != nullptr) {
    const std::optional<LRESULT> result =
        view_controller_->HandleTopLevelWindowProc(window, message, wparam, lparam);
    if (result.has_value()) {
      return *result;
    }
  }
  if (message == WM_FONTCHANGE && view_controller_ != nullptr) {
    view_controller_->Engine()->ReloadSystemFonts();
  }
  return Win32Window::HandleMessage(window, message, wparam, lparam);
}

void FlutterWindow::RegisterVpnChannels(flutter::BinaryMessenger* messenger) {
  // In place before any handler can run, so that the first event already has its way.
  event_runner_ = WindowTaskRunner::Create();
  if (event_runner_ == nullptr) {
    logging::Err("Failed to create the task runner for VPN events; they will not reach the UI.");
  }
  vpn::SetPlatformTaskRunner(event_runner_);
  vpn_channels_wired_ = true;

  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  const flutter::MethodChannel<> control(messenger, "quorvanta/channeling", &codec);
  control.SetMethodCallHandler(&vpn::HandleControlMethodCall);

  const flutter::EventChannel<> open_connect_events(messenger, "openconnect_events", &codec);
  const flutter::EventChannel<> xray_events(messenger, "v2ray_events", &codec);
  xray_events.SetStreamHandler(StreamHandlerFor(vpn::EventStream::kXray));
  open_connect_events.SetStreamHandler(StreamHandlerFor(vpn::EventStream::kOpenConnect));
}

void FlutterWindow::ReleaseViewController() {
  // Workers are neither stopped nor joined; from here on what they post is dropped instead of
  // reaching a messenger that is about to go.
  if (vpn_channels_wired_) {
    vpn::SetPlatformTaskRunner(nullptr);
    if (event_runner_ != nullptr) {
      event_runner_->Stop();
      event_runner_.reset();
    }
    vpn::ClearEventSinks();
    vpn_channels_wired_ = false;
  }
  view_controller_.reset();
}
