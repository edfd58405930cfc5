#ifndef QUORVANTA_TESTS_SHELL_RECORDING_WINDOW_H_
#define QUORVANTA_TESTS_SHELL_RECORDING_WINDOW_H_

#include <windows.h>

#include <algorithm>
#include <vector>

#include "shell/win32_window.h"

namespace shell_testing {

// A top-level window that records its hooks and the messages reaching its handler.
class RecordingWindow : public Win32Window {
 public:
  bool on_create_result = true;
  int on_create_calls = 0;
  HWND handle_during_on_create = nullptr;
  int on_destroy_calls = 0;
  std::vector<UINT> messages;

  int MessageCount(UINT message) const {
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
  }

 protected:
  bool OnCreate() override {
    ++on_create_calls;
    handle_during_on_create = GetHandle();
    return on_create_result;
  }
  void OnDestroy() override { ++on_destroy_calls; }
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override {
    messages.push_back(message);
    return Win32Window::HandleMessage(window, message, wparam, lparam);
  }
};

// A plain visible top-level window of another class, to compare activation and Z-order with.
class OtherWindow {
 public:
  OtherWindow();
  ~OtherWindow();
  OtherWindow(const OtherWindow&) = delete;
  OtherWindow& operator=(const OtherWindow&) = delete;

  HWND Get() const { return window_; }

 private:
  HWND window_;
};

// Whether `upper` comes before `lower` in the Z-order of top-level windows.
bool IsAbove(HWND upper, HWND lower);

// Whether the window class of the shell's top-level windows is registered in this process.
bool TopLevelClassRegistered();

// Takes the quit message out of this thread's queue, if one was posted, with its exit code.
bool TakeQuitMessage(int* exit_code);

}  // namespace shell_testing

#endif  // QUORVANTA_TESTS_SHELL_RECORDING_WINDOW_H_
