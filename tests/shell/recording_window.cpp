#include "tests/shell/recording_window.h"

namespace shell_testing {

base::ScopedWindow MakeOtherWindowActive() {
  base::ScopedWindow other(CreateWindowExW(0, L"STATIC", L"Other window",
                                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 100, 200, 150,
                                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  SetActiveWindow(other.Get());
  SetWindowPos(other.Get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return other;
}

bool IsAbove(HWND upper, HWND lower) {
  for (HWND window = GetWindow(upper, GW_HWNDNEXT); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (window == lower) {
      return true;
    }
  }
  return false;
}

bool TopLevelClassRegistered() {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  return GetClassInfoExW(GetModuleHandleW(nullptr), L"FLUTTER_RUNNER_WIN32_WINDOW", &info) != 0;
}

bool TakeQuitMessage(int* exit_code) {
  MSG message;
  if (!PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    return false;
  }
  *exit_code = static_cast<int>(message.wParam);
  return true;
}

}  // namespace shell_testing
