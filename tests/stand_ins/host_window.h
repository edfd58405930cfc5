#ifndef QUORVANTA_TESTS_STAND_INS_HOST_WINDOW_H_
#define QUORVANTA_TESTS_STAND_INS_HOST_WINDOW_H_

#include <windows.h>

#include "shell/embedder/embedder_api.h"

namespace testing_support {

// A top-level window in the manner of the program's: created hidden, hiding on a close request,
// hosting a view that fills its client area, and ending the view controller when destroyed.
class HostWindow {
 public:
  HostWindow(int x, int y, int width, int height);
  ~HostWindow();

  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Creates the view controller for `engine`, at `view_size` or else at the client area's size,
  // and puts the view inside, filling the client area.
  FlutterDesktopViewControllerRef Host(FlutterDesktopEngineRef engine, SIZE view_size = {0, 0});

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void EndView();

  HWND hwnd_ = nullptr;
  FlutterDesktopViewControllerRef controller_ = nullptr;
};

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_STAND_INS_HOST_WINDOW_H_
