#include "tests/stand_ins/host_window.h"

#include <utility>

namespace testing_support {

HostWindow::HostWindow(int x, int y, int width, int height) {
  static const ATOM window_class = [] {
    WNDCLASSW description{};
    description.lpfnWndProc = &HostWindow::Procedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"QuorvantaStandInTestHost";
    description.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    return RegisterClassW(&description);
  }();
  hwnd_ = CreateWindowExW(0, MAKEINTATOM(window_class), L"stand-in test host", WS_OVERLAPPEDWINDOW,
                          x, y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

HostWindow::~HostWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  EndView();
}

void HostWindow::EndView() {
  if (controller_ != nullptr)
    FlutterDesktopViewControllerDestroy(std::exchange(controller_, nullptr));
}

FlutterDesktopViewControllerRef HostWindow::Host(FlutterDesktopEngineRef engine, SIZE view_size) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (view_size.cx == 0) view_size = SIZE{client.right, client.bottom};
  controller_ = FlutterDesktopViewControllerCreate(view_size.cx, view_size.cy, engine);
  if (controller_ != nullptr) {
    const HWND view = FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(controller_));
    SetParent(view, hwnd_);
    MoveWindow(view, 0, 0, client.right, client.bottom, TRUE);
  }
  return controller_;
}

LRESULT CALLBACK HostWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  }
  auto* host = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_CLOSE) {
    ShowWindow(window, SW_HIDE);
    return 0;
  }
  if (message == WM_DESTROY && host != nullptr) {
    host->hwnd_ = nullptr;
    host->EndView();
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace testing_support
