#ifndef QUORVANTA_SHELL_FLUTTER_WINDOW_H_
#define QUORVANTA_SHELL_FLUTTER_WINDOW_H_

#include <windows.h>

#include <memory>

#include "shell/embedder/engine_project.h"
#include "shell/embedder/flutter_view_controller.h"
#include "shell/win32_window.h"
#include "shell/window_task_runner.h"

// The program's top-level window with the UI inside. Once its native window exists it creates
// the view controller (and with it the engine), registers the UI's plugins, wires the VPN
// channels and takes the view in as its child; the view controller sees every window message
// first. When the native window is destroyed the VPN events are cut off from the UI and then the
// view controller goes. UI thread only.
class FlutterWindow : public Win32Window {
 public:
  explicit FlutterWindow(const flutter::EngineProject& project);
  ~FlutterWindow() override;

 protected:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
  // False when the view cannot be created; no plugin is registered and no channel wired then.
  bool OnCreate() override;
  void OnDestroy() override;

 private:
  // The control channel and the two event channels on the engine's messenger, and the task runner
  // through which the workers' events reach them from this thread.
  void RegisterVpnChannels(flutter::BinaryMessenger* messenger);
  // Stops the workers' events from reaching the messenger, then frees the view controller and
  // with it the messenger. Late events are dropped.
  void ReleaseViewController();

  flutter::EngineProject project_;
  std::unique_ptr<flutter::FlutterViewController> view_controller_;
  // Set while this window's channels are wired.
  std::shared_ptr<WindowTaskRunner> event_runner_;
  bool vpn_channels_wired_ = false;
};

#endif  // QUORVANTA_SHELL_FLUTTER_WINDOW_H_
