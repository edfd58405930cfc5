#ifndef QUORVANTA_TESTS_SHELL_RECORDING_WINDOW_H_
#define QUORVANTA_TESTS_SHELL_RECORDING_WINDOW_H_

#include <windows.h>

#include "base/scoped_win32.h"
#include "shell/win32_window.h"

namespace shell_testing {

// Where and how large the program creates its window, in logical units.
constexpr Win32Window::Point kOrigin{10, 10};
constexpr Win32Window::Size kSize{360, 690};

// A top-level window that records the calls of its hooks.
class RecordingWindow : public Win32Window {
 public:
  int on_create_calls = 0;
  HWND handle_during_on_create = nullptr;
  int on_destroy_calls = 0;

 protected:
  bool OnCreate() override {
    ++on_create_calls;
    handle_during_on_create = GetHandle();
    return true;
  }
  void OnDestroy() override { ++on_destroy_calls; }
};

// A plain visible top-level window of another class, on top and active, to compare activation
// and Z-order with.
base::ScopedWindow MakeOtherWindowActive();

// Whether `upper` comes before `lower` in the Z-order of top-level windows.
bool IsAbove(HWND upper, HWND lower);

// Whether the window class of the shell's top-level windows is registered in this process.
bool TopLevelClassRegistered();

// Takes the quit message out of this thread's queue, if one was posted, with its exit code.
bool TakeQuitMessage(int* exit_code);

}  // namespace shell_testing

#endif  // QUORVANTA_TESTS_SHELL_RECORDING_WINDOW_H_
